#include "support/ScratchKey.h"

#include <stdexcept>

namespace {
HKEY CreateOrThrow(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot create fixture key " + path);
    return key;
}
}

ScratchKey::ScratchKey(HKEY root, const std::string& path) : root_(root), path_(path)
{
    RemoveKeyTree(root_, path_);
    key_ = CreateOrThrow(root_, path_);
}

ScratchKey::~ScratchKey()
{
    RegCloseKey(key_);
    RemoveKeyTree(root_, path_);
}

void RemoveKeyTree(HKEY root, const std::string& path)
{
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

static void SetValue(HKEY root, const std::string& path, const char* name, DWORD type,
                     const void* data, DWORD size)
{
    HKEY key = CreateOrThrow(root, path);
    LONG result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot write fixture value under " + path);
}

void SetStringValue(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    SetValue(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void SetDwordValue(HKEY root, const std::string& path, const char* name, DWORD value)
{
    SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}

void SetBinaryValue(HKEY root, const std::string& path, const char* name, const void* data, DWORD size)
{
    SetValue(root, path, name, REG_BINARY, data, size);
}

std::string GetStringValue(HKEY root, const std::string& path, const char* name)
{
    char buffer[4096] = {};
    DWORD size = sizeof buffer - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::string();
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(buffer) : std::string();
}
