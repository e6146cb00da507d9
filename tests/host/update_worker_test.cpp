// The whole update against the simulated unit, as the operator and the unit see it.
#include <gtest/gtest.h>

#include <numeric>

#include "tests/host/fakes.h"
#include "update/flash_image.h"
#include "update/update_worker.h"

namespace {

using Frame = std::vector<std::uint8_t>;

constexpr std::size_t kFramesOfCleanUpdate = 1 + 248 * 33 + 2;

// The frame number (1-based) of chunk `chunk` of block `block` in a clean update.
std::uint32_t ChunkFrame(int block, int chunk) {
    return static_cast<std::uint32_t>(1 + block * 33 + 1 + chunk + 1);
}
std::uint32_t BlockSelectFrame(int block) {
    return static_cast<std::uint32_t>(2 + block * 33);
}
constexpr std::uint32_t kIspExitFrame = 1 + 248 * 33 + 1;
constexpr std::uint32_t kResetFrame = kIspExitFrame + 1;

const Frame kIspEnter = {0x10, 0x05, 0xC8, 0x0F, 0x40};
const Frame kIspExit = {0x10, 0x05, 0x50, 0x02, 0x00};
const Frame kDeviceReset = {0x11, 0x01, 0xDC};

std::optional<int> RunUpdate(const UnitScript& script) {
    ResetHost(script);
    return ExitStatusOf([] { UpdateWorker(); });
}

TEST(UpdateWorker, CleanUpdatePutsTheImageOnTheUnitFrameByFrame) {
    ASSERT_EQ(RunUpdate({}), std::nullopt);

    const auto& frames = Unit().frames;
    ASSERT_EQ(frames.size(), kFramesOfCleanUpdate);
    EXPECT_EQ(frames.front(), kIspEnter);
    Frame joined;
    std::size_t i = 1;
    for (int block = 0; block < 248; ++block) {
        EXPECT_EQ(frames[i++], (Frame{0x10, 0x05, 0x50, 0x01, static_cast<std::uint8_t>(block)}));
        for (int chunk = 0; chunk < 32; ++chunk, ++i) {
            ASSERT_EQ(frames[i].size(), 21u);
            EXPECT_EQ(Frame(frames[i].begin(), frames[i].begin() + 5),
                      (Frame{0x10, 0x15, 0x50, 0x41, 0x10}));
            joined.insert(joined.end(), frames[i].begin() + 5, frames[i].end());
        }
    }
    EXPECT_EQ(frames[i++], kIspExit);
    EXPECT_EQ(frames[i++], kDeviceReset);
    EXPECT_EQ(joined, Frame(FlashImage, FlashImage + kFlashImageBytes));
    EXPECT_TRUE(std::equal(Unit().flash.begin(), Unit().flash.end(), FlashImage));

    EXPECT_TRUE(Seen().warnings.empty());
    EXPECT_EQ(Unit().opens, 1u);
    EXPECT_EQ(Unit().closes, 1u);
    EXPECT_EQ(Unit().resets, 1u);
    EXPECT_EQ(Seen().updateEndedReports, 0);  // only the thread body reports
}

TEST(UpdateWorker, CleanUpdatePausesForTwentyThreePointSevenSeconds) {
    RunUpdate({});
    const auto& pauses = Seen().pausesMs;
    ASSERT_EQ(pauses.size(), 1u + 1u + 1u + 248u + 2u);
    EXPECT_EQ(pauses[0], 10000u);  // before the search
    EXPECT_EQ(pauses[1], 1000u);   // after programming-mode entry
    EXPECT_EQ(pauses[2], 100u);    // before the first block
    for (std::size_t b = 0; b < 248; ++b) {
        EXPECT_EQ(pauses[3 + b], 50u);
    }
    EXPECT_EQ(pauses[251], 100u);
    EXPECT_EQ(pauses[252], 100u);
    EXPECT_EQ(std::accumulate(pauses.begin(), pauses.end(), 0u), 23700u);
}

TEST(UpdateWorker, CleanUpdateDrawsEveryLineAtItsStoredLength) {
    RunUpdate({});
    const auto& lines = Seen().lines;
    ASSERT_EQ(lines.size(), 3u + 248u + 2u);
    struct Expected {
        const wchar_t* text;
        int y;
        std::size_t length;
    };
    const Expected head[] = {
        {L"preparing...", 10, 38},
        {L"Updating Firmware", 10, 38},
        {L"Do NOT turn power OFF", 30, 38},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Trimmed(lines[i].text), head[i].text);
        EXPECT_EQ(lines[i].y, head[i].y);
        EXPECT_EQ(lines[i].text.size(), head[i].length);
    }
    // The progress line: 52 characters while below 10 %, 53 from then on.
    for (std::size_t b = 0; b < 248; ++b) {
        const DrawnLine& line = lines[3 + b];
        EXPECT_EQ(line.y, 10);
        EXPECT_EQ(line.text.size(), b * 100 / 248 < 10 ? 52u : 53u) << "block " << b;
        EXPECT_EQ(line.framesBefore, 1 + (b + 1) * 33) << "drawn after the block's last chunk";
    }
    EXPECT_EQ(Trimmed(lines[3 + 0].text), L"Flash write:  0.0 %");
    EXPECT_EQ(Trimmed(lines[3 + 1].text), L"Flash write:  0.4 %");
    EXPECT_EQ(Trimmed(lines[3 + 31].text), L"Flash write:  12.5 %");
    EXPECT_EQ(Trimmed(lines[3 + 247].text), L"Flash write:  99.6 %");
    EXPECT_EQ(Trimmed(lines[251].text), L"FLASH update ok");
    EXPECT_EQ(lines[251].text.size(), 26u);
    EXPECT_EQ(lines[251].y, 10);
    EXPECT_EQ(Trimmed(lines[252].text), L"You must power cycle your unit");
    EXPECT_EQ(lines[252].text.size(), 42u);
    EXPECT_EQ(lines[252].y, 30);
    EXPECT_EQ(lines[252].framesBefore, kIspExitFrame - 1u) << "drawn before leaving ISP mode";
}

