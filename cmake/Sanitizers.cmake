# AddressSanitizer + UndefinedBehaviorSanitizer for the whole build, our code and tests.
if(RAMDISK_SANITIZE)
  set(_ramdisk_sanitize_flags
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${_ramdisk_sanitize_flags})
  add_link_options(${_ramdisk_sanitize_flags})
endif()
