#include "support/RegistrySnapshot.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Describe(DWORD type, const BYTE* data, DWORD size)
{
    char number[16];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return std::string(reinterpret_cast<const char*>(data), size ? strnlen(reinterpret_cast<const char*>(data), size) : 0);
    case REG_DWORD:
        if (size == 4) {
            std::snprintf(number, sizeof number, "0x%08lx", *reinterpret_cast<const unsigned long*>(data));
            return number;
        }
        break;
    }
    std::string hex;
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(number, sizeof number, "%02x", data[i]);
        hex += number;
    }
    return hex;
}

void Walk(HKEY key, const std::string& path, std::vector<std::string>& lines)
{
    lines.push_back(path);
    for (DWORD i = 0;; ++i) {
        char name[16384];
        BYTE data[16384];
        DWORD nameLength = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        lines.push_back(path + "|" + name + "|" + std::to_string(type) + "|" + Describe(type, data, dataSize));
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            Walk(child, path + "\\" + name, lines);
            RegCloseKey(child);
        } else {
            lines.push_back(path + "\\" + name + " <unreadable>");
        }
    }
}

}  // namespace

std::vector<std::string> SnapshotKey(HKEY root, const std::string& path)
{
    std::vector<std::string> lines;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return lines;
    Walk(key, path, lines);
    RegCloseKey(key);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}