TEST(UpdateWorker, ThreadBodyTellsTheWindowWhenItEnds) {
    ResetHost({});
    ASSERT_TRUE(StartUpdateWorker());  // the host runs the body at once
    EXPECT_EQ(Seen().updateEndedReports, 1);
    EXPECT_EQ(Unit().frames.size(), kFramesOfCleanUpdate);
}

// Each failure path, described by what the unit does and what must follow.
struct PathCase {
    const char* name;
    UnitScript script;
    std::optional<int> exitStatus;
    std::vector<std::wstring> warnings;  // texts, in order
    std::wstring lastLine1;              // trimmed
    std::size_t frames;                  // frames the unit received
    bool endsWithIspExit;                // the last frames are IspExit (then no reset)
};

UnitScript WithFrameFault(std::uint32_t frame, ReplyFault kind) {
    UnitScript s;
    s.frameFaults.push_back({frame, kind, 0});
    return s;
}

UnitScript WithFrameFaults(std::vector<FrameFault> faults) {
    UnitScript s;
    s.frameFaults = std::move(faults);
    return s;
}

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdatePaths : public testing::TestWithParam<PathCase> {};

TEST_P(UpdatePaths, EndAsTheOperatorAndTheUnitExpect) {
    const PathCase& c = GetParam();
    EXPECT_EQ(RunUpdate(c.script), c.exitStatus);
    EXPECT_EQ(WarningTexts(), c.warnings);
    ASSERT_FALSE(TextsOnLine(10).empty());
    EXPECT_EQ(TextsOnLine(10).back(), c.lastLine1);
    EXPECT_EQ(Unit().frames.size(), c.frames);
    if (c.endsWithIspExit) {
        EXPECT_EQ(Unit().frames.back(), kIspExit);
    }
    EXPECT_EQ(Unit().openHandle, kNoDevice) << "the unit is left closed";
}

