# Run at build time by the version_header target (cmake/version_header.cmake).
if(COMMIT STREQUAL "")
  execute_process(COMMAND git rev-parse --short=7 HEAD WORKING_DIRECTORY "${SOURCE_DIR}"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE COMMIT
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND git rev-list --count HEAD WORKING_DIRECTORY "${SOURCE_DIR}"
                  OUTPUT_VARIABLE BUILD_NUMBER OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND git status --porcelain WORKING_DIRECTORY "${SOURCE_DIR}"
                  OUTPUT_VARIABLE changes ERROR_QUIET)
  if(failed OR COMMIT STREQUAL "")
    set(COMMIT unknown)
    set(BUILD_NUMBER 0)
    set(changes outside git)
  endif()
  if(changes STREQUAL "")
    set(PRIVATE_BUILD 0)
  else()
    set(PRIVATE_BUILD 1)
  endif()
endif()
if(BUILD_NUMBER STREQUAL "")
  set(BUILD_NUMBER 0)
endif()
if(PRIVATE_BUILD)
  set(PRIVATE_BUILD 1)
else()
  set(PRIVATE_BUILD 0)
endif()

set(content [[// Generated at build time from the project version and the commit. Do not edit.
#pragma once
#define TARNWICKET_VERSION_MAJOR @MAJOR@
#define TARNWICKET_VERSION_MINOR @MINOR@
#define TARNWICKET_BUILD_NUMBER @BUILD_NUMBER@
#define TARNWICKET_PRIVATE_BUILD @PRIVATE_BUILD@
#define TARNWICKET_VERSION_TEXT "@VERSION@.@BUILD_NUMBER@ (@COMMIT@)"
#define TARNWICKET_COMMIT_TEXT "@COMMIT@"
]])
string(CONFIGURE "${content}" content @ONLY)
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" before)
endif()
if(NOT before STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
