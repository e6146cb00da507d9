// One exchange with the unit: the reply wait, link failures and odd reply lengths.
#include <gtest/gtest.h>

#include "device/device_connection.h"
#include "device/transaction.h"
#include "tests/host/fakes.h"
#include "update/command_frames.h"

namespace {

const std::wstring kBytesRead = L"BytesRead not same as datalength";

// Opens the simulated unit and sends IspEnter (frame 1) then IspExit (frame 2).
struct Exchange {
    bool result;
    StatusReply reply;
};

Exchange SendIspExitFrame(StatusReply reply = {0xAA, 0xAA}) {
    const auto frame = IspExit();
    const bool result = Transact(reply.data(), frame.data(), 2, 5);
    return {result, reply};
}

void OpenUnit(const UnitScript& script, std::uint32_t startTickMs = 0) {
    ResetHost(script, startTickMs);
    OpenDeviceConnection();
    ASSERT_NE(DeviceHandle(), kNoDevice);
}

TEST(Transact, ReplyWaitEndsAtTwoThousandMilliseconds) {
    struct Case {
        std::uint32_t replyAfterMs;
        std::uint32_t startTickMs;
        bool result;
    } cases[] = {
        {0, 0, true},
        {1999, 0, true},
        {2000, 0, false},
        {5000, 0, false},
        {1999, 0xFFFFFFFFu - 1000, true},  // the tick counter wraps during the wait
        {2000, 0xFFFFFFFFu - 1000, false},
        {1999, 0xFFFFFFFFu, true},
    };
    for (const Case& c : cases) {
        UnitScript s;
        s.frameFaults.push_back({1, ReplyFault::None, c.replyAfterMs * 1000});
        OpenUnit(s, c.startTickMs);
        const std::uint64_t before = VirtualNowUs();
        const Exchange e = SendIspExitFrame();
        EXPECT_EQ(e.result, c.result) << c.replyAfterMs << " ms from tick " << c.startTickMs;
        EXPECT_TRUE(Seen().warnings.empty());
        EXPECT_TRUE(Seen().lines.empty());
        const std::uint64_t waitedMs = (VirtualNowUs() - before) / 1000;
        EXPECT_LE(waitedMs, 2000u) << "the wait never outlives its limit";
        if (c.result) {
            EXPECT_EQ(e.reply[1], 0x01);
        }
    }
}

TEST(Transact, LinkFailuresAreShownInTheirOwnWords) {
    struct Case {
        const char* name;
        PortFault fault;
        bool result;
        std::vector<std::wstring> warnings;
    } cases[] = {
        {"write fails", {.op = PortOp::Write, .call = 1}, false, {L"Error Sending Code"}},
        {"read fails", {.op = PortOp::Read, .call = 1}, false, {L"Error Reading Data"}},
        {"one queue check fails",
         {.op = PortOp::QueueStatus, .call = 1},
         false,
         std::vector<std::wstring>(1, L"Error Checking Queue")},
        {"three queue checks fail",
         {.op = PortOp::QueueStatus, .call = 1, .times = 3},
         false,
         std::vector<std::wstring>(3, L"Error Checking Queue")},
        {"a late queue check fails",
         {.op = PortOp::QueueStatus, .call = 2},
         false,
         std::vector<std::wstring>(1, L"Error Checking Queue")},
    };
    for (const Case& c : cases) {
        UnitScript s;
        s.frameFaults.push_back({1, ReplyFault::None, 5000});  // the queue is polled a while
        s.portFaults.push_back(c.fault);
        OpenUnit(s);
        const Exchange e = SendIspExitFrame();
        EXPECT_EQ(e.result, c.result) << c.name;
        EXPECT_EQ(WarningTexts(), c.warnings) << c.name;
        for (const ShownWarning& w : Seen().warnings) {
            EXPECT_EQ(w.caption, L" ") << c.name;
        }
        EXPECT_NE(DeviceHandle(), kNoDevice) << "a failed exchange leaves the unit open";
    }
}

TEST(Transact, NothingIsWrittenWithoutAnOpenUnit) {
    ResetHost({});
    EXPECT_FALSE(SendIspExitFrame().result);
    EXPECT_EQ(Unit().callCount, 0u);
    EXPECT_TRUE(Seen().warnings.empty());
}

TEST(Transact, ShortReplyIsDrawnAndNeverJudgedOnStaleBytes) {
    UnitScript s;
    s.frameFaults.push_back({2, ReplyFault::ShortReply, 0});
    OpenUnit(s);
    ASSERT_TRUE(SendIspExitFrame().result);  // frame 1: a full reply, status 0x01
    const Exchange e = SendIspExitFrame({0x00, 0x01});
    EXPECT_TRUE(e.result);
    EXPECT_EQ(e.reply[1], 0x00) << "the missing byte reads as 0, never as the old 0x01";
    EXPECT_FALSE(Accepted(e.result, e.reply));
    ASSERT_EQ(Seen().lines.size(), 1u);
    EXPECT_EQ(Seen().lines[0].y, 10);
    EXPECT_EQ(Seen().lines[0].text.size(), 48u);
    EXPECT_EQ(Trimmed(Seen().lines[0].text), kBytesRead);
}

TEST(Transact, BytesOfALongReplyWaitForTheNextExchange) {
    UnitScript s;
    s.frameFaults.push_back({1, ReplyFault::LongReply, 0});
    s.frameFaults.push_back({2, ReplyFault::None, 1500 * 1000});
    OpenUnit(s);
    ASSERT_TRUE(SendIspExitFrame().result);
    const std::uint64_t before = VirtualNowUs();
    const Exchange e = SendIspExitFrame();
    EXPECT_TRUE(e.result);
    EXPECT_LT(VirtualNowUs() - before, 1500u * 1000) << "the leftover byte waits at once";
    EXPECT_EQ(e.reply[0], 0xEE) << "the leftover byte is read first";
    ASSERT_EQ(Seen().lines.size(), 1u) << "only the leftover byte had arrived";
    EXPECT_EQ(Trimmed(Seen().lines[0].text), kBytesRead);
}

}  // namespace
