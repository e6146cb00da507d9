#include "driver_verdict.h"

#include <algorithm>

#include "driver_frames.h"
#include "driver_text.h"

namespace {

// The box comes when the program's 2000 ms wait, counted on a tick of up to 16 ms,
// runs out; the driver sees it a little later.
constexpr std::uint64_t kReplyWaitFromMs = 1950;
constexpr std::uint64_t kReplyWaitToMs = 3000;

struct Received {
    Frame bytes;
    std::uint64_t ms = 0;
};

std::vector<Received> ReceivedFrames(const Trace& trace) {
    std::vector<Received> frames;
    for (const TraceCall* write : CallsOf(trace, "write")) {
        if (write->status == 0) {
            frames.push_back({FromHex(write->detail), write->ms});
        }
    }
    return frames;
}

std::uint64_t TraceMs(const Trace& trace, std::uint64_t steadyUs) {
    return steadyUs > trace.clockUs ? (steadyUs - trace.clockUs) / 1000 : 0;
}

std::string Show(const std::wstring& caption, const std::wstring& text) {
    return Quoted(caption) + ": " + Quoted(text);
}

std::string ShowLine(const std::wstring& text) {
    return text.empty() ? "blank" : Quoted(text);
}

std::string CompareBox(std::size_t number, const ExpectedBox& want, const SeenBox& seen,
                       const Trace& trace, const std::vector<Received>& frames) {
    const std::string which = "box " + std::to_string(number) + " " + Show(seen.caption, seen.text);
    if (seen.caption != want.caption || seen.text != want.text) {
        return "box " + std::to_string(number) + ": expected " + Show(want.caption, want.text) +
               ", got " + Show(seen.caption, seen.text);
    }
    const std::uint64_t shownMs = TraceMs(trace, seen.shownUs);
    const auto before = static_cast<std::size_t>(std::count_if(
        frames.begin(), frames.end(), [&](const Received& f) { return f.ms <= shownMs; }));
    if (before != want.afterFrames) {
        return which + " came after " + std::to_string(before) + " frames, expected after " +
               std::to_string(want.afterFrames);
    }
    if (!seen.line1.recognised || seen.line1.text != want.line1) {
        return "while " + which + " was up line 1 showed " + Describe(seen.line1) + ", expected " +
               ShowLine(want.line1);
    }
    if (want.afterReplyWait) {
        const std::uint64_t since = before == 0 ? 0 : shownMs - frames[before - 1].ms;
        if (since < kReplyWaitFromMs || since > kReplyWaitToMs) {
            return which + " came " + std::to_string(since) +
                   " ms after the last frame, expected about 2000 (the reply wait)";
        }
    }
    return {};
}

std::string CompareBoxes(const Expected& expected, const ScenarioRecord& record,
                         const std::vector<Received>& frames) {
    const std::vector<SeenBox>& seen = record.boxes;
    for (std::size_t i = 0; i < std::max(seen.size(), expected.boxes.size()); ++i) {
        if (i >= seen.size()) {
            const ExpectedBox& want = expected.boxes[i];
            return "expected box " + std::to_string(i + 1) + " " + Show(want.caption, want.text) +
                   ", got " + (i == 0 ? "no box" : "no more boxes");
        }
        if (i >= expected.boxes.size()) {
            return "box " + std::to_string(i + 1) + " " + Show(seen[i].caption, seen[i].text) +
                   " came, expected " + std::to_string(expected.boxes.size()) + " boxes";
        }
        const std::string difference =
            CompareBox(i + 1, expected.boxes[i], seen[i], record.trace, frames);
        if (!difference.empty()) {
            return difference;
        }
    }
    // A box blocks the worker that raised it: the unit hears nothing until OK.
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const std::uint64_t shownMs = TraceMs(record.trace, seen[i].shownUs);
        const std::uint64_t okMs = TraceMs(record.trace, seen[i].okUs);
        for (std::size_t f = 0; f < frames.size(); ++f) {
            if (frames[f].ms > shownMs && frames[f].ms < okMs) {
                return "frame " + std::to_string(f + 1) + " (" +
                       FrameName(frames[f].bytes, FlashImage()) + ") was written while box " +
                       std::to_string(i + 1) + " " + Show(seen[i].caption, seen[i].text) +
                       " was up";
            }
        }
    }
    return {};
}

std::string CompareFrames(const Expected& expected, const std::vector<Received>& got) {
    const std::vector<std::uint8_t>& image = FlashImage();
    std::vector<Frame> want = WholeUpdateFrames(image);
    want.resize(std::min(want.size(), expected.frames));
    want.insert(want.end(), static_cast<std::size_t>(expected.ispExitsAfter), IspExitFrame());
    for (std::size_t i = 0; i < std::min(want.size(), got.size()); ++i) {
        if (got[i].bytes != want[i]) {
            return "frame " + std::to_string(i + 1) + ": expected " + FrameName(want[i], image) +
                   ", got " + FrameName(got[i].bytes, image);
        }
    }
    if (got.size() > want.size()) {
        return "the unit received " + std::to_string(got.size()) + " frames, expected " +
               std::to_string(want.size()) + "; frame " + std::to_string(want.size() + 1) +
               " was " + FrameName(got[want.size()].bytes, image);
    }
    if (got.size() < want.size()) {
        return "the unit received " + std::to_string(got.size()) + " frames, expected " +
               std::to_string(want.size()) + "; the first missing is " +
               FrameName(want[got.size()], image);
    }
    return {};
}

