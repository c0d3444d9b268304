#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Fixtures on real keys that may already exist (beneath HKEY_LOCAL_MACHINE of the test prefix).
// What was there is saved first and put back when the fixture ends; keys it made are removed.
// `view` is 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY and applies to every operation.

struct SavedTree;

class SavedKey {
public:
    SavedKey(HKEY root, const std::string& path, REGSAM view = 0);
    ~SavedKey();
    SavedKey(const SavedKey&) = delete;
    SavedKey& operator=(const SavedKey&) = delete;

    // The key with no values and no subkeys.
    void MakeEmpty();
    void Remove();
    void SetDword(const char* name, DWORD value);
    void SetString(const char* name, const std::string& text);
    // Any type and any bytes, e.g. a REG_SZ without its terminator.
    void SetRaw(const char* name, DWORD type, const void* data, DWORD size);
    void DeleteValue(const char* name);
    // Creates the key if needed and gives it an empty DACL: nobody may open it any more.
    void MakeUnreadable();

    const std::string& Path() const { return path_; }

private:
    void RestoreAccess();

    HKEY root_;
    std::string path_;
    REGSAM view_;
    std::unique_ptr<SavedTree> saved_;  // null when the key did not exist
    std::string createdTop_;            // the outermost key this fixture may have created
    HKEY lockedKey_ = nullptr;          // kept open to give the access back
    PSECURITY_DESCRIPTOR originalSecurity_ = nullptr;
};

// One value of a key that must not be touched otherwise (such as Session Manager).
class SavedValue {
public:
    SavedValue(HKEY root, const std::string& path, const char* name, REGSAM view = 0);
    ~SavedValue();
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

    void Set(DWORD type, const void* data, DWORD size);
    void Delete();

private:
    HKEY root_;
    std::string path_;
    std::string name_;
    REGSAM view_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

// Removes a key tree in one view; missing keys are fine.
void RemoveTreeInView(HKEY root, const std::string& path, REGSAM view);
