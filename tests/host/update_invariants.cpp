#include "tests/host/update_invariants.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "device/device_connection.h"
#include "tests/host/fakes.h"
#include "update/flash_image.h"

namespace {

using Frame = std::vector<std::uint8_t>;

const Frame kIspEnter = {0x10, 0x05, 0xC8, 0x0F, 0x40};
const Frame kIspExit = {0x10, 0x05, 0x50, 0x02, 0x00};
const Frame kDeviceReset = {0x11, 0x01, 0xDC};

bool WellFormed(const Frame& f) {
    if (f == kIspEnter || f == kIspExit || f == kDeviceReset) {
        return true;
    }
    if (f.size() == 5 && f[0] == 0x10 && f[1] == 0x05 && f[2] == 0x50 && f[3] == 0x01) {
        return f[4] <= 0xF7;
    }
    return f.size() == 21 && f[0] == 0x10 && f[1] == 0x15 && f[2] == 0x50 && f[3] == 0x41 &&
           f[4] == 0x10;
}

const std::pair<const wchar_t*, const wchar_t*> kOwnWarnings[] = {
    {L"Usb device not connected!", L" "},
    {L"Error retrieving serial string!", L" "},
    {L"Unable to close device handle!", L" "},
    {L"Error Sending Code", L" "},
    {L"Error Checking Queue", L" "},
    {L"Error Reading Data", L" "},
    {L"ERROR setting Block Index mode !", L"Critical Error!!! "},
    {L"ERROR exit ISP mode !", L"Critical Error!!! "},
    {L"Reset QUOLEX Error !", L"Critical Error!!! "},
    {L" ", L"Critical Error!!! "},
};

bool IsOwnWarning(const ShownWarning& w) {
    return std::any_of(std::begin(kOwnWarnings), std::end(kOwnWarnings), [&](const auto& own) {
        return w.text == own.first && w.caption == own.second;
    });
}

bool Shown(const wchar_t* text) {
    const auto& w = Seen().warnings;
    return std::any_of(w.begin(), w.end(), [&](const ShownWarning& s) { return s.text == text; });
}

bool Drawn(const wchar_t* text) {
    const auto& lines = Seen().lines;
    return std::any_of(lines.begin(), lines.end(),
                       [&](const DrawnLine& l) { return Trimmed(l.text) == text; });
}

// Every 16-byte chunk of the unit's flash is either untouched or the image's own.
bool FlashHoldsOnlyImageChunks() {
    const auto& flash = Unit().flash;
    for (std::size_t at = 0; at < flash.size(); at += 16) {
        const bool erased = std::all_of(flash.begin() + static_cast<std::ptrdiff_t>(at),
                                        flash.begin() + static_cast<std::ptrdiff_t>(at + 16),
                                        [](std::uint8_t b) { return b == 0xFF; });
        if (!erased && std::memcmp(flash.data() + at, FlashImage + at, 16) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> UpdateInvariantViolations(std::optional<int> exitStatus,
                                                   bool unitTruthful) {
    std::vector<std::string> v;
    const SimulatedUnit& unit = Unit();
    if (!std::all_of(unit.frames.begin(), unit.frames.end(), WellFormed)) {
        v.push_back("a malformed frame reached the unit");
    }
    if (!FlashHoldsOnlyImageChunks()) {
        v.push_back("the unit's flash holds a chunk that is not the image's at that place");
    }
    if (DeviceHandle() != kNoDevice) {
        v.push_back("the connection was left open");
    }
    if (unit.openHandle != kNoDevice && !Shown(L"Unable to close device handle!")) {
        v.push_back("the unit was left open without a warning");
    }
    if (exitStatus.has_value() && *exitStatus != 1) {
        v.push_back("the process ended with a status other than 1");
    }
    if (exitStatus == 1 && unit.lastWriteAttempt != kIspExit) {
        v.push_back("the abort did not end with an attempt to leave programming mode");
    }
    if (exitStatus == 1 && !Shown(L" ")) {
        v.push_back("the abort ended the process without its warning");
    }
    for (const ShownWarning& w : Seen().warnings) {
        if (!IsOwnWarning(w)) {
            v.push_back("a warning that is not one of the updater's own texts and captions");
            break;
        }
    }
    const bool reportedOk = Drawn(L"FLASH update ok");
    if (reportedOk != Drawn(L"You must power cycle your unit")) {
        v.push_back("the final two lines were not drawn together");
    }
    if (exitStatus == 1 && Seen().warnings.size() < 2) {
        v.push_back("the abort ended the process without saying what failed");
    }
    if (!unitTruthful) {
        return v;
    }
    // One fault explains at most: its link warning (three for a run of failing queue
    // checks), the step's own warning, the abort's blank one, and a refused IspExit.
    if (Seen().warnings.size() > 5) {
        v.push_back("more warnings than one fault explains");
    }
    const bool allChunks = unit.chunksAccepted == kFlashImageBytes / 16;
    const bool flashIsImage = std::equal(unit.flash.begin(), unit.flash.end(), FlashImage);
    if (reportedOk && !allChunks) {
        v.push_back("FLASH update ok shown although the unit did not accept every chunk");
    }
    if (reportedOk && !flashIsImage && !Shown(L"ERROR setting Block Index mode !")) {
        v.push_back("FLASH update ok shown although the unit's flash is not the image");
    }
    if (Drawn(L"Updating Firmware") && !reportedOk && exitStatus != 1) {
        v.push_back("a write that did not finish ended without the abort");
    }
    return v;
}
