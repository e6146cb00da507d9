// A number as a person reads it, in a wide text of the caller's, for programs that keep
// the C++ string library out to stay small: the updater and the recorder.
#pragma once

#include <iterator>

inline const wchar_t* Decimal(wchar_t (&digits)[12], unsigned long n) {
    wchar_t* at = std::end(digits) - 1;
    *at = L'\0';
    do {
        *--at = static_cast<wchar_t>(L'0' + n % 10);
    } while ((n /= 10) != 0);
    return at;
}
