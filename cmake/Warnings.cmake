# Warning flags for our own code only; third-party targets never link this.
add_library(ramdisk_warnings INTERFACE)
target_compile_options(ramdisk_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow
  $<$<BOOL:${RAMDISK_WARNINGS_AS_ERRORS}>:-Werror>)
