// The trace file beside the recorder (docs/trace-format.md): each line built in a
// fixed buffer and written with one WriteFile as soon as it is complete, so that the
// file holds every finished call even when the program is ended in the middle of an
// update. When the file cannot be written, the lines go nowhere and the calls are still
// forwarded.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Creates the trace at `path`, which must not exist yet; false when it cannot be
// created (GetLastError says why).
bool CreateTrace(const wchar_t* path);
// Has Windows write what the trace holds to the disk, so that a power cut loses nothing
// up to here.
void SyncTrace();
void CloseTrace();

// The fields of the line being built, parted by single spaces.
void Field(const char* text);
void Field(const wchar_t* text);  // a character beyond ASCII as '?'
void Field(std::uint64_t number);
void FieldSigned(std::int64_t number);
void FieldBytes(const std::uint8_t* bytes, std::size_t count);  // hex, "-" for none
// Text that joins the field before it, without a space.
void Append(const char* text);
void Append(std::uint64_t number);
void EndLine();

// What the recorder tells about the vendor library before loading it.
struct LibraryFile {
    bool readable;
    std::uint64_t bytes;
    char sha256[65];  // lower-case hex, or "-"
};
LibraryFile DescribeLibrary(const wchar_t* path);
