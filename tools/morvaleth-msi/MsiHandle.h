#pragma once
#include <windows.h>
#include <msi.h>

// Owning holder of one installer handle (database, record).
class MsiHandle {
public:
    explicit MsiHandle(MSIHANDLE handle = 0) : handle_(handle) {}
    ~MsiHandle()
    {
        if (handle_ != 0)
            MsiCloseHandle(handle_);
    }
    MsiHandle(const MsiHandle&) = delete;
    MsiHandle& operator=(const MsiHandle&) = delete;

    MSIHANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }

private:
    MSIHANDLE handle_;
};
