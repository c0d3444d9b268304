#include "Activation.h"

#include <cstring>
#include <vector>

namespace {

HRESULT Create(REFIID iid, IUnknown** object)
{
    CLSID clsid;
    HRESULT result = CLSIDFromProgID(L"Morvaleth.Validate", &clsid);
    if (SUCCEEDED(result))
        result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(object));
    return result;
}

HRESULT LastError()
{
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

#ifdef _WIN64
const WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
#else
const WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
#endif

// Wine builds a context from a DLL of the other bitness and then fails to load it with
// E_ACCESSDENIED; the file's own header tells the reason plainly. A file that cannot be read is
// left to CreateActCtxW to report.
bool OtherMachine(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    unsigned char header[4096] = {};
    DWORD read = 0;
    BOOL ok = ReadFile(file, header, sizeof header, &read, nullptr);
    CloseHandle(file);
    if (!ok)
        return false;
    if (read < 0x40 || header[0] != 'M' || header[1] != 'Z')
        return true;
    DWORD at = *reinterpret_cast<const DWORD*>(header + 0x3C);
    if (at > read - 6 || std::memcmp(header + at, "PE\0\0", 4) != 0)
        return true;
    return *reinterpret_cast<const WORD*>(header + at + 4) != kOwnMachine;
}

}  // namespace

bool IsNotRegistered(HRESULT result) { return result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG; }

ActivatedObject::~ActivatedObject() { Release(); }

void ActivatedObject::Release()
{
    if (object_)
        object_->Release();
    object_ = nullptr;
    if (cookie_)
        DeactivateActCtx(0, cookie_);
    cookie_ = 0;
    if (context_ != INVALID_HANDLE_VALUE)
        ReleaseActCtx(context_);
    context_ = INVALID_HANDLE_VALUE;
}

HRESULT ActivatedObject::ThroughRegistration(REFIID iid)
{
    Release();
    return Create(iid, &object_);
}

HRESULT ActivatedObject::ThroughManifest(const std::wstring& dll, REFIID iid)
{
    Release();
    // The context's folder is the DLL's: a relative name would depend on the current folder later.
    DWORD length = GetFullPathNameW(dll.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return LastError();
    std::vector<wchar_t> full(length);
    if (GetFullPathNameW(dll.c_str(), length, full.data(), nullptr) == 0)
        return LastError();
    if (OtherMachine(full.data()))
        return HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT);
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = full.data();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    context_ = CreateActCtxW(&request);
    if (context_ == INVALID_HANDLE_VALUE)
        return LastError();
    if (!ActivateActCtx(context_, &cookie_)) {
        HRESULT result = LastError();
        cookie_ = 0;
        Release();
        return result;
    }
    HRESULT result = Create(iid, &object_);
    if (FAILED(result))
        Release();
    return result;
}

std::wstring ActivatedObject::Module() const
{
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (object_ && GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      *reinterpret_cast<LPCWSTR*>(object_), &module))
        GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}
