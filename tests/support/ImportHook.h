#pragma once
#include <windows.h>

// Points one entry of the running executable's import address table at `replacement`, so that a
// test can watch the platform calls that the product code linked into it makes. The entry is put
// back when the hook goes. Installed() is false when the executable does not import `function`.
// `module` names another module whose imports to hook (a system DLL's call into another).
class ImportHook {
public:
    ImportHook(const char* function, void* replacement, HMODULE module = nullptr);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool Installed() const { return slot_ != nullptr; }
    // What the entry held before: the platform's function.
    void* Original() const { return original_; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
