#include "server/SelfRegistration.h"

#include <comcat.h>
#include <olectl.h>

#include "server/TypeLibRemains.h"
#include "win/ComPtr.h"
#include "win/LastError.h"

namespace {

const int kPathSize = MAX_PATH;

bool Selected(const ClassEntry& row, const CLSID* filter)
{
    if (filter != nullptr)
        return IsEqualGUID(*row.clsid, *filter);
    return row.description == nullptr || row.description() == nullptr;
}

const CategoryEntry* CategoriesOf(const ClassEntry& row)
{
    return row.categories != nullptr ? row.categories() : nullptr;
}

typedef HRESULT(WINAPI* UnRegisterTypeLibFunction)(REFGUID, WORD, WORD, LCID, SYSKIND);

}  // namespace

bool ReplaceExtensionWithTlb(wchar_t (&path)[MAX_PATH])
{
    wchar_t* dot = nullptr;
    wchar_t* cursor = path;
    for (; *cursor != L'\0'; ++cursor) {
        if (*cursor == L'.')
            dot = cursor;
    }
    wchar_t* from = dot != nullptr ? dot : cursor;
    const wchar_t extension[] = L".tlb";
    const int extensionSize = static_cast<int>(sizeof extension / sizeof extension[0]);
    if ((from - path) + extensionSize > kPathSize)
        return false;
    lstrcpynW(from, extension, extensionSize);
    return true;
}

HRESULT RegisterServer(ServerModule* module, BOOL registerTypeLib, const CLSID* filter)
{
    if (module == nullptr)
        return E_INVALIDARG;
    HRESULT result = S_OK;
    for (ClassEntry* row = module->Classes(); row != nullptr && row->clsid != nullptr; ++row) {
        if (!Selected(*row, filter))
            continue;
        result = row->registration(TRUE);
        if (FAILED(result))
            return result;
        result = RegisterClassCategories(*row->clsid, CategoriesOf(*row), TRUE);
        if (FAILED(result))
            return result;
    }
    if (registerTypeLib)
        result = RegisterModuleTypeLib(module);
    return result;
}

HRESULT UnregisterServer(ServerModule* module, BOOL unregisterTypeLib, const CLSID* filter)
{
    if (module == nullptr)
        return E_INVALIDARG;
    // Every class is still walked; the first class whose keys the platform would not let go
    // answers for all, so that a refused removal is not reported as success.
    HRESULT result = S_OK;
    for (ClassEntry* row = module->Classes(); row != nullptr && row->clsid != nullptr; ++row) {
        if (!Selected(*row, filter))
            continue;
        HRESULT removed = row->registration(FALSE);
        if (FAILED(removed) && SUCCEEDED(result))
            result = removed;
        RegisterClassCategories(*row->clsid, CategoriesOf(*row), FALSE);
    }
    // Judged by what is left: the platform's own answer also fails when nothing was registered.
    if (unregisterTypeLib) {
        HRESULT typeLib = UnregisterModuleTypeLib(module);
        if (typeLib == SELFREG_E_TYPELIB && SUCCEEDED(result))
            result = typeLib;
    }
    return result;
}

HRESULT RegisterClassCategories(REFCLSID clsid, const CategoryEntry* table, BOOL doRegister)
{
    if (table == nullptr)
        return S_OK;
    ComPtr<ICatRegister> manager;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                manager.ReceiveVoid())))
        return S_OK;  // no categories manager: categories are skipped
    for (const CategoryEntry* entry = table; entry->kind != 0; ++entry) {
        CATID category = *entry->category;
        if (doRegister) {
            HRESULT result = entry->kind == 1 ? manager->RegisterClassImplCategories(clsid, 1, &category)
                                              : manager->RegisterClassReqCategories(clsid, 1, &category);
            if (FAILED(result))
                return result;
        } else if (entry->kind == 1) {
            manager->UnRegisterClassImplCategories(clsid, 1, &category);
        } else {
            manager->UnRegisterClassReqCategories(clsid, 1, &category);
        }
    }
    return S_OK;
}

HRESULT LoadModuleTypeLib(ServerModule* module, BSTR* path, ITypeLib** typeLib)
{
    if (path == nullptr || typeLib == nullptr)
        return E_POINTER;
    *path = nullptr;
    *typeLib = nullptr;
    if (module == nullptr)
        return E_INVALIDARG;

    // Wide: the type library's registration is wide, and a folder named outside the ANSI code
    // page must reach it unchanged.
    wchar_t file[kPathSize];
    DWORD length = GetModuleFileNameW(module->TypeLibInstance(), file, kPathSize);
    if (length == 0)
        return LastErrorResult();
    // A cut path would register some other file.
    if (length >= static_cast<DWORD>(kPathSize))
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    ComPtr<ITypeLib> loaded;
    HRESULT result = LoadTypeLib(file, loaded.Receive());
    if (FAILED(result)) {
        if (!ReplaceExtensionWithTlb(file))
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        result = LoadTypeLib(file, loaded.Receive());
        if (FAILED(result))
            return result;
    }
    BSTR copy = SysAllocString(file);
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    *path = copy;
    *typeLib = loaded.Detach();
    return result;
}

int DirectoryLength(const wchar_t* path)
{
    int length = 0;
    for (int i = 0; path[i] != L'\0'; ++i) {
        if (path[i] == L'\\' || path[i] == L'/' || path[i] == L':')
            length = i + 1;
    }
    return length;
}

HRESULT RegisterModuleTypeLib(ServerModule* module)
{
    BSTR path = nullptr;
    ComPtr<ITypeLib> typeLib;
    HRESULT result = LoadModuleTypeLib(module, &path, typeLib.Receive());
    if (FAILED(result))
        return result;
    wchar_t helpDirectory[kPathSize];
    lstrcpynW(helpDirectory, path, kPathSize);
    helpDirectory[DirectoryLength(helpDirectory)] = L'\0';
    result = RegisterTypeLib(typeLib.Get(), path, helpDirectory);
    SysFreeString(path);
    return result;
}

HRESULT UnregisterModuleTypeLib(ServerModule* module)
{
    BSTR path = nullptr;
    ComPtr<ITypeLib> typeLib;
    HRESULT result = LoadModuleTypeLib(module, &path, typeLib.Receive());
    if (FAILED(result))
        return result;
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(typeLib->GetLibAttr(&attributes))) {
        // Looked up at run time: an automation library without it leaves the entry in place.
        HMODULE automation = LoadLibraryA("oleaut32.dll");
        if (automation != nullptr) {
            FARPROC entry = GetProcAddress(automation, "UnRegisterTypeLib");
            if (entry != nullptr)
                reinterpret_cast<UnRegisterTypeLibFunction>(reinterpret_cast<void*>(entry))(
                    attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                    attributes->syskind);
            FreeLibrary(automation);
        }
        if (FAILED(RemoveTypeLibRemains(typeLib.Get(), *attributes)))
            result = SELFREG_E_TYPELIB;
        typeLib->ReleaseTLibAttr(attributes);
    }
    SysFreeString(path);
    return result;
}