const std::wstring kChunkRefused = L"ERROR exit ISP mode !";

INSTANTIATE_TEST_SUITE_P(
    Paths, UpdatePaths,
    testing::Values(PathCase{"IspEnterIgnored",
                             WithFrameFault(1, ReplyFault::NoReply),
                             std::nullopt,
                             {},
                             L"FLASH update ok",
                             kFramesOfCleanUpdate,
                             false},
                    PathCase{"BlockSelectOfBlock5Refused",
                             WithFrameFault(BlockSelectFrame(5), ReplyFault::Refuse),
                             std::nullopt,
                             {L"ERROR setting Block Index mode !"},
                             L"FLASH update ok",
                             kFramesOfCleanUpdate,
                             false},
                    PathCase{"TenthChunkOfBlock3Refused",
                             WithFrameFault(ChunkFrame(3, 9), ReplyFault::Refuse),
                             1,
                             {kChunkRefused, L" "},
                             L"Chip Write error",
                             ChunkFrame(3, 9) + 1u,
                             true},
                    PathCase{"ChunkAnsweredWithOneByteOfTwo",
                             WithFrameFault(ChunkFrame(7, 20), ReplyFault::ShortReply),
                             1,
                             {kChunkRefused, L" "},
                             L"Chip Write error",
                             ChunkFrame(7, 20) + 1u,
                             true},
                    PathCase{"IspExitRefusedTwice",
                             WithFrameFaults({{kIspExitFrame, ReplyFault::Refuse, 0},
                                              {kIspExitFrame + 1, ReplyFault::Refuse, 0}}),
                             1,
                             {kChunkRefused, L" ", kChunkRefused},
                             L"ERROR exit ISP mode",
                             kIspExitFrame + 1u,
                             true},
                    PathCase{"IspExitRefusedThenAcceptedByTheAbort",
                             WithFrameFault(kIspExitFrame, ReplyFault::Refuse),
                             1,
                             {kChunkRefused, L" "},
                             L"ERROR exit ISP mode",
                             kIspExitFrame + 1u,
                             true},
                    PathCase{"IspExitAnsweredShort",
                             WithFrameFault(kIspExitFrame, ReplyFault::ShortReply),
                             1,
                             {kChunkRefused, L" "},
                             L"ERROR exit ISP mode",
                             kIspExitFrame + 1u,
                             true},
                    PathCase{"NoReplyToDeviceReset",
                             WithFrameFault(kResetFrame, ReplyFault::NoReply),
                             std::nullopt,
                             {L"Reset QUOLEX Error !"},
                             L"FLASH update ok",
                             kFramesOfCleanUpdate,
                             false},
                    PathCase{"NoUnitAttached",
                             UnitScript{.devices = {}},
                             std::nullopt,
                             {L"Usb device not connected!"},
                             L"preparing...",
                             0,
                             false}),
    [](const testing::TestParamInfo<PathCase>& p) { return std::string(p.param.name); });

TEST(UpdateWorker, RefusedChunkStopsTheWriterAndTheAbortTakesTheUnitOutOfIspMode) {
    RunUpdate(WithFrameFault(ChunkFrame(3, 9), ReplyFault::Refuse));
    const auto& lines = Seen().lines;
    // Progress last showed block 2; then the abort's text.
    const auto line1 = TextsOnLine(10);
    ASSERT_GE(line1.size(), 2u);
    EXPECT_EQ(line1[line1.size() - 2], L"Flash write:  0.8 %");
    EXPECT_EQ(lines.back().text.size(), 35u);
    // The refused chunk is the last frame of the writer; the abort's IspExit follows.
    const auto& w = Seen().warnings;
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0].caption, L"Critical Error!!! ");
    EXPECT_EQ(w[0].framesBefore, ChunkFrame(3, 9));
    EXPECT_EQ(w[1].caption, L"Critical Error!!! ");
    EXPECT_EQ(w[1].framesBefore, ChunkFrame(3, 9)) << "the blank warning comes before IspExit";
    EXPECT_EQ(Unit().closes, 1u);
    EXPECT_FALSE(Unit().inProgrammingMode);
}

