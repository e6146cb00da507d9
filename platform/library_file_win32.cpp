// Where Windows may look for libraries, and what a library file holds before it is
// loaded.
#include "platform/library_file.h"

#include <windows.h>

#include <cstring>

#if defined(_WIN64)
const LibraryWidth kOwnWidth = {IMAGE_FILE_MACHINE_AMD64, L"64-bit", L"x64"};
const LibraryWidth kOtherWidth = {IMAGE_FILE_MACHINE_I386, L"32-bit", L"x86"};
#else
const LibraryWidth kOwnWidth = {IMAGE_FILE_MACHINE_I386, L"32-bit", L"x86"};
const LibraryWidth kOtherWidth = {IMAGE_FILE_MACHINE_AMD64, L"64-bit", L"x64"};
#endif

namespace {

// SetDefaultDllDirectories and the LOAD_LIBRARY_SEARCH_ flags came with Windows 8, and
// to Windows 7 with KB2533623. Microsoft's way to tell whether the flags may be used is
// whether kernel32 exports the function.
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

SetDefaultDllDirectoriesFunction FindSetDefaultDllDirectories() {
    const FARPROC found =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    // Through void (*)(), which converts to any function type without a warning.
    return reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

void LimitLibrarySearch() {
    if (const SetDefaultDllDirectoriesFunction set = FindSetDefaultDllDirectories()) {
        set(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    } else {
        SetDllDirectoryW(L"");  // the empty string takes the current folder out
    }
}

void* LoadLibraryFromFolder(const wchar_t* path, std::uint32_t& error) {
    const DWORD flags = FindSetDefaultDllDirectories() != nullptr
                            ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                            : LOAD_WITH_ALTERED_SEARCH_PATH;
    HMODULE library = LoadLibraryExW(path, nullptr, flags);
    error = library == nullptr ? GetLastError() : 0;
    return library;
}

std::uint16_t LibraryMachine(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    unsigned char head[4096] = {};
    DWORD read = 0;
    ReadFile(file, head, sizeof(head), &read, nullptr);
    CloseHandle(file);
    DWORD at = 0;  // the PE signature's offset, at 0x3C of the DOS header
    std::memcpy(&at, head + 0x3C, sizeof(at));
    if (read < 0x40 || head[0] != 'M' || head[1] != 'Z' || at > read - 6 ||
        std::memcmp(head + at, "PE\0\0", 4) != 0) {
        return 0;
    }
    WORD machine = 0;
    std::memcpy(&machine, head + at + 4, sizeof(machine));
    return machine;
}

const wchar_t* SplitModulePath(void* module, wchar_t* path, std::size_t chars) {
    const DWORD length =
        GetModuleFileNameW(static_cast<HMODULE>(module), path, static_cast<DWORD>(chars));
    std::size_t slash = 0;
    for (std::size_t i = 0; i < length && i < chars; ++i) {
        slash = path[i] == L'\\' ? i : slash;
    }
    if (length == 0 || length >= chars || path[slash] != L'\\') {
        path[0] = L'\0';
        return path;
    }
    path[slash] = L'\0';
    return path + slash + 1;
}
