# A macOS build on Linux, one slice per build tree, for scripts/check-macos.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=<this> -DCMAKE_OSX_ARCHITECTURES=arm64|x86_64
#         -DRAMDISK_CROSS_ZIG=<zig package> -DRAMDISK_CROSS_HEADERS=<folder>
#
# Compiling: the build machine's clang with the macOS libc headers and the
# libc++ headers of the zig package, the deployment target set by
# cmake/MacOS.cmake as on a Mac, libc++'s availability checks on (zig itself
# turns them off). RAMDISK_CROSS_HEADERS holds what a Mac gets from its SDK
# or a package manager: gtest/ and libxml2/libxml/, copied from the build
# machine without its ICU option, and Frameworks/ with the declarations of
# DiskArbitration and CoreFoundation.
#
# Linking: zig, which has a Mach-O linker and libSystem's stubs and builds
# libc++ into the program. It offers no macOS target below 11.0 and takes
# none of clang's -arch or deployment flags, so its link line is its own.
# DiskArbitration, CoreFoundation and libxml2 are the text stubs beside this
# file, carrying the real install names. The tests would need GoogleTest
# built for macOS, which is not here: they compile, and their link fails on
# an empty stand-in for the library.

set(CMAKE_SYSTEM_NAME Darwin)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES RAMDISK_CROSS_ZIG RAMDISK_CROSS_HEADERS)

if(NOT CMAKE_OSX_ARCHITECTURES MATCHES "^(arm64|x86_64)$")
  message(FATAL_ERROR "Set CMAKE_OSX_ARCHITECTURES to one slice, arm64 or x86_64, "
    "not '${CMAKE_OSX_ARCHITECTURES}'")
endif()
foreach(_ramdisk_dir IN ITEMS RAMDISK_CROSS_ZIG RAMDISK_CROSS_HEADERS)
  if(NOT IS_DIRECTORY "${${_ramdisk_dir}}")
    message(FATAL_ERROR "${_ramdisk_dir} is not a folder: '${${_ramdisk_dir}}'")
  endif()
endforeach()

if(CMAKE_OSX_ARCHITECTURES STREQUAL "arm64")
  set(_ramdisk_zig_arch aarch64)
else()
  set(_ramdisk_zig_arch x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${CMAKE_OSX_ARCHITECTURES})

set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${CMAKE_OSX_ARCHITECTURES}-apple-darwin)
set(CMAKE_AR "${RAMDISK_CROSS_ZIG}/zig" CACHE FILEPATH "")
set(CMAKE_CXX_ARCHIVE_CREATE "<CMAKE_AR> ar qc --format=darwin <TARGET> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_APPEND "<CMAKE_AR> ar q --format=darwin <TARGET> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_FINISH "<CMAKE_AR> ranlib <TARGET>")

set(_ramdisk_lib "${RAMDISK_CROSS_ZIG}/lib")
execute_process(COMMAND clang++ -print-resource-dir
  OUTPUT_VARIABLE _ramdisk_clang_resources OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
string(JOIN " " CMAKE_CXX_FLAGS_INIT
  -nostdinc -nostdinc++
  -isystem ${_ramdisk_lib}/libcxx/include
  -isystem ${_ramdisk_lib}/libcxxabi/include
  -isystem ${_ramdisk_clang_resources}/include
  -isystem ${_ramdisk_lib}/libc/include/${_ramdisk_zig_arch}-macos.11-none
  -isystem ${_ramdisk_lib}/libc/include/any-macos.11-any
  -isystem ${_ramdisk_lib}/libc/include/any-macos-any
  -iframework ${RAMDISK_CROSS_HEADERS}/Frameworks
  # zig's copy of libc++ has no __config_site; these are its settings.
  -D_LIBCPP_ABI_VERSION=1 -D_LIBCPP_ABI_NAMESPACE=__1)

set(_ramdisk_stubs "${CMAKE_CURRENT_LIST_DIR}/stubs")
set(CMAKE_CXX_LINK_EXECUTABLE
  "${RAMDISK_CROSS_ZIG}/zig c++ -target ${_ramdisk_zig_arch}-macos.11.0 <OBJECTS> -o <TARGET> -L${_ramdisk_stubs} -F${_ramdisk_stubs} <LINK_LIBRARIES>")
# Compiler checks compile only.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Nothing of the build machine's own libraries.
set(CMAKE_FIND_ROOT_PATH "${RAMDISK_CROSS_HEADERS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${RAMDISK_CROSS_HEADERS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(LIBXML2_INCLUDE_DIR "${RAMDISK_CROSS_HEADERS}/libxml2" CACHE PATH "")
set(LIBXML2_LIBRARY "${_ramdisk_stubs}/libxml2.tbd" CACHE FILEPATH "")
set(GTEST_INCLUDE_DIR "${RAMDISK_CROSS_HEADERS}" CACHE PATH "")
# An empty file, named so that a link of the tests fails saying why.
set(GTEST_LIBRARY "${RAMDISK_CROSS_HEADERS}/googletest-is-not-built-for-macos" CACHE FILEPATH "")
file(TOUCH "${GTEST_LIBRARY}")
set(GTEST_MAIN_LIBRARY "${GTEST_LIBRARY}" CACHE FILEPATH "")
