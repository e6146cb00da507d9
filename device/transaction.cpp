#include "device/transaction.h"

#include <cstring>

#include "device/bridge_port.h"
#include "device/device_connection.h"
#include "platform/platform.h"
#include "platform/timings.h"
#include "ui/status_display.h"

namespace {

constexpr auto kBytesReadMismatch = PadStatusText<48>(L"BytesRead not same as datalength");

// Polls the receive queue back to back until a reply byte waits or the wait runs
// out. Every failing check is shown, and the wait goes on as if nothing waited.
bool WaitForReply(BridgeHandle handle) {
    const std::uint32_t start = TickCountMs();
    std::uint32_t waiting = 0;
    bool ok = true;
    while (waiting < 1) {
        if (static_cast<std::uint32_t>(TickCountMs() - start) >= kReplyWaitMs) {
            break;
        }
        std::uint32_t other = 0;
        if (BridgeQueueStatus(handle, &waiting, &other) != kBridgeOk) {
            ShowWarning(L"Error Checking Queue", kLinkCaption);
            ok = false;
            waiting = 0;
        }
    }
    return ok && waiting >= 1;
}

}  // namespace

bool Transact(std::uint8_t* reply, const std::uint8_t* command, std::uint32_t replyLength,
              std::uint32_t commandLength) {
    const BridgeHandle handle = DeviceHandle();
    if (handle == kNoDevice) {
        return false;
    }
    std::uint32_t written = 0;
    if (BridgeWrite(handle, command, commandLength, &written) != kBridgeOk) {
        ShowWarning(L"Error Sending Code", kLinkCaption);
        return false;
    }
    if (!WaitForReply(handle)) {
        return false;
    }
    // A short read must never be judged on what an earlier reply left in the buffer.
    std::memset(reply, 0, replyLength);
    std::uint32_t read = 0;
    if (BridgeRead(handle, reply, replyLength, &read) != kBridgeOk) {
        ShowWarning(L"Error Reading Data", kLinkCaption);
        return false;
    }
    if (read != replyLength) {
        DrawStatusLine(kBytesReadMismatch.data(), kLine1Y);
    }
    return true;
}
