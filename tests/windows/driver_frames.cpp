#include "driver_frames.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "driver_trace.h"

namespace {

constexpr int kBlocks = 248;
constexpr int kChunksPerBlock = 32;
constexpr std::size_t kImageBytes = kImageChunks * kChunkBytes;

std::string Hex(const Frame& frame) {
    std::string hex;
    char digits[3] = {};
    for (std::uint8_t byte : frame) {
        std::snprintf(digits, sizeof(digits), "%02X", byte);
        hex += digits;
    }
    return hex;
}

}  // namespace

const std::vector<std::uint8_t>& FlashImage() {
    static const std::vector<std::uint8_t> image = [] {
        wchar_t path[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"TARNWICKET_FLASH_IMAGE", path, MAX_PATH) == 0) {
            return std::vector<std::uint8_t>();
        }
        std::vector<std::uint8_t> bytes;
        return ReadFileBytes(path, bytes) && bytes.size() == kImageBytes
                   ? bytes
                   : std::vector<std::uint8_t>();
    }();
    return image;
}

std::vector<Frame> WholeUpdateFrames(const std::vector<std::uint8_t>& image) {
    std::vector<Frame> frames = {{0x10, 0x05, 0xC8, 0x0F, 0x40}};
    auto chunk = image.begin();
    for (int block = 0; block < kBlocks; ++block) {
        frames.push_back({0x10, 0x05, 0x50, 0x01, static_cast<std::uint8_t>(block)});
        for (int c = 0; c < kChunksPerBlock && chunk != image.end(); ++c, chunk += kChunkBytes) {
            Frame write = {0x10, 0x15, 0x50, 0x41, 0x10};
            write.insert(write.end(), chunk, chunk + kChunkBytes);
            frames.push_back(std::move(write));
        }
    }
    frames.push_back(IspExitFrame());
    frames.push_back({0x11, 0x01, 0xDC});
    return frames;
}

Frame IspExitFrame() {
    return {0x10, 0x05, 0x50, 0x02, 0x00};
}

std::string FrameName(const Frame& frame, const std::vector<std::uint8_t>& image) {
    const Frame head(frame.begin(), frame.begin() + std::min<std::ptrdiff_t>(std::ssize(frame), 4));
    if (frame == Frame{0x10, 0x05, 0xC8, 0x0F, 0x40}) {
        return "IspEnter";
    }
    if (frame == IspExitFrame()) {
        return "IspExit";
    }
    if (frame == Frame{0x11, 0x01, 0xDC}) {
        return "DeviceReset";
    }
    if (frame.size() == 5 && head == Frame{0x10, 0x05, 0x50, 0x01}) {
        return "BlockSelect " + std::to_string(frame[4]);
    }
    if (frame.size() == 5 + kChunkBytes && head == Frame{0x10, 0x15, 0x50, 0x41} &&
        frame[4] == kChunkBytes) {
        for (std::size_t at = 0; at + kChunkBytes <= image.size(); at += kChunkBytes) {
            if (std::equal(frame.begin() + 5, frame.end(),
                           image.begin() + static_cast<std::ptrdiff_t>(at))) {
                const std::size_t index = at / kChunkBytes;
                return "ChunkWrite of block " + std::to_string(index / kChunksPerBlock) +
                       " chunk " + std::to_string(index % kChunksPerBlock);
            }
        }
        return "ChunkWrite of data not in the image " + Hex(frame);
    }
    return "frame " + Hex(frame);
}
