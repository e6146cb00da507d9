#include "update/flash_writer.h"

#include <cstddef>
#include <cwchar>

#include "platform/platform.h"
#include "platform/timings.h"
#include "ui/status_display.h"
#include "ui/update_reports.h"
#include "update/command_frames.h"
#include "update/flash_image.h"
#include "update/update_abort.h"

namespace {

// Two blanks after the colon; the trailing blanks erase what line 1 showed before.
constexpr auto kProgressFormat = PadStatusText<56>(L"Flash write:  %03.1f %c");

// The index of the block just written, so the last value shown is 99.6.
void ShowProgress(int block) {
    const float percent = static_cast<float>(block) / kFlashBlocks * 100.0f;
    wchar_t text[80];
    std::swprintf(text, std::size(text), kProgressFormat.data(), static_cast<double>(percent),
                  L'%');
    DrawStatusLine(text, kLine1Y);
    ReportUpdateProgress(block);
}

}  // namespace

bool WriteFlashImage() {
    StatusReply selectReply{};
    StatusReply chunkReply{};
    PauseMs(kBeforeWriteMs);
    const std::uint8_t* chunk = FlashImage;
    for (int block = 0; block < kFlashBlocks; ++block) {
        PauseMs(kBeforeBlockMs);
        if (UpdateStopRequested()) {
            return false;
        }
        if (!SendBlockSelect(static_cast<std::uint8_t>(block), selectReply)) {
            // Reported, and the block is written all the same.
            ShowWarning(L"ERROR setting Block Index mode !", kUpdateCaption);
        }
        for (int c = 0; c < kChunksPerBlock; ++c, chunk += kChunkBytes) {
            if (UpdateStopRequested()) {
                return false;
            }
            if (!SendChunkWrite(chunk, chunkReply)) {
                // The text of a refused IspExit, on purpose: the unit's own firmware
                // shows it for a refused chunk too.
                ShowWarning(kIspExitWarning, kUpdateCaption);
                return false;
            }
        }
        ShowProgress(block);
    }
    return true;
}
