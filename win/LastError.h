#pragma once
#include <windows.h>

// The calling thread's last Win32 error as a failure; a platform call that failed without
// setting one still yields a failure, never S_OK.
inline HRESULT LastErrorResult()
{
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}
