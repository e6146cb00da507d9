# Writes generated/version.h for the version resource: the project version and the
# short id of the commit it is built from. The release scripts pass TARNWICKET_COMMIT;
# otherwise git is asked at configure time, and "unknown" stands outside git.
if(NOT DEFINED TARNWICKET_COMMIT OR TARNWICKET_COMMIT STREQUAL "")
  execute_process(COMMAND git rev-parse --short=7 HEAD
                  WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}" RESULT_VARIABLE git_status
                  OUTPUT_VARIABLE TARNWICKET_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET)
  if(NOT git_status EQUAL 0 OR TARNWICKET_COMMIT STREQUAL "")
    set(TARNWICKET_COMMIT unknown)
  endif()
  # A checkout rewrites HEAD, a commit the branch it names: configure again after either.
  execute_process(COMMAND git symbolic-ref -q HEAD WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}"
                  OUTPUT_VARIABLE git_branch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  foreach(git_ref HEAD ${git_branch})
    execute_process(COMMAND git rev-parse --path-format=absolute --git-path ${git_ref}
                    WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}" OUTPUT_VARIABLE git_file
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(EXISTS "${git_file}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_file}")
    endif()
  endforeach()
endif()

set(TARNWICKET_VERSION_HEADER "${CMAKE_BINARY_DIR}/generated/version.h")
file(CONFIGURE OUTPUT "${TARNWICKET_VERSION_HEADER}" CONTENT
[[// Generated at configure time from the project version and the commit. Do not edit.
#pragma once
#define TARNWICKET_VERSION_MAJOR @PROJECT_VERSION_MAJOR@
#define TARNWICKET_VERSION_MINOR @PROJECT_VERSION_MINOR@
#define TARNWICKET_VERSION_TEXT "@PROJECT_VERSION@ (@TARNWICKET_COMMIT@)"
]] @ONLY)
