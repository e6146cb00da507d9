# The Windows program, included by the top-level CMakeLists.txt when building for
# Windows: tarnwicket.exe (the vendor's USB bridge library) and tarnwicket-sim.exe
# (the built-in simulated unit), from the same sources.
enable_language(RC)

set(TARNWICKET_BRIDGE_LIBRARY "usbbridge.dll" CACHE STRING
    "File name of the USB bridge vendor library that tarnwicket.exe loads from its folder")

# Each executable needs nothing beyond Windows' own DLLs (and the vendor library).
add_link_options(-static -static-libgcc -static-libstdc++ $<$<NOT:$<CONFIG:Debug>>:-s>)

# Reproducible executables: one commit gives the same bytes wherever and whenever it is
# built (make test-release, tests/release/release_test.sh, builds them again from a
# fresh copy in another folder and time zone and compares). No time stamp in the PE
# header, and no build folder in any path the compiler writes down (__FILE__, the
# generated image source).
# CMAKE_CXX_FLAGS counts with its value at the end of the folder, so the libraries
# defined before this file was included get the prefix maps too.
add_link_options(-Wl,--no-insert-timestamp)

# Hardening, as Windows programs are expected to be built: a stack canary in every
# function with an array or a local whose address is taken, and the mark that the
# program is aware of Terminal Services, so that Remote Desktop does not give it the
# compatibility shims meant for old programs.
string(APPEND CMAKE_CXX_FLAGS " -fstack-protector-strong")
add_link_options(-fstack-protector-strong -Wl,--tsaware)
# Loaded at an address Windows picks anew at each start (ASLR), anywhere in the 64-bit
# address space on x64, and with its data never run as code (DEP). Named here rather
# than left to the linker's defaults, which older binutils did not set.
add_link_options(-Wl,--dynamicbase -Wl,--nxcompat
                 $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},8>:-Wl,--high-entropy-va>)
string(APPEND CMAKE_CXX_FLAGS " -ffile-prefix-map=${CMAKE_SOURCE_DIR}/="
                              " -ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/")

# The version resource names the version, the build number and the commit:
# generated/version.h, made at every build.
include("${CMAKE_SOURCE_DIR}/cmake/version_header.cmake")

# The operator window and the kernel services: the seams that the update logic calls.
# The entry point (ui/main.cpp) goes into each executable itself, since the C runtime
# asks for it only after the libraries have been searched.
add_library(operator_window STATIC
  ui/about_box.cpp
  ui/main_window.cpp
  ui/one_copy.cpp
  ui/status_display.cpp
  ui/taskbar_progress.cpp
  ui/update_reports.cpp
  platform/library_file_win32.cpp
  platform/platform_win32.cpp)
target_include_directories(operator_window PUBLIC "${CMAKE_SOURCE_DIR}")
target_compile_definitions(operator_window PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# COM, for the progress on the taskbar button.
target_link_libraries(operator_window PUBLIC ole32 uuid)

# windres reports no dependencies of its own: name what the resource script reads.
set(resource_inputs ui/resource.h ui/version_info.rc ui/tarnwicket.manifest assets/tarnwicket.ico
    assets/tarnwicket_small.ico)
list(TRANSFORM resource_inputs PREPEND "${CMAKE_SOURCE_DIR}/")
list(APPEND resource_inputs "${TARNWICKET_VERSION_HEADER}")
set_source_files_properties(ui/tarnwicket.rc PROPERTIES OBJECT_DEPENDS "${resource_inputs}"
                            INCLUDE_DIRECTORIES "${CMAKE_BINARY_DIR}/generated")

# tarnwicket.exe: the update against a real unit through the vendor library.
# The vendor library is loaded at start-up from the program's own folder, by name and
# ordinals (device/bridge_port_library.cpp): the import table does not name it, so
# Windows never looks for it elsewhere.
add_executable(tarnwicket WIN32 ui/main.cpp device/bridge_port_library.cpp ui/tarnwicket.rc)
add_dependencies(tarnwicket version_header)
target_compile_definitions(tarnwicket PRIVATE
  "TARNWICKET_BRIDGE_LIBRARY=L\"${TARNWICKET_BRIDGE_LIBRARY}\"")
target_link_libraries(tarnwicket PRIVATE
  "$<LINK_GROUP:RESCAN,update_logic,operator_window>")

# tarnwicket-sim.exe: the demo and training build, with the built-in simulated unit.
add_executable(tarnwicket-sim WIN32 ui/main.cpp device/simulated_unit_clock.cpp ui/tarnwicket.rc)
add_dependencies(tarnwicket-sim version_header)
target_compile_definitions(tarnwicket-sim PRIVATE TARNWICKET_SIMULATED_UNIT)
target_link_libraries(tarnwicket-sim PRIVATE
  "$<LINK_GROUP:RESCAN,update_logic,operator_window,bridge_port_simulated,simulated_unit>")

# Both: GUI subsystem (WIN32), Unicode entry point, at the root of the build folder,
# and the build says how big they came out.
foreach(program tarnwicket tarnwicket-sim)
  target_link_options(${program} PRIVATE -municode)
  set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")
  add_custom_command(TARGET ${program} POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -DFILE=$<TARGET_FILE:${program}>
            -P "${CMAKE_SOURCE_DIR}/cmake/report_size.cmake"
    VERBATIM)
endforeach()

add_subdirectory(recorder)
add_subdirectory(tests/replay)
add_subdirectory(tests/windows)
