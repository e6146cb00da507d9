// Small text helpers of the test driver: the program's texts are UTF-16, the
// driver's report is plain ASCII lines.
#pragma once

#include <string>

// `text` as UTF-8.
std::string Narrow(const std::wstring& text);

// `text` in double quotes, with line breaks shown as \n, for one-line reports.
std::string Quoted(const std::wstring& text);
