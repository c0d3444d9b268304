#include "support/Paths.h"

#include <windows.h>

#include <fstream>
#include <iterator>

std::string ExecutableDirectory()
{
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1);
}

std::string BesideExecutable(const std::string& name) { return ExecutableDirectory() + name; }

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
