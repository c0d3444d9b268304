#pragma once
#include <windows.h>

// One (name, value) pair handed to the interpreter; a list of them ends with a null name.
struct ScriptVariablePair {
    LPCWSTR name;
    LPCWSTR value;
};

// The registration script's variables, in the order they were added. Duplicates are kept
// and never found: the first entry of a name wins. Every copy lives in the task allocator.
class ScriptVariables {
public:
    ScriptVariables() = default;
    ~ScriptVariables();
    ScriptVariables(const ScriptVariables&) = delete;
    ScriptVariables& operator=(const ScriptVariables&) = delete;

    HRESULT Add(LPCWSTR name, LPCWSTR value);
    // The value of the first entry whose name equals `name` without regard to case, or null.
    LPCWSTR Find(LPCSTR name) const;
    // As Find, but tells a missing name (S_FALSE) from a name that could not be compared
    // (E_OUTOFMEMORY).
    HRESULT Lookup(LPCSTR name, LPCWSTR* value) const;
    void Clear();
    UINT Count() const { return count_; }

private:
    struct Entry {
        LPWSTR name;
        LPWSTR value;
    };

    Entry** entries_ = nullptr;
    UINT count_ = 0;
    UINT room_ = 0;
};
