# libFuzzer builds: every target of the build gets coverage instrumentation
# and AddressSanitizer + UndefinedBehaviorSanitizer; only the fuzz targets
# (tests/fuzz/) link libFuzzer itself, which supplies their main().
if(RAMDISK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "RAMDISK_FUZZ needs clang and its libFuzzer runtime, "
      "not ${CMAKE_CXX_COMPILER_ID}")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link ${RAMDISK_SANITIZER_FLAGS})
  add_link_options(${RAMDISK_SANITIZER_FLAGS})
endif()
