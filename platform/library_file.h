// Libraries from known places only. A DLL that Windows loads for the program, or that
// a library we load asks for, is looked for where the program says, never in the
// current folder or on PATH, where a planted file (a Downloads folder, a share) would
// be taken first. Shared by the program's port to the vendor library and the recorder.
#pragma once

#include <cstddef>
#include <cstdint>

// Makes the program's own folder and System32 the only places Windows searches for the
// DLLs loaded later by bare name, by the program or by a library it loaded: the vendor
// library, which lies in the program's folder, finds the files it ships beside itself,
// however it loads them. On a Windows 7 without the update that brings these search
// flags, the current folder is taken out of the search instead. Called first thing in
// the program.
void LimitLibrarySearch();

// Loads the library at the full path `path`; its own dependencies come from its folder,
// the program's folder or System32 only (from its folder before the system folders on a
// Windows without the search flags). Null when it cannot be loaded, with Windows' error in `error`.
void* LoadLibraryFromFolder(const wchar_t* path, std::uint32_t& error);

// The machine a PE file was built for (IMAGE_FILE_MACHINE_...), from its headers: 0
// when it cannot be read or is no PE file.
std::uint16_t LibraryMachine(const wchar_t* path);

// A width of the program: the machine its PE files name, and the words and the
// package folder the operator knows it by ("64-bit", "x64").
struct LibraryWidth {
    std::uint16_t machine;
    const wchar_t* words;
    const wchar_t* folder;
};
// This build's width, and the other one.
extern const LibraryWidth kOwnWidth, kOtherWidth;

// The full path of `module` (an HMODULE; null for the program) in `path`, cut at its
// last backslash: `path` is left holding the folder, and the file name is returned,
// which lies in the same buffer. An empty name and folder when Windows gives no path.
const wchar_t* SplitModulePath(void* module, wchar_t* path, std::size_t chars);
