# Turns the flash image into a C++ source holding the constant array FlashImage, once
# its size is the unit's flash: the blocks, chunks a block and bytes a chunk that
# update/flash_shape.h declares, read from there.
# Run as: cmake -DINPUT=<image> -DSHAPE=<flash_shape.h> -DOUTPUT=<source> -P embed_flash_image.cmake
file(STRINGS "${SHAPE}" shape REGEX "^constexpr [a-z:0-9_]+ k(FlashBlocks|ChunksPerBlock|ChunkBytes) = [0-9]+;")
foreach(line IN LISTS shape)
  string(REGEX MATCH "k([A-Za-z]+) = ([0-9]+)" matched "${line}")
  set(${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()
if(NOT FlashBlocks OR NOT ChunksPerBlock OR NOT ChunkBytes)
  message(FATAL_ERROR "${SHAPE} no longer declares kFlashBlocks, kChunksPerBlock and "
                      "kChunkBytes as plain numbers, which this size check reads.")
endif()
math(EXPR expected_bytes "${FlashBlocks} * ${ChunksPerBlock} * ${ChunkBytes}")
file(SIZE "${INPUT}" actual_bytes)
if(NOT actual_bytes EQUAL expected_bytes)
  message(FATAL_ERROR
    "The flash image ${INPUT} is ${actual_bytes} bytes; the unit's flash takes exactly "
    "${expected_bytes} bytes (${FlashBlocks} blocks of ${ChunksPerBlock} chunks of "
    "${ChunkBytes} bytes). Refusing to build an updater around it.")
endif()
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from the flash image at build time. Do not edit.\n"
  "#include \"update/flash_image.h\"\n\n"
  "const std::uint8_t FlashImage[kFlashImageBytes] = {\n${bytes}};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
