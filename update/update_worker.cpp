#include "update/update_worker.h"

#include "device/device_connection.h"
#include "platform/platform.h"
#include "ui/status_display.h"
#include "ui/update_reports.h"
#include "update/command_frames.h"
#include "update/flash_writer.h"
#include "update/update_abort.h"

namespace {

constexpr std::uint32_t kPrepareMs = 10000;
constexpr std::uint32_t kAfterIspEnterMs = 1000;
constexpr std::uint32_t kBetweenFinalFramesMs = 100;

constexpr auto kPreparing = PadStatusText<38>(L"preparing...");
constexpr auto kUpdating = PadStatusText<38>(L"Updating Firmware");
constexpr auto kKeepPowerOn = PadStatusText<38>(L"Do NOT turn power OFF");
constexpr auto kFlashOk = PadStatusText<26>(L"FLASH update ok");
constexpr auto kPowerCycle = PadStatusText<42>(L"You must power cycle your unit");

void RunUpdateWorker() {
    UpdateWorker();
    ReportUpdateEnded();
}

}  // namespace

bool StartUpdateWorker() {
    return StartDetachedThread(RunUpdateWorker);
}

void UpdateWorker() {
    DrawStatusLine(kPreparing.data(), kLine1Y);
    PauseMs(kPrepareMs);

    OpenDeviceConnection();
    if (DeviceHandle() == kNoDevice) {
        return;  // the search has told the operator why
    }
    // From here a sleeping computer or a shutdown could cut the unit off mid-write.
    HoldSystemAwake(true);
    ReportUpdateStarted();
    if (UpdateStopRequested()) {  // the window closed before it knew of the unit
        CloseDeviceConnection();
        HoldSystemAwake(false);
        return;
    }

    DrawStatusLine(kUpdating.data(), kLine1Y);
    DrawStatusLine(kKeepPowerOn.data(), kLine2Y);
    SendIspEnter();  // the unit's answer is of no consequence
    PauseMs(kAfterIspEnterMs);

    if (!WriteFlashImage()) {
        if (UpdateStopRequested()) {
            EndStoppedUpdate();
        }
        AbortUpdate(kAbortChipWriteFailed);
    }

    DrawStatusLine(kFlashOk.data(), kLine1Y);
    DrawStatusLine(kPowerCycle.data(), kLine2Y);
    PauseMs(kBetweenFinalFramesMs);
    if (!SendIspExit()) {
        ShowWarning(L"ERROR exit ISP mode !", kUpdateCaption);
        AbortUpdate(kAbortIspExitFailed);
    }

    PauseMs(kBetweenFinalFramesMs);
    if (!SendDeviceReset()) {
        ShowWarning(L"Reset QUOLEX Error !", kUpdateCaption);
    }
    CloseDeviceConnection();
    HoldSystemAwake(false);
}
