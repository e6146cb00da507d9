// Hands the fuzzer's input to the fuzzing port.
#pragma once

#include <cstddef>
#include <cstdint>

void SetFuzzInput(const std::uint8_t* data, std::size_t size);
