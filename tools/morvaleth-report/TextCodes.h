#pragma once
#include <string>

// The report keeps every text it shows in UTF-8; the checks compose theirs in the ANSI code page,
// the component answers in UTF-16.
std::string Utf8FromWide(const std::wstring& text);
std::string Utf8FromAnsi(const std::string& text);
std::wstring WideFromUtf8(const std::string& text);
// For the console, which shows the ANSI code page as the table always did.
std::string AnsiFromUtf8(const std::string& text);
