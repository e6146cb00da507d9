# Prints the size of a built file. Run as: cmake -DFILE=<path> -P report_size.cmake
file(SIZE "${FILE}" bytes)
get_filename_component(name "${FILE}" NAME)
message(STATUS "${name}: ${bytes} bytes")