TEST(UpdateWorker, BlockStillGetsItsChunksAfterARefusedSelect) {
    RunUpdate(WithFrameFault(BlockSelectFrame(5), ReplyFault::Refuse));
    const auto& frames = Unit().frames;
    for (int chunk = 0; chunk < 32; ++chunk) {
        const Frame& f = frames[ChunkFrame(5, chunk) - 1];
        EXPECT_EQ(f[3], 0x41) << "chunk " << chunk << " of block 5 was sent";
    }
    ASSERT_EQ(Seen().warnings.size(), 1u);
    EXPECT_EQ(Seen().warnings[0].caption, L"Critical Error!!! ");
    EXPECT_EQ(Seen().warnings[0].framesBefore, BlockSelectFrame(5));
}

TEST(UpdateWorker, IspExitRefusedTwiceShowsTheFinalLinesFirst) {
    RunUpdate(WithFrameFaults(
        {{kIspExitFrame, ReplyFault::Refuse, 0}, {kIspExitFrame + 1, ReplyFault::Refuse, 0}}));
    const auto& w = Seen().warnings;
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].framesBefore, kIspExitFrame);
    EXPECT_EQ(w[2].framesBefore, kIspExitFrame + 1u) << "the abort sent IspExit a second time";
    EXPECT_EQ(TextsOnLine(30).back(), L"You must power cycle your unit");
    EXPECT_EQ(Unit().frames[kIspExitFrame], kIspExit);
    EXPECT_EQ(Unit().closes, 1u);
}

TEST(UpdateWorker, ResetWithoutAnswerTimesOutAfterTwoSecondsAndStillCloses) {
    RunUpdate(WithFrameFault(kResetFrame, ReplyFault::NoReply));
    ASSERT_EQ(Seen().warnings.size(), 1u);
    EXPECT_EQ(Seen().warnings[0].caption, L"Critical Error!!! ");
    EXPECT_EQ(Unit().closes, 1u);
    EXPECT_EQ(TextsOnLine(30).back(), L"You must power cycle your unit");
}

}  // namespace

namespace {

// Sleep is held off and the window told, from the moment the unit is open until the
// update has left it, on every way out.
TEST(UpdateWorker, HoldsOffSleepAndTellsTheWindowFromOpenToEnd) {
    struct Case {
        const char* name;
        UnitScript script;
        std::optional<int> exitStatus;
        std::vector<WindowEvent> events;
    } cases[] = {
        {"normal end",
         {},
         std::nullopt,
         {{"awake", true}, {"started", true}, {"asleep", false}, {"ended", false}}},
        {"abort with code 7",
         WithFrameFault(ChunkFrame(3, 9), ReplyFault::Refuse),
         1,
         {{"awake", true}, {"started", true}, {"failed", true}, {"asleep", false}}},
        {"abort with code 2",
         WithFrameFault(kIspExitFrame, ReplyFault::Refuse),
         1,
         {{"awake", true}, {"started", true}, {"failed", true}, {"asleep", false}}},
        {"no unit", UnitScript{.devices = {}}, std::nullopt, {{"ended", false}}},
    };
    for (const Case& c : cases) {
        ResetHost(c.script);
        EXPECT_EQ(ExitStatusOf([] { StartUpdateWorker(); }), c.exitStatus) << c.name;
        EXPECT_EQ(Seen().events, c.events) << c.name;
    }
}

TEST(UpdateWorker, TaskbarHearsTheSameProgressAsLineOne) {
    RunUpdate({});
    ASSERT_EQ(Seen().progressReports.size(), 248u);
    for (int b = 0; b < 248; ++b) {
        EXPECT_EQ(Seen().progressReports[static_cast<std::size_t>(b)], b);
    }
}

}  // namespace
