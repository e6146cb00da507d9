// Naming the trace and writing its first line.
#include "recorder/trace_start.h"

#include "platform/library_file.h"
#include "platform/wide_decimal.h"
#include "recorder/trace_file.h"
#include "version.h"

namespace {

// Long enough for any Windows path.
constexpr DWORD kPathChars = 33000;
wchar_t g_folder[kPathChars], g_path[kPathChars];
const wchar_t* g_ownName = L"usbbridge.dll";

// The recorder's version and commit as one word: "1.0.52-abc1234".
void VersionField() {
    char version[] = TARNWICKET_VERSION_TEXT;
    std::size_t to = 0;
    for (const char c : version) {
        if (c != '(' && c != ')') {
            version[to++] = c == ' ' ? '-' : c;
        }
    }
    Field(version);
}

}  // namespace

void FindRecorderFolder(HMODULE self) {
    const wchar_t* name = SplitModulePath(self, g_folder, kPathChars);
    g_ownName = name[0] != L'\0' ? name : g_ownName;
}

const wchar_t* InFolder(std::initializer_list<const wchar_t*> name) {
    DWORD at = 0;
    const auto append = [&at](const wchar_t* part) {
        while (*part != L'\0' && at + 1 < kPathChars) {
            g_path[at++] = *part++;
        }
    };
    append(g_folder);
    append(L"\\");
    for (const wchar_t* part : name) {
        append(part);
    }
    g_path[at] = L'\0';
    return g_path;
}

const wchar_t* RecorderName() {
    return g_ownName;
}

bool StartTrace(const wchar_t* library) {
    // A trace of its own for every start of the program, so that the trace of a failed
    // update is never overwritten by the retry: the first free of usbbridge-trace-1.txt,
    // usbbridge-trace-2.txt and on.
    wchar_t number[12];
    for (unsigned long n = 1; n < 100000; ++n) {
        if (CreateTrace(InFolder({L"usbbridge-trace-", Decimal(number, n), L".txt"})) ||
            GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    const LibraryFile file = DescribeLibrary(InFolder({library}));
    Field("tarnwicket-trace 1 recorder");
    VersionField();
    Field("bytes");
    Field(file.bytes);
    Field("sha256");
    Field(file.sha256);
    Field("library");
    Field(library);
    EndLine();
    return file.readable;
}
