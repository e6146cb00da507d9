# Turns the flash image into a C++ source holding the constant array FlashImage.
# Run as: cmake -DINPUT=<image> -DOUTPUT=<source> -P embed_flash_image.cmake
set(expected_bytes 126976)
file(SIZE "${INPUT}" actual_bytes)
if(NOT actual_bytes EQUAL expected_bytes)
  message(FATAL_ERROR
    "The flash image ${INPUT} is ${actual_bytes} bytes; the unit's flash takes exactly "
    "${expected_bytes} bytes (248 blocks of 512). Refusing to build an updater around it.")
endif()
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from the flash image at build time. Do not edit.\n"
  "#include \"update/flash_image.h\"\n\n"
  "const std::uint8_t FlashImage[kFlashImageBytes] = {\n${bytes}};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
