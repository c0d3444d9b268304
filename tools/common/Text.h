#pragma once
#include <string>

// Text for clients: the ANSI code page where the console and narrow calls want it, UTF-8 for files,
// JSON strings for machines. Characters the ANSI code page lacks become the platform's default
// character; paths that must survive go wide.
std::string ToAnsi(const std::wstring& text);
std::wstring Widen(const std::string& text);  // from the ANSI code page
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
// A JSON string in double quotes: ASCII only, everything else as \u escapes (UTF-16 units).
std::string JsonString(const std::wstring& text);
