#pragma once
#include <string>

// Conversions: ToAnsi, Widen.
#include "common/Text.h"

// The folder of the running test executable, with its trailing backslash.
std::string ExecutableDirectory();
// A file that the build puts beside the test executables (the DLL, copied fixtures).
std::string BesideExecutable(const std::string& name);
std::string ReadFileBytes(const std::string& path);
