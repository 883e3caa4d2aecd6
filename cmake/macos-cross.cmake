# Toolchain: compile Corvane's engine and macOS layer for macOS on any machine with clang,
# against a macOS SDK. Nothing is linked or run (see scripts/check-macos).
#
#   CORVANE_MACOS_SDK   the SDK: a MacOSX.sdk (usr/include, System/Library/Frameworks) or a
#                       checkout of hexops/xcode-frameworks (include/, Frameworks/); also read
#                       from the environment
#   CORVANE_MACOS_ARCH  arm64 (default) or x86_64
#
# The SDK's own libc++ headers are used, and llvm-ar makes the archives.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 21.5)  # Darwin of macOS 12.4

if(NOT CORVANE_MACOS_SDK AND DEFINED ENV{CORVANE_MACOS_SDK})
  set(CORVANE_MACOS_SDK "$ENV{CORVANE_MACOS_SDK}")
endif()
if(NOT CORVANE_MACOS_SDK)
  message(FATAL_ERROR "macos-cross: set CORVANE_MACOS_SDK to a macOS SDK (see README.md)")
endif()
set(CORVANE_MACOS_SDK "${CORVANE_MACOS_SDK}" CACHE PATH "The macOS SDK to compile against")
set(CORVANE_MACOS_ARCH arm64 CACHE STRING "The Mac to compile for: arm64 or x86_64")
set_property(CACHE CORVANE_MACOS_ARCH PROPERTY STRINGS arm64 x86_64)
if(NOT CORVANE_MACOS_ARCH MATCHES "^(arm64|x86_64)$")
  message(FATAL_ERROR "macos-cross: CORVANE_MACOS_ARCH is arm64 or x86_64, not '${CORVANE_MACOS_ARCH}'")
endif()
set(CMAKE_SYSTEM_PROCESSOR ${CORVANE_MACOS_ARCH})
set(CMAKE_OSX_ARCHITECTURES ${CORVANE_MACOS_ARCH} CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET 12.4 CACHE STRING "Oldest macOS Corvane supports")
set(CORVANE_MACOS_CROSS ON)

# The sysroot: the SDK itself, or, for an SDK laid out otherwise or without ServiceManagement,
# a folder of links to it made once in the build folder (try_compile gets the folder made).
if(NOT CORVANE_MACOS_SYSROOT OR NOT CORVANE_MACOS_SYSROOT_OF STREQUAL CORVANE_MACOS_SDK)
  set(sdk "${CORVANE_MACOS_SDK}")
  if(EXISTS "${sdk}/usr/include/c++/v1" AND EXISTS "${sdk}/System/Library/Frameworks")
    set(include_dir "${sdk}/usr/include")
    set(frameworks_dir "${sdk}/System/Library/Frameworks")
    set(lib_dir "${sdk}/usr/lib")
  elseif(EXISTS "${sdk}/include/c++/v1" AND EXISTS "${sdk}/Frameworks")
    set(include_dir "${sdk}/include")
    set(frameworks_dir "${sdk}/Frameworks")
    set(lib_dir "${sdk}/lib")
  else()
    message(FATAL_ERROR "macos-cross: ${sdk} is not a macOS SDK: no usr/include/c++/v1 with "
      "System/Library/Frameworks, nor include/c++/v1 with Frameworks")
  endif()
  if(include_dir STREQUAL "${sdk}/usr/include"
     AND EXISTS "${frameworks_dir}/ServiceManagement.framework")
    set(CORVANE_MACOS_SYSROOT "${sdk}")
  else()
    set(view "${CMAKE_BINARY_DIR}/macos-sdk")
    file(REMOVE_RECURSE "${view}")
    file(MAKE_DIRECTORY "${view}/usr" "${view}/System/Library/Frameworks")
    file(CREATE_LINK "${include_dir}" "${view}/usr/include" SYMBOLIC)
    if(EXISTS "${lib_dir}")
      file(CREATE_LINK "${lib_dir}" "${view}/usr/lib" SYMBOLIC)
    endif()
    file(GLOB frameworks RELATIVE "${frameworks_dir}" "${frameworks_dir}/*.framework")
    foreach(framework IN LISTS frameworks)
      file(CREATE_LINK "${frameworks_dir}/${framework}"
        "${view}/System/Library/Frameworks/${framework}" SYMBOLIC)
    endforeach()
    # An SDK without ServiceManagement (hexops/xcode-frameworks) gets our own declaration of the
    # few SMAppService members the macOS layer uses, written here into the build folder: no
    # header shaped like Apple's is kept in the repository.
    set(sm "${view}/System/Library/Frameworks/ServiceManagement.framework")
    if(NOT EXISTS "${sm}")
      file(WRITE "${sm}/Headers/ServiceManagement.h" [=[
#pragma once
#import <Foundation/Foundation.h>
NS_ASSUME_NONNULL_BEGIN
typedef NS_ENUM(NSInteger, SMAppServiceStatus) {
  SMAppServiceStatusNotRegistered, SMAppServiceStatusEnabled,
  SMAppServiceStatusRequiresApproval, SMAppServiceStatusNotFound
} API_AVAILABLE(macos(13.0));
API_AVAILABLE(macos(13.0)) @interface SMAppService : NSObject
@property(class, readonly) SMAppService* mainAppService;
@property(readonly) SMAppServiceStatus status;
- (BOOL)registerAndReturnError:(NSError* _Nullable* _Nullable)error;
- (BOOL)unregisterAndReturnError:(NSError* _Nullable* _Nullable)error;
@end
NS_ASSUME_NONNULL_END
]=])
    endif()
    set(CORVANE_MACOS_SYSROOT "${view}")
  endif()
