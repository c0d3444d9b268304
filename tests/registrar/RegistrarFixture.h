#pragma once
#include "support/Paths.h"
#include <windows.h>

#include <set>
#include <string>

#include "registrar/ScriptVariables.h"

// Predefined roots redirected (RegOverridePredefKey) to scratch keys beneath
// HKCU\Software\MorvalethTests\Registrar, undone and removed when the holder goes.
class RedirectedRoots {
public:
    explicit RedirectedRoots(bool allRoots = false);
    ~RedirectedRoots();
    RedirectedRoots(const RedirectedRoots&) = delete;
    RedirectedRoots& operator=(const RedirectedRoots&) = delete;

    // The scratch key that stands for `root`, or null when it could not be redirected.
    HKEY Scratch(HKEY root = HKEY_CLASSES_ROOT) const;

private:
    static const int kRoots = 7;
    HKEY roots_[kRoots] = {};
    HKEY scratch_[kRoots] = {};
};

// Every key beneath `key` as its relative path, and every value as
// "path|name=sz:text", "path|name=dword:N" or "path|name=bin:hex" ("@" names the default
// value; the key itself is ""). A key that cannot be opened shows as "path (unreadable)".
std::set<std::string> Tree(HKEY key);

// The inverse of Tree for keys, "sz" and "dword" values ("bin" data is taken as raw bytes).
void Populate(HKEY key, const std::set<std::string>& lines);
void MakeKey(HKEY parent, const std::string& path);
// A key that can be neither opened nor created again: its DACL is empty. The returned
// handle (full access, taken before) can restore it; close it with Unblock().
HKEY MakeBlockedKey(HKEY parent, const std::string& path);
void Unblock(HKEY blocked);

// Applies `script` with the variable Module = kTestModule (and `extra`, if given).
extern const wchar_t kTestModule[];
HRESULT ApplyScript(const std::string& script, BOOL doRegister, const ScriptVariablePair* extra = nullptr);

#include <vector>

// A copy of the test executable in folders made for it beneath %TEMP%, mapped as a module
// (its code never runs), so that a script can be run as if it were that module's.
// Folder names in UTF-16, for names the ANSI code page cannot hold.
struct WideFolders {
    std::vector<std::wstring> names;
};

class ModuleCopy {
public:
    // `folders`: names in the ANSI code page, one level each.
    explicit ModuleCopy(const std::vector<std::string>& folders);
    explicit ModuleCopy(const WideFolders& folders);
    ~ModuleCopy();
    ModuleCopy(const ModuleCopy&) = delete;
    ModuleCopy& operator=(const ModuleCopy&) = delete;

    HMODULE Handle() const { return module_; }
    const std::wstring& Path() const { return path_; }  // without any long-path prefix

private:
    std::vector<std::wstring> made_;  // folders, outermost first
    std::wstring path_;
    HMODULE module_ = nullptr;
};

// The key's string value read as UTF-16 (the name in the ANSI code page); empty when missing.
std::wstring GetWideValue(HKEY root, const std::string& path, const char* name);
