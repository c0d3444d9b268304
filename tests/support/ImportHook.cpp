#include "support/ImportHook.h"

#include <windows.h>

#include <cstring>

namespace {

void** FindImportSlot(HMODULE module, const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(module != nullptr ? module : GetModuleHandleA(nullptr));
    const IMAGE_NT_HEADERS* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return nullptr;
    for (const IMAGE_IMPORT_DESCRIPTOR* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
             base + imports.VirtualAddress);
         library->Name != 0; ++library) {
        // The name table stays as linked; the address table is what calls go through.
        if (library->OriginalFirstThunk == 0)
            continue;
        const IMAGE_THUNK_DATA* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        IMAGE_THUNK_DATA* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&addresses->u1.Function);
        }
    }
    return nullptr;
}

void Write(void** slot, void* value)
{
    DWORD protection = 0;
    if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) {
        *slot = value;
        VirtualProtect(slot, sizeof *slot, protection, &protection);
    }
}

}  // namespace

ImportHook::ImportHook(const char* function, void* replacement, HMODULE module)
    : slot_(FindImportSlot(module, function))
{
    if (slot_ != nullptr) {
        original_ = *slot_;
        Write(slot_, replacement);
    }
}

ImportHook::~ImportHook()
{
    if (slot_ != nullptr)
        Write(slot_, original_);
}
