# Lowest macOS release for each slice of the universal binary. arm64 starts
# at 11.0; current toolchains accept x86_64 from 10.13 (Xcode 14 to 16) or
# 11.0 (Xcode 26).
set(RAMDISK_MACOS_MIN_ARM64 "11.0" CACHE STRING
  "Lowest macOS release for the arm64 slice")
set(RAMDISK_MACOS_MIN_X86_64 "10.13" CACHE STRING
  "Lowest macOS release for the x86_64 slice")

# CMAKE_OSX_DEPLOYMENT_TARGET is a single -mmacosx-version-min for every
# slice. clang's -Xarch_<arch> hands the flag that follows to one slice, and
# the driver settles each slice's deployment target after that translation,
# when compiling and when linking. These options come after CMake's own flags
# on the command line, so they win over a CMAKE_OSX_DEPLOYMENT_TARGET. A
# target gets only those of the slices it builds (its OSX_ARCHITECTURES): a
# flag for an absent slice is an unused argument, an error under -Werror.
foreach(_ramdisk_arch IN ITEMS arm64 x86_64)
  string(TOUPPER "${_ramdisk_arch}" _ramdisk_suffix)
  set(_ramdisk_builds
    "$<IN_LIST:${_ramdisk_arch},$<TARGET_PROPERTY:OSX_ARCHITECTURES>>")
  set(_ramdisk_flag "SHELL:-Xarch_${_ramdisk_arch} -mmacosx-version-min=${RAMDISK_MACOS_MIN_${_ramdisk_suffix}}")
  add_compile_options("$<${_ramdisk_builds}:${_ramdisk_flag}>")
  add_link_options("$<${_ramdisk_builds}:${_ramdisk_flag}>")
endforeach()
