#include "common/Activation.h"

#include <cstring>
#include <new>

#include "common/ModulePath.h"

namespace {

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
    DWORD at = 0;
    std::memcpy(&at, header + 0x3C, sizeof at);
    if (at > read - 6 || std::memcmp(header + at, "PE\0\0", 4) != 0)
        return true;
    WORD machine = 0;
    std::memcpy(&machine, header + at + 4, sizeof machine);
    return machine != kOwnMachine;
}

// The context's folder is the DLL's: a relative name would depend on the current folder later.
std::wstring FullPath(const std::wstring& path)
{
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return std::wstring();
    std::wstring full(length, L'\0');
    DWORD written = GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
    if (written == 0 || written >= length)
        return std::wstring();
    full.resize(written);
    return full;
}

}  // namespace

ManifestContext::ManifestContext(const std::wstring& dll)
{
    std::wstring full = FullPath(dll);
    if (full.empty()) {
        result_ = LastError();
        return;
    }
    if (OtherMachine(full.c_str())) {
        result_ = HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT);
        return;
    }
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = full.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    context_ = CreateActCtxW(&request);
    if (context_ == INVALID_HANDLE_VALUE) {
        result_ = LastError();
        return;
    }
    if (!ActivateActCtx(context_, &cookie_)) {
        result_ = LastError();
        cookie_ = 0;
        return;
    }
    result_ = S_OK;
}

ManifestContext::~ManifestContext()
{
    Deactivate();
    if (context_ != INVALID_HANDLE_VALUE)
        ReleaseActCtx(context_);
}

void ManifestContext::Deactivate()
{
    if (cookie_)
        DeactivateActCtx(0, cookie_);
    cookie_ = 0;
}

HRESULT CreateByProgId(const wchar_t* progId, REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    CLSID clsid;
    HRESULT result = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(result))
        result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
    return result;
}

bool IsNotRegistered(HRESULT result) { return result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG; }

std::wstring ServingModule(IUnknown* object)
{
    HMODULE module = nullptr;
    if (object == nullptr ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            *reinterpret_cast<LPCWSTR*>(object), &module))
        return std::wstring();
    return ModulePath(module);
}

ActivatedObject::~ActivatedObject() { Release(); }

void ActivatedObject::Release()
{
    if (object_)
        object_->Release();
    object_ = nullptr;
    delete context_;
    context_ = nullptr;
}

HRESULT ActivatedObject::ThroughRegistration(REFIID iid)
{
    Release();
    return CreateByProgId(L"Morvaleth.Validate", iid, reinterpret_cast<void**>(&object_));
}

HRESULT ActivatedObject::ThroughManifest(const std::wstring& dll, REFIID iid)
{
    Release();
    context_ = new (std::nothrow) ManifestContext(dll);
    if (context_ == nullptr)
        return E_OUTOFMEMORY;
    HRESULT result = context_->Result();
    if (SUCCEEDED(result))
        result = CreateByProgId(L"Morvaleth.Validate", iid, reinterpret_cast<void**>(&object_));
    if (FAILED(result))
        Release();
    return result;
}

std::wstring ActivatedObject::Module() const { return ServingModule(object_); }
