#pragma once
#include <string>

// The folder of the running test executable, with its trailing backslash.
std::string ExecutableDirectory();
// A file that the build puts beside the test executables (the DLL, copied fixtures).
std::string BesideExecutable(const std::string& name);
// Conversions through the ANSI code page.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
std::string ReadFileBytes(const std::string& path);
