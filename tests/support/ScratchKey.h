#pragma once
#include <windows.h>
#include <string>

// A registry key for one test's fixtures, removed with its whole tree when the test ends.
class ScratchKey {
public:
    ScratchKey(HKEY root, const std::string& path);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY Handle() const { return key_; }
    const std::string& Path() const { return path_; }
    HKEY Root() const { return root_; }

private:
    HKEY root_;
    std::string path_;
    HKEY key_ = nullptr;
};

// Removes a key and its subkeys, whatever state a failed test left it in.
void RemoveKeyTree(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path);
void SetStringValue(HKEY root, const std::string& path, const char* name, const std::string& value);
void SetDwordValue(HKEY root, const std::string& path, const char* name, DWORD value);
void SetBinaryValue(HKEY root, const std::string& path, const char* name, const void* data, DWORD size);
// The key's default or named string value; empty when missing.
std::string GetStringValue(HKEY root, const std::string& path, const char* name);
