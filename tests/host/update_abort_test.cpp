// The way out of a failed update: every code, and the failures inside the abort.
#include <gtest/gtest.h>

#include "device/device_connection.h"
#include "tests/host/fakes.h"
#include "update/update_abort.h"

namespace {

const std::vector<std::uint8_t> kIspExit = {0x10, 0x05, 0x50, 0x02, 0x00};

// Opens the unit and puts it into programming mode, as the worker would have.
void UnitInProgrammingMode(const UnitScript& script) {
    ResetHost(script);
    OpenDeviceConnection();
    ASSERT_NE(DeviceHandle(), kNoDevice);
}

TEST(AbortUpdate, EveryCodeShowsItsTextLeavesIspModeAndExitsWithOne) {
    struct Case {
        std::uint8_t code;
        const wchar_t* text;
        std::size_t storedLength;
    } cases[] = {
        {1, L"ERROR setting ISP mode", 35},
        {2, L"ERROR exit ISP mode", 35},
        {3, L"Boot error", 35},
        {4, L"Flash Read error", 35},
        {5, L"Select Flash error", 35},
        {6, L"Chip Erase error", 35},
        {7, L"Chip Write error", 35},
        {8, L"Chip Erase error", 37},
        {9, L"SPI Open error", 37},
        {10, L"SPI Close error", 37},
    };
    for (const Case& c : cases) {
        UnitInProgrammingMode({});
        EXPECT_EQ(ExitStatusOf([&] { AbortUpdate(c.code); }), 1) << int{c.code};
        ASSERT_EQ(Seen().lines.size(), 1u);
        EXPECT_EQ(Seen().lines[0].y, 10);
        EXPECT_EQ(Trimmed(Seen().lines[0].text), c.text);
        EXPECT_EQ(Seen().lines[0].text.size(), c.storedLength) << int{c.code};
        ASSERT_EQ(Seen().warnings.size(), 1u);
        EXPECT_EQ(Seen().warnings[0].text, L" ");
        EXPECT_EQ(Seen().warnings[0].caption, L"Critical Error!!! ");
        EXPECT_EQ(Seen().warnings[0].framesBefore, 0u) << "the warning comes before IspExit";
        EXPECT_EQ(Seen().pausesMs, std::vector<std::uint32_t>{100});
        EXPECT_EQ(Unit().frames, std::vector<std::vector<std::uint8_t>>{kIspExit});
        EXPECT_EQ(Unit().closes, 1u);
        EXPECT_EQ(DeviceHandle(), kNoDevice);
    }
}

TEST(AbortUpdate, CodesOutsideTheTableDoNothing) {
    for (const int code : {0, 11, 255}) {
        UnitInProgrammingMode({});
        EXPECT_EQ(ExitStatusOf([&] { AbortUpdate(static_cast<std::uint8_t>(code)); }), std::nullopt)
            << code;
        EXPECT_TRUE(Seen().lines.empty());
        EXPECT_TRUE(Seen().warnings.empty());
        EXPECT_TRUE(Unit().frames.empty());
        EXPECT_NE(DeviceHandle(), kNoDevice);
    }
}

TEST(AbortUpdate, FailuresInsideTheAbortAreShownAndTheProcessStillEnds) {
    struct Case {
        const char* name;
        UnitScript script;
        std::vector<std::wstring> warnings;
    } cases[] = {
        {"IspExit refused",
         {.frameFaults = {{1, ReplyFault::Refuse, 0}}},
         {L" ", L"ERROR exit ISP mode !"}},
        {"IspExit unanswered",
         {.frameFaults = {{1, ReplyFault::NoReply, 0}}},
         {L" ", L"ERROR exit ISP mode !"}},
        {"close fails",
         {.portFaults = {{.op = PortOp::Close, .call = 1}}},
         {L" ", L"Unable to close device handle!"}},
        {"write of IspExit fails",
         {.portFaults = {{.op = PortOp::Write, .call = 1}}},
         {L" ", L"Error Sending Code", L"ERROR exit ISP mode !"}},
    };
    for (const Case& c : cases) {
        UnitInProgrammingMode(c.script);
        EXPECT_EQ(ExitStatusOf([] { AbortUpdate(kAbortChipWriteFailed); }), 1) << c.name;
        EXPECT_EQ(WarningTexts(), c.warnings) << c.name;
        EXPECT_EQ(DeviceHandle(), kNoDevice) << c.name;
    }
}

}  // namespace
