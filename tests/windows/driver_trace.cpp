#include "driver_trace.h"

#include <chrono>
#include <sstream>

namespace {

constexpr DWORD kReadPieceBytes = 1 << 16;

void AddLine(Trace& trace, const std::string& line) {
    std::istringstream words(line);
    if (line.rfind("# clock ", 0) == 0) {
        std::string hash, clock;
        trace.clockKnown = static_cast<bool>(words >> hash >> clock >> trace.clockUs);
        return;
    }
    TraceCall call;
    if (words >> call.ms >> call.op >> call.status) {
        words >> call.detail;
        trace.calls.push_back(std::move(call));
    }
}

}  // namespace

bool ReadNewTraceLines(TraceReader& reader) {
    // The stand-in keeps the file open for writing; reading beside it is allowed.
    HANDLE file = CreateFileW(reader.path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(reader.offset);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    bool added = false;
    std::string piece(kReadPieceBytes, '\0');
    DWORD got = 0;
    while (ReadFile(file, piece.data(), kReadPieceBytes, &got, nullptr) && got > 0) {
        reader.offset += got;
        for (DWORD i = 0; i < got; ++i) {
            if (piece[i] != '\n') {
                reader.partialLine += piece[i];
                continue;
            }
            AddLine(reader.trace, reader.partialLine);
            reader.partialLine.clear();
            added = true;
        }
    }
    CloseHandle(file);
    return added;
}

std::uint64_t SteadyNowUs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

std::vector<const TraceCall*> CallsOf(const Trace& trace, const char* op) {
    std::vector<const TraceCall*> calls;
    for (const TraceCall& call : trace.calls) {
        if (call.op == op) {
            calls.push_back(&call);
        }
    }
    return calls;
}

bool ReadFileBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::vector<std::uint8_t> piece(kReadPieceBytes);
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, piece.data(), kReadPieceBytes, &got, nullptr) != 0) && got > 0) {
        bytes.insert(bytes.end(), piece.data(), piece.data() + got);
    }
    CloseHandle(file);
    return ok;
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}