endif()
set(CORVANE_MACOS_SYSROOT "${CORVANE_MACOS_SYSROOT}" CACHE INTERNAL "")
set(CORVANE_MACOS_SYSROOT_OF "${CORVANE_MACOS_SDK}" CACHE INTERNAL "")
set(CMAKE_OSX_SYSROOT "${CORVANE_MACOS_SYSROOT}" CACHE PATH "" FORCE)
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CORVANE_MACOS_SDK CORVANE_MACOS_ARCH
  CORVANE_MACOS_SYSROOT CORVANE_MACOS_SYSROOT_OF)

find_program(CORVANE_CLANG NAMES clang clang-19 clang-18 clang-17 clang-16 clang-15 clang-14
  REQUIRED)
find_program(CORVANE_CLANGXX NAMES clang++ clang++-19 clang++-18 clang++-17 clang++-16
  clang++-15 clang++-14 REQUIRED)
# llvm-ar reads and writes Mach-O archives anywhere; a Mac's own ar and ranlib do too.
find_program(CORVANE_LLVM_AR NAMES llvm-ar llvm-ar-19 llvm-ar-18 llvm-ar-17 llvm-ar-16
  llvm-ar-15 llvm-ar-14 ar REQUIRED)
find_program(CORVANE_LLVM_RANLIB NAMES llvm-ranlib llvm-ranlib-19 llvm-ranlib-18 llvm-ranlib-17
  llvm-ranlib-16 llvm-ranlib-15 llvm-ranlib-14 ranlib REQUIRED)
set(CMAKE_C_COMPILER "${CORVANE_CLANG}")
set(CMAKE_CXX_COMPILER "${CORVANE_CLANGXX}")
set(CMAKE_OBJCXX_COMPILER "${CORVANE_CLANGXX}")
set(triple ${CORVANE_MACOS_ARCH}-apple-macos12.4)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_OBJCXX_COMPILER_TARGET ${triple})
# CMake asks for install_name_tool on Darwin; nothing here is linked or installed, so any will do.
find_program(CORVANE_INSTALL_NAME_TOOL NAMES install_name_tool llvm-install-name-tool
  llvm-install-name-tool-19 llvm-install-name-tool-18 llvm-install-name-tool-17
  llvm-install-name-tool-16 llvm-install-name-tool-15 llvm-install-name-tool-14 true REQUIRED)
set(CMAKE_INSTALL_NAME_TOOL "${CORVANE_INSTALL_NAME_TOOL}" CACHE FILEPATH "" FORCE)
set(CMAKE_AR "${CORVANE_LLVM_AR}" CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB "${CORVANE_LLVM_RANLIB}" CACHE FILEPATH "" FORCE)

# libc++ from the SDK, never a libc++ the host's clang may bring along.
foreach(lang CXX OBJCXX)
  set(CMAKE_${lang}_FLAGS_INIT
    "-stdlib=libc++ -nostdinc++ -isystem ${CORVANE_MACOS_SYSROOT}/usr/include/c++/v1")
endforeach()

# Nothing is linked: compiler checks build static libraries, and the host's libraries and
# programs are never looked for in the SDK.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH "${CORVANE_MACOS_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
