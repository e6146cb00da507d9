#include "update/update_worker.h"

#include "device/device_connection.h"
#include "platform/platform.h"
#include "platform/timings.h"
#include "ui/status_display.h"
#include "ui/update_reports.h"
#include "update/command_frames.h"
#include "update/flash_writer.h"
#include "update/update_abort.h"

namespace {

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

    if (!WriteFlashImage()) {  // both ways out end the process
        if (UpdateStopRequested()) {
            EndStoppedUpdate();
        }
        AbortUpdate(AbortCode::ChipWriteFailed);
    }

    DrawStatusLine(kFlashOk.data(), kLine1Y);
    DrawStatusLine(kPowerCycle.data(), kLine2Y);
    if (!LeaveProgrammingMode()) {
        AbortUpdate(AbortCode::IspExitFailed);  // which tries once more, and ends the process
    }

    PauseMs(kBeforeResetMs);
    if (!SendDeviceReset()) {
        ShowWarning(L"Reset QUOLEX Error !", kUpdateCaption);
    }
    CloseDeviceConnection();
    HoldSystemAwake(false);
}
