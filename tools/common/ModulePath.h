#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The full path of a loaded module (null: this program), wide and of any length; empty on failure.
std::wstring ModulePath(HMODULE module);
// The folder of a path, with its trailing separator; empty for a bare name.
std::wstring FolderOf(const std::wstring& path);
// A file in this program's folder.
std::wstring BesideThisProgram(const std::wstring& name);
// main's arguments as the user typed them, wide, so that a path outside the ANSI code page
// survives; where the wide command line splits otherwise, argv through the ANSI code page.
std::vector<std::wstring> WideArguments(int argc, char** argv);
