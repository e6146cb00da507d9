// Checking, loading and binding the vendor's library. Why it cannot be used goes into
// the trace as a "!" line.
#include "recorder/vendor_library.h"

#include <cstdint>

#include "platform/library_file.h"
#include "recorder/trace_file.h"
#include "recorder/trace_start.h"

FARPROC g_vendor[kOperations] = {};

namespace {

// The vendor's ordinals, in the order of the operations.
constexpr WORD kOrdinals[kOperations] = {1, 2, 3, 4, 6, 7, 9, 12};

void Refusal(const wchar_t* why) {
    Field("!");
    Field(kVendor);
    Field(why);
}

// Ends a "!" line, which began with why no call reaches the unit. The folder is not
// named: on the operator's computer it may hold the user's name.
void Refused() {
    Append(",");
    Field(L"in the folder of");
    Field(RecorderName());
    Append(":");
    Field(L"every call returns 1 and reaches no unit.");
    EndLine();
}

}  // namespace

bool BindVendorLibrary(HMODULE self, bool readable) {
    const wchar_t* path = InFolder({kVendor});
    if (!readable) {
        Refusal(L"is missing or cannot be read");
        Refused();
        return false;
    }
    if (LibraryMachine(path) != kOwnWidth.machine) {
        Refusal(L"is not a");
        Field(kOwnWidth.words);
        Field(L"library like this recorder");
        Refused();
        return false;
    }
    std::uint32_t error = 0;
    const auto vendor = static_cast<HMODULE>(LoadLibraryFromFolder(path, error));
    if (vendor == self) {
        // A recorder renamed as the vendor's library would forward every call back into
        // itself, under its own lock, and hang the update.
        Refusal(L"is a recorder, not the vendor's library");
        Refused();
        return false;
    }
    if (vendor == nullptr) {
        Refusal(L"could not be loaded (Windows error");
        Field(std::uint64_t{error});
        Append(")");
        Refused();
        return false;
    }
    bool all = true;
    for (int i = 0; i < kOperations; ++i) {
        g_vendor[i] = GetProcAddress(vendor, MAKEINTRESOURCEA(kOrdinals[i]));
        if (g_vendor[i] == nullptr) {
            Refusal(L"lacks operation");
            Field(std::uint64_t{kOrdinals[i]});
            Refused();
            all = false;
        }
    }
    return all;
}
