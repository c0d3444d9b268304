#include "server/TypeLibRemains.h"

#include <olectl.h>

#include <string>
#include <vector>

#include "registrar/OtherView.h"
#include "registry/KeyInView.h"
#include "registry/RegistryKey.h"

namespace {

const char* const kPlatforms[] = {"win16", "win32", "mac", "win64"};  // by SYSKIND
const char* const kInterfaceSubkeys[] = {"ProxyStubClsid", "ProxyStubClsid32", "TypeLib"};

std::string GuidText(REFGUID guid)
{
    wchar_t wide[40] = {};
    char narrow[40] = {};
    StringFromGUID2(guid, wide, 40);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

std::string Hex(unsigned value)
{
    char text[16];
    wsprintfA(text, "%x", value);
    return text;
}

// A key that may not be opened is there all the same.
bool Exists(const std::string& path, REGSAM view = 0)
{
    RegistryKey key;
    LONG error = key.Open(HKEY_CLASSES_ROOT, path.c_str(), KEY_READ | view);
    return error == ERROR_SUCCESS || error == ERROR_ACCESS_DENIED;
}

std::vector<std::string> Subkeys(const std::string& path)
{
    std::vector<std::string> names;
    RegistryKey key;
    if (key.Open(HKEY_CLASSES_ROOT, path.c_str(), KEY_READ) != ERROR_SUCCESS)
        return names;
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD length = MAX_PATH;
        if (RegEnumKeyExA(key.Handle(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    return names;
}

void DeleteTree(const std::string& parent, const std::string& name, REGSAM view = 0)
{
    RegistryKey key;
    if (key.Open(HKEY_CLASSES_ROOT, parent.c_str(), KEY_ALL_ACCESS | view) == ERROR_SUCCESS)
        key.DeleteTree(name.c_str(), view);
}

struct Registration {
    std::string libId;        // "TypeLib\{LIBID}"
    std::string version;      // libId + "\maj.min"
    std::string platform;     // this platform's entry: "win32" or "win64"
    std::vector<std::string> interfaces;  // "Interface\{IID}" of what the library registers
};

// Any locale's entry for a platform other than this one: another build still uses the library.
bool OtherPlatformRegistered(const Registration& registration)
{
    for (const std::string& locale : Subkeys(registration.version)) {
        for (const char* platform : kPlatforms) {
            if (registration.platform != platform && Exists(registration.version + "\\" + locale + "\\" + platform))
                return true;
        }
    }
    return false;
}

// The interface keys of a view, unless they name another type library.
bool InterfaceIsOurs(const Registration& registration, const std::string& key, REGSAM view)
{
    RegistryKey typeLib;
    if (typeLib.Open(HKEY_CLASSES_ROOT, (key + "\\TypeLib").c_str(), KEY_QUERY_VALUE | view) != ERROR_SUCCESS)
        return true;
    char text[64] = {};
    DWORD size = sizeof text - 1;
    if (RegQueryValueExA(typeLib.Handle(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
        ERROR_SUCCESS)
        return true;
    return lstrcmpiA(text, registration.libId.c_str() + lstrlenA("TypeLib\\")) == 0;
}

// The views whose interface keys are this registration's: the process's own, and the other one
// (the platform writes both) unless another platform's build still has the library registered.
std::vector<REGSAM> InterfaceViews(const Registration& registration)
{
    std::vector<REGSAM> views = {0};
    REGSAM other = OtherRegistryView();
    if (other != 0 && !OtherPlatformRegistered(registration))
        views.push_back(other);
    return views;
}

void RemoveInterfaces(const Registration& registration)
{
    for (REGSAM view : InterfaceViews(registration)) {
        for (const std::string& key : registration.interfaces) {
            if (!Exists(key, view) || !InterfaceIsOurs(registration, key, view))
                continue;
            for (const char* subkey : kInterfaceSubkeys)
                DeleteTree(key, subkey, view);
            DeleteKeyInView(HKEY_CLASSES_ROOT, key.c_str(), view);
        }
    }
}

// FLAGS, HELPDIR and empty locale keys that no platform's entry uses any more, and an empty
// library key.
void RemoveOrphans(const Registration& registration)
{
    if (Exists(registration.version) && !OtherPlatformRegistered(registration)) {
        bool ours = false;
        for (const std::string& locale : Subkeys(registration.version))
            ours = ours || Exists(registration.version + "\\" + locale + "\\" + registration.platform);
        if (!ours)
            DeleteTree(registration.libId, registration.version.substr(registration.libId.size() + 1));
    }
    if (Exists(registration.libId) && Subkeys(registration.libId).empty())
        RegDeleteKeyA(HKEY_CLASSES_ROOT, registration.libId.c_str());
}

bool AnythingLeft(const Registration& registration)
{
    for (const std::string& locale : Subkeys(registration.version)) {
        if (Exists(registration.version + "\\" + locale + "\\" + registration.platform))
            return true;
    }
    if (Exists(registration.version) && !OtherPlatformRegistered(registration))
        return true;
    if (Exists(registration.libId) && Subkeys(registration.libId).empty())
        return true;
    for (REGSAM view : InterfaceViews(registration)) {
        for (const std::string& key : registration.interfaces) {
            if (Exists(key, view) && InterfaceIsOurs(registration, key, view))
                return true;
        }
    }
    return false;
}

// The interfaces whose keys the platform's registration writes: dispatch interfaces, and
// interfaces marked dual or for automation.
std::vector<std::string> RegisteredInterfaces(ITypeLib* typeLib)
{
    std::vector<std::string> keys;
    for (UINT index = 0; index < typeLib->GetTypeInfoCount(); ++index) {
        ITypeInfo* info = nullptr;
        if (FAILED(typeLib->GetTypeInfo(index, &info)))
            continue;
        TYPEATTR* attributes = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
            if (attributes->typekind == TKIND_DISPATCH ||
                (attributes->typekind == TKIND_INTERFACE &&
                 (attributes->wTypeFlags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL)) != 0)) {
                std::string key = "Interface\\" + GuidText(attributes->guid);
                bool known = false;
                for (const std::string& seen : keys)
                    known = known || seen == key;
                if (!known)
                    keys.push_back(key);
            }
            info->ReleaseTypeAttr(attributes);
        }
        info->Release();
    }
    return keys;
}

}  // namespace

HRESULT RemoveTypeLibRemains(ITypeLib* typeLib, const TLIBATTR& attributes)
{
    if (typeLib == nullptr || static_cast<unsigned>(attributes.syskind) >= sizeof kPlatforms / sizeof kPlatforms[0])
        return E_INVALIDARG;
    try {
        Registration registration;
        registration.libId = "TypeLib\\" + GuidText(attributes.guid);
        registration.version =
            registration.libId + "\\" + Hex(attributes.wMajorVerNum) + "." + Hex(attributes.wMinorVerNum);
        registration.platform = kPlatforms[attributes.syskind];
        registration.interfaces = RegisteredInterfaces(typeLib);
        RemoveInterfaces(registration);
        RemoveOrphans(registration);
        return AnythingLeft(registration) ? SELFREG_E_TYPELIB : S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
