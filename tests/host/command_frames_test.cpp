// The bytes of every frame and the test by which a reply counts as accepted.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "update/command_frames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename Frame>
Bytes AsBytes(const Frame& frame) {
    return Bytes(frame.begin(), frame.end());
}

TEST(CommandFrames, CarryTheUnitsBytes) {
    std::uint8_t data[16];
    std::iota(std::begin(data), std::end(data), std::uint8_t{0xA0});
    struct Case {
        const char* name;
        Bytes built;
        Bytes expected;
    } cases[] = {
        {"IspEnter", AsBytes(IspEnter()), {0x10, 0x05, 0xC8, 0x0F, 0x40}},
        {"BlockSelect(0)", AsBytes(BlockSelect(0)), {0x10, 0x05, 0x50, 0x01, 0x00}},
        {"BlockSelect(0xF7)", AsBytes(BlockSelect(0xF7)), {0x10, 0x05, 0x50, 0x01, 0xF7}},
        {"IspExit", AsBytes(IspExit()), {0x10, 0x05, 0x50, 0x02, 0x00}},
        {"DeviceReset", AsBytes(DeviceReset()), {0x11, 0x01, 0xDC}},
        {"ChunkWrite", AsBytes(ChunkWrite(data)), {0x10, 0x15, 0x50, 0x41, 0x10, 0xA0, 0xA1,
                                                   0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8,
                                                   0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.built, c.expected) << c.name;
    }
}

TEST(CommandFrames, AcceptedOnlyOnASuccessfulExchangeWithStatusOne) {
    struct Case {
        bool transaction;
        StatusReply reply;
        bool accepted;
    } cases[] = {
        {true, {0x00, 0x01}, true},  {true, {0x41, 0x01}, true},    // byte 0 is not examined
        {true, {0x01, 0x00}, false},                                // the status is byte 1
        {true, {0x01, 0x02}, false}, {false, {0x00, 0x01}, false},  // whatever the buffer holds
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Accepted(c.transaction, c.reply), c.accepted)
            << c.transaction << " " << int{c.reply[0]} << " " << int{c.reply[1]};
    }
}

}  // namespace
