#include "update/update_abort.h"

#include <cstddef>

#include "device/device_connection.h"
#include "platform/platform.h"
#include "platform/timings.h"
#include "ui/status_display.h"
#include "ui/update_reports.h"
#include "update/command_frames.h"

bool LeaveProgrammingMode() {
    PauseMs(kBeforeIspExitMs);
    if (SendIspExit()) {
        return true;
    }
    ShowWarning(kIspExitWarning, kUpdateCaption);
    return false;
}

namespace {

// Line 1 texts by error code (index 0 is code 1). Only the codes of AbortCode are raised
// by this program; the rest belong to the unit's error table and take the same path.
constexpr auto kText1 = PadStatusText<35>(L"ERROR setting ISP mode");
constexpr auto kText2 = PadStatusText<35>(L"ERROR exit ISP mode");
constexpr auto kText3 = PadStatusText<35>(L"Boot error");
constexpr auto kText4 = PadStatusText<35>(L"Flash Read error");
constexpr auto kText5 = PadStatusText<35>(L"Select Flash error");
constexpr auto kText6 = PadStatusText<35>(L"Chip Erase error");
constexpr auto kText7 = PadStatusText<35>(L"Chip Write error");
constexpr auto kText8 = PadStatusText<37>(L"Chip Erase error");
constexpr auto kText9 = PadStatusText<37>(L"SPI Open error");
constexpr auto kText10 = PadStatusText<37>(L"SPI Close error");

constexpr const wchar_t* kAbortTexts[] = {
    kText1.data(), kText2.data(), kText3.data(), kText4.data(), kText5.data(),
    kText6.data(), kText7.data(), kText8.data(), kText9.data(), kText10.data(),
};

// Whatever went wrong, try to leave the unit out of programming mode, then let it go.
[[noreturn]] void LeaveUnitAndEnd() {
    LeaveProgrammingMode();  // a refusal is shown, and the way out goes on
    CloseDeviceConnection();
    HoldSystemAwake(false);
    EndProcess(kAbortExitStatus);
}

// `code` is one of the table's, 1 to 10.
[[noreturn]] void AbortWithCode(std::uint8_t code) {
    ReportUpdateFailed();
    DrawStatusLine(kAbortTexts[code - 1], kLine1Y);
    ShowWarning(L" ", kUpdateCaption);
    LeaveUnitAndEnd();
}

}  // namespace

void AbortUpdate(AbortCode code) {
    AbortWithCode(static_cast<std::uint8_t>(code));
}

void AbortUpdate(std::uint8_t code) {
    if (code < 1 || code > std::size(kAbortTexts)) {
        return;
    }
    AbortWithCode(code);
}

void EndStoppedUpdate() {
    ReportUpdateFailed();
    LeaveUnitAndEnd();
}