std::string CompareDevice(const Expected& expected, const Trace& trace) {
    std::vector<const TraceCall*> opens;
    for (const TraceCall* open : CallsOf(trace, "open")) {
        if (open->status == 0) {
            opens.push_back(open);
        }
    }
    const std::string want =
        expected.device == kNoDevice ? "none" : "device " + std::to_string(expected.device);
    for (const TraceCall* open : opens) {
        if (open->detail != std::to_string(expected.device)) {
            return "device " + open->detail + " was opened, expected " + want;
        }
    }
    if (opens.empty() && expected.device != kNoDevice) {
        return "no device was opened, expected " + want;
    }
    const TraceCall* last = trace.calls.empty() ? nullptr : &trace.calls.back();
    if (!opens.empty() && (last == nullptr || last->op != "close" || last->status != 0)) {
        return "the device was left open: the last port call was " +
               (last ? "\"" + last->op + " " + std::to_string(last->status) + "\"" : "none");
    }
    return {};
}

std::string CompareFlash(const Expected& expected, const ScenarioRecord& record) {
    if (expected.flashChunks == kNoFlashSaved) {
        return record.flashSaved ? "the stand-in saved the unit's flash (a device was closed), "
                                   "expected no device to be closed"
                                 : "";
    }
    if (!record.flashSaved) {
        return "the stand-in saved no flash: no device was closed";
    }
    const std::vector<std::uint8_t>& image = FlashImage();
    const std::size_t written = static_cast<std::size_t>(expected.flashChunks) * kChunkBytes;
    if (record.flash.size() != image.size()) {
        return "the unit's flash has " + std::to_string(record.flash.size()) + " bytes, expected " +
               std::to_string(image.size());
    }
    for (std::size_t i = 0; i < image.size(); ++i) {
        const std::uint8_t want = i < written ? image[i] : 0xFF;
        if (record.flash[i] != want) {
            return "the unit's flash differs at byte " + std::to_string(i) + " (chunk " +
                   std::to_string(i / kChunkBytes) + "): expected " + std::to_string(want) +
                   ", got " + std::to_string(record.flash[i]) + " (" +
                   std::to_string(expected.flashChunks) + " chunks of the image expected)";
        }
    }
    return {};
}

std::string CompareEnd(const Expected& expected, const ScenarioRecord& record) {
    if (expected.exitCode != kStaysOpen) {
        if (!record.ended) {
            return "the program stayed open, expected it to end with code " +
                   std::to_string(expected.exitCode);
        }
        if (record.exitCode != static_cast<DWORD>(expected.exitCode)) {
            return "exit code " + std::to_string(record.exitCode) + ", expected " +
                   std::to_string(expected.exitCode);
        }
        return {};
    }
    if (record.ended) {
        return "the program ended with code " + std::to_string(record.exitCode) +
               ", expected it to stay open";
    }
    if (!record.endLine1.recognised || record.endLine1.text != expected.line1) {
        return "at the end line 1 showed " + Describe(record.endLine1) + ", expected " +
               ShowLine(expected.line1);
    }
    return record.onExit;
}

std::string CompareEndSession(const ScenarioSteps& steps, const ScenarioRecord& record) {
    if (!steps.askEndSession) {
        return {};
    }
    const bool allowed[] = {true, false, true};  // preparing, writing, after the update
    if (record.endSession.size() != std::size(allowed)) {
        return "WM_QUERYENDSESSION was asked " + std::to_string(record.endSession.size()) +
               " times, expected 3";
    }
    for (std::size_t i = 0; i < record.endSession.size(); ++i) {
        const EndSessionAnswer& answer = record.endSession[i];
        if (!answer.answered || answer.allowed != allowed[i]) {
            return "WM_QUERYENDSESSION " + answer.when + " was " +
                   (answer.answered ? std::string("answered ") + (answer.allowed ? "TRUE" : "FALSE")
                                    : std::string("not answered")) +
                   ", expected " + (allowed[i] ? "TRUE" : "FALSE");
        }
    }
    return {};
}

}  // namespace

std::string FirstDifference(const ScenarioSteps& steps, const Expected& expected,
                            const ScenarioRecord& record) {
    if (!record.trace.clockKnown) {
        return "the stand-in library wrote no trace (not loaded, or its script refused)" +
               (record.ended ? "; the program ended with code " + std::to_string(record.exitCode)
                             : std::string());
    }
    const std::size_t searches = CallsOf(record.trace, "count").size();
    if (searches != static_cast<std::size_t>(steps.updates)) {
        return std::to_string(searches) + " device searches, expected " +
               std::to_string(steps.updates);
    }
    const std::vector<Received> frames = ReceivedFrames(record.trace);
    for (const std::string& difference :
         {CompareBoxes(expected, record, frames), CompareFrames(expected, frames),
          CompareDevice(expected, record.trace), CompareFlash(expected, record),
          CompareEnd(expected, record), CompareEndSession(steps, record)}) {
        if (!difference.empty()) {
            return difference;
        }
    }
    return {};
}
