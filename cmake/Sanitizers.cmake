# AddressSanitizer + UndefinedBehaviorSanitizer for the whole build, our code
# and tests. The fuzz build (Fuzzing.cmake) uses the same flags.
set(RAMDISK_SANITIZER_FLAGS
  -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
if(RAMDISK_SANITIZE)
  add_compile_options(${RAMDISK_SANITIZER_FLAGS})
  add_link_options(${RAMDISK_SANITIZER_FLAGS})
endif()
