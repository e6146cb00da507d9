// Writing the trace, and telling the vendor library's size and SHA-256.
#include "recorder/trace_file.h"

#include <bcrypt.h>

namespace {

HANDLE g_trace = INVALID_HANDLE_VALUE;

// Long enough for any call's line; a longer one (a write of many kilobytes) goes out in
// several pieces.
char g_line[8192];
std::size_t g_length = 0;

void Flush() {
    DWORD written = 0;
    if (g_trace != INVALID_HANDLE_VALUE && g_length > 0) {
        WriteFile(g_trace, g_line, static_cast<DWORD>(g_length), &written, nullptr);
    }
    g_length = 0;
}

void Put(char c) {
    if (g_length == sizeof(g_line)) {
        Flush();
    }
    g_line[g_length++] = c;
}

void Space() {
    if (g_length > 0) {
        Put(' ');
    }
}

void Digits(std::uint64_t number) {
    char digits[24];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + number % 10);
    } while ((number /= 10) != 0);
    while (count > 0) {
        Put(digits[--count]);
    }
}

constexpr char kHex[] = "0123456789abcdef";

}  // namespace

bool CreateTrace(const wchar_t* path) {
    // Written from its start by this handle alone, every WriteFile after the one before;
    // readable while recording. FlushFileBuffers needs GENERIC_WRITE.
    g_trace = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    return g_trace != INVALID_HANDLE_VALUE;
}

void SyncTrace() {
    if (g_trace != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(g_trace);
    }
}

void CloseTrace() {
    if (g_trace != INVALID_HANDLE_VALUE) {
        CloseHandle(g_trace);
        g_trace = INVALID_HANDLE_VALUE;
    }
}

void Field(const char* text) {
    Space();
    Append(text);
}

void Append(const char* text) {
    while (*text != '\0') {
        Put(*text++);
    }
}

void Append(std::uint64_t number) {
    Digits(number);
}

void Field(const wchar_t* text) {
    Space();
    for (; *text != L'\0'; ++text) {
        Put(*text >= L' ' && *text <= L'~' ? static_cast<char>(*text) : '?');
    }
}

void Field(std::uint64_t number) {
    Space();
    Digits(number);
}

void FieldSigned(std::int64_t number) {
    Space();
    if (number < 0) {
        Put('-');
    }
    Digits(number < 0 ? 0 - static_cast<std::uint64_t>(number)
                      : static_cast<std::uint64_t>(number));
}

void FieldBytes(const std::uint8_t* bytes, std::size_t count) {
    Space();
    if (bytes == nullptr || count == 0) {
        Put('-');
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        Put(kHex[bytes[i] >> 4]);
        Put(kHex[bytes[i] & 15]);
    }
}

void EndLine() {
    Put('\n');
    Flush();
}

LibraryFile DescribeLibrary(const wchar_t* path) {
    LibraryFile file = {false, 0, "-"};
    HANDLE handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return file;
    }
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool hashing =
        BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) >= 0 &&
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
    static unsigned char block[65536];
    DWORD read = 0;
    std::uint64_t bytes = 0;
    bool whole = true;
    while ((whole = ReadFile(handle, block, sizeof(block), &read, nullptr) != FALSE) && read > 0) {
        bytes += read;
        hashing = hashing && BCryptHashData(hash, block, read, 0) >= 0;
    }
    CloseHandle(handle);
    unsigned char digest[32];
    hashing = hashing && whole && BCryptFinishHash(hash, digest, sizeof(digest), 0) >= 0;
    if (hash != nullptr) {
        BCryptDestroyHash(hash);
    }
    if (algorithm != nullptr) {
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    if (!whole) {
        return file;
    }
    file.readable = true;
    file.bytes = bytes;
    for (std::size_t i = 0; hashing && i < sizeof(digest); ++i) {
        file.sha256[2 * i] = kHex[digest[i] >> 4];
        file.sha256[2 * i + 1] = kHex[digest[i] & 15];
        file.sha256[2 * i + 2] = '\0';
    }
    return file;
}
