# Compiles every file of a folder with clang++ -fsyntax-only for macOS against the Apple SDK
# shim in tests/macos-shim, on a machine that has no macOS SDK.
#
#   cmake -DCLANGXX=<clang++> -DPROJECT_DIR=<source root> -DFILES_DIR=<folder>
#         [-DEXPECT=pass|fail] [-DEXTRA_SHIM=<folder>] [-DSYSROOT=<macOS SDK> -DTARGET=<triple>]
#         -P SyntaxCheck.cmake
#
# With SYSROOT the files are compiled against that real SDK (and its libc++) instead of the shim:
# the cross build (cmake/macos-cross.cmake) uses it to prove that the SDK rejects the probes too.
#
# EXPECT=pass (default): every .cpp, .mm and .h must compile cleanly (-Werror).
# EXPECT=fail: every file must be rejected, with the text of its "// expect: <text>" line among
# the diagnostics; this keeps the shim strict enough to catch a wrong call.
cmake_minimum_required(VERSION 3.25)

if(NOT EXPECT)
  set(EXPECT pass)
endif()
if(NOT CLANGXX)
  message(FATAL_ERROR "clang++ was not found; scripts/setup installs it (Debian package clang)")
endif()
foreach(var PROJECT_DIR FILES_DIR)
  if(NOT IS_DIRECTORY "${${var}}")
    message(FATAL_ERROR "${var} is not a folder: '${${var}}'")
  endif()
endforeach()

if(SYSROOT)
  set(flags
    -target ${TARGET} -isysroot "${SYSROOT}"
    -stdlib=libc++ -nostdinc++ -isystem "${SYSROOT}/usr/include/c++/v1"
    -fsyntax-only -std=c++20 -Wall -Wextra -Wpedantic -Werror
    -I "${PROJECT_DIR}"
  )
else()
  # The host's own C and C++ library headers stand in for the SDK's (the shim covers only Apple's
  # frameworks). Asking the host compiler for its search list keeps this independent of the
  # distribution's layout.
  execute_process(COMMAND "${CLANGXX}" -x c++ -std=c++20 -E -v -
    INPUT_FILE /dev/null OUTPUT_QUIET ERROR_VARIABLE verbose RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${CLANGXX} cannot preprocess C++:\n${verbose}")
  endif()
  string(REPLACE "\n" ";" lines "${verbose}")
  set(in_list FALSE)
  set(system_includes)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#include <...> search starts here:")
      set(in_list TRUE)
    elseif(line MATCHES "^End of search list.")
      set(in_list FALSE)
    elseif(in_list)
      string(STRIP "${line}" dir)
      list(APPEND system_includes -isystem "${dir}")
    endif()
  endforeach()
  if(NOT system_includes)
    message(FATAL_ERROR "could not read the include search list of ${CLANGXX}:\n${verbose}")
  endif()

  execute_process(COMMAND "${CLANGXX}" -dumpmachine OUTPUT_VARIABLE machine
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX MATCH "^[^-]+" arch "${machine}")
  if(arch STREQUAL "aarch64")
    set(arch arm64)
  endif()

  set(extra_shim)
  if(EXTRA_SHIM)
    set(extra_shim -isystem "${EXTRA_SHIM}")
  endif()
  set(flags
    # A macOS target: Apple's predefined macros, the Objective-C runtime of macOS, and availability
    # checks against the deployment target the program supports.
    -target ${arch}-apple-macos12.4
    -fsyntax-only -std=c++20 -Wall -Wextra -Wpedantic -Werror
    # On a macOS target clang predefines __nonnull as a nullability keyword, which the host's C
    # headers define for themselves; they also expect the feature macro the host target sets.
    -U__nonnull -D_GNU_SOURCE
    -nostdinc -nostdinc++
    -I "${PROJECT_DIR}"
    ${extra_shim}
    -isystem "${PROJECT_DIR}/tests/macos-shim"
    ${system_includes}
  )
endif()

file(GLOB files "${FILES_DIR}/*.cpp" "${FILES_DIR}/*.mm" "${FILES_DIR}/*.h")
list(SORT files)
if(NOT files)
  message(FATAL_ERROR "no .cpp, .mm or .h file in ${FILES_DIR}")
endif()

set(failures 0)
foreach(file IN LISTS files)
  get_filename_component(name "${file}" NAME)
  if(file MATCHES "\\.mm$")
    set(language -x objective-c++ -fobjc-arc)
  elseif(file MATCHES "\\.h$")
    set(language -x c++-header)
  else()
    set(language -x c++)
  endif()
  execute_process(COMMAND "${CLANGXX}" ${flags} ${language} "${file}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(EXPECT STREQUAL "pass")
    if(rc EQUAL 0)
      message(STATUS "ok       ${name}")
    else()
      message(STATUS "FAILED   ${name}\n${out}")
      math(EXPR failures "${failures} + 1")
    endif()
  else()
    file(STRINGS "${file}" expect_lines REGEX "// expect: ")
    if(NOT expect_lines)
      message(STATUS "FAILED   ${name}: has no \"// expect: <diagnostic>\" line")
      math(EXPR failures "${failures} + 1")
      continue()
    endif()
    list(GET expect_lines 0 expect_line)
    string(REGEX REPLACE ".*// expect: " "" expected "${expect_line}")
    string(FIND "${out}" "${expected}" found)
    if(rc EQUAL 0)
      message(STATUS "FAILED   ${name}: compiled, but it must be rejected")
      math(EXPR failures "${failures} + 1")
    elseif(found EQUAL -1)
      message(STATUS "FAILED   ${name}: rejected without \"${expected}\":\n${out}")
      math(EXPR failures "${failures} + 1")
    else()
      message(STATUS "rejected ${name}: ${expected}")
    endif()
  endif()
endforeach()

list(LENGTH files count)
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of ${count} files did not behave as expected (${EXPECT})")
endif()
message(STATUS "${count} files checked (${EXPECT})")
