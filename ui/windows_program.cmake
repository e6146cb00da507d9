# The Windows program, included by the top-level CMakeLists.txt when building for
# Windows: tarnwicket.exe (the vendor's USB bridge library) and tarnwicket-sim.exe
# (the built-in simulated unit), from the same sources.
enable_language(RC)

set(TARNWICKET_BRIDGE_LIBRARY "usbbridge.dll" CACHE STRING
    "File name of the USB bridge vendor library that tarnwicket.exe imports")

# Each executable needs nothing beyond Windows' own DLLs (and the vendor library).
add_link_options(-static -static-libgcc -static-libstdc++ $<$<NOT:$<CONFIG:Debug>>:-s>)

# Reproducible executables: one commit gives the same bytes wherever and whenever it is
# built (tools/check_reproducible.sh). No time stamp in the PE header, and no build
# folder in any path the compiler writes down (__FILE__, the generated image source).
# CMAKE_CXX_FLAGS counts with its value at the end of the folder, so the libraries
# defined before this file was included get the prefix maps too.
add_link_options(-Wl,--no-insert-timestamp)
string(APPEND CMAKE_CXX_FLAGS " -ffile-prefix-map=${CMAKE_SOURCE_DIR}/="
                              " -ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/")

# The version resource names the version and the commit: generated/version.h.
include("${CMAKE_SOURCE_DIR}/cmake/version_header.cmake")

# The import library of the vendor library, by ordinal. 32-bit names carry their
# __stdcall decoration. TARNWICKET_BRIDGE_DEF is the .def made for this width.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(bridge_def_template "${CMAKE_SOURCE_DIR}/device/usbbridge_x86.def.in")
else()
  set(bridge_def_template "${CMAKE_SOURCE_DIR}/device/usbbridge_x64.def.in")
endif()
set(TARNWICKET_BRIDGE_DEF "${CMAKE_BINARY_DIR}/generated/usbbridge.def")
set(bridge_import_library "${CMAKE_BINARY_DIR}/generated/libusbbridge.a")
configure_file("${bridge_def_template}" "${TARNWICKET_BRIDGE_DEF}" @ONLY)
add_custom_command(
  OUTPUT "${bridge_import_library}"
  COMMAND "${CMAKE_DLLTOOL}" --input-def usbbridge.def --output-lib libusbbridge.a
  DEPENDS "${TARNWICKET_BRIDGE_DEF}"
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/generated"
  COMMENT "Making the import library of ${TARNWICKET_BRIDGE_LIBRARY}")
add_custom_target(usbbridge_import_library DEPENDS "${bridge_import_library}")
add_library(usbbridge STATIC IMPORTED)
set_target_properties(usbbridge PROPERTIES IMPORTED_LOCATION "${bridge_import_library}")
add_dependencies(usbbridge usbbridge_import_library)

# The operator window and the kernel services: the seams that the update logic calls.
# The entry point (ui/main.cpp) goes into each executable itself, since the C runtime
# asks for it only after the libraries have been searched.
add_library(operator_window STATIC
  ui/about_box.cpp
  ui/main_window.cpp
  ui/status_display.cpp
  ui/taskbar_progress.cpp
  platform/platform_win32.cpp)
target_include_directories(operator_window PUBLIC "${CMAKE_SOURCE_DIR}")
target_compile_definitions(operator_window PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# COM, for the progress on the taskbar button.
target_link_libraries(operator_window PUBLIC ole32 uuid)

# windres reports no dependencies of its own: name what the resource script reads.
set(resource_inputs ui/resource.h ui/tarnwicket.manifest assets/tarnwicket.ico
    assets/tarnwicket_small.ico)
list(TRANSFORM resource_inputs PREPEND "${CMAKE_SOURCE_DIR}/")
list(APPEND resource_inputs "${TARNWICKET_VERSION_HEADER}")
set_source_files_properties(ui/tarnwicket.rc PROPERTIES OBJECT_DEPENDS "${resource_inputs}"
                            INCLUDE_DIRECTORIES "${CMAKE_BINARY_DIR}/generated")

# tarnwicket.exe: the update against a real unit through the vendor library.
add_executable(tarnwicket WIN32 ui/main.cpp device/bridge_port_library.cpp ui/tarnwicket.rc)
target_link_libraries(tarnwicket PRIVATE
  "$<LINK_GROUP:RESCAN,update_logic,operator_window>" usbbridge)

# tarnwicket-sim.exe: the demo and training build, with the built-in simulated unit.
add_executable(tarnwicket-sim WIN32 ui/main.cpp device/simulated_unit_clock.cpp ui/tarnwicket.rc)
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

add_subdirectory(tests/windows)
