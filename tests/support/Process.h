#pragma once
#include <string>

// Runs a command line, waits for it (at most `seconds`) and returns its exit code, or -1. A narrow
// command line is in the ANSI code page; a wide one reaches any file name.
int RunProcess(const std::string& commandLine, int seconds = 120);
int RunProcess(const std::wstring& commandLine, int seconds = 120);
// The same, collecting what the program writes to its standard output and error.
int RunProcessCapture(const std::string& commandLine, std::string& output, int seconds = 120);
int RunProcessCapture(const std::wstring& commandLine, std::string& output, int seconds = 120);
// regsvr32 with `flags` ("/s", "/s /u") on the Morvaleth.DLL beside the test executable.
int Regsvr32(const std::string& flags);
