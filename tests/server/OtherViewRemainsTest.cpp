// The other view's interface keys go with the type library's remains, children included, and every
// open and delete beneath them names that view: Windows keeps no view with a handle, so an open
// relative to one without the flag is looked for in the caller's own view. A 64-bit process is
// never redirected and Wine's redirection differs, so the calls are watched, not only the outcome.
#include "registrar/OtherView.h"
#include "server/TypeLibRemains.h"
#include "support/ImportHook.h"
#include "support/SavedRegistry.h"
#include "support/ScratchKey.h"
#include "support/TargetPlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

REGSAM g_view = 0;
std::set<HKEY> g_viewHandles;
std::vector<std::string> g_faults;
decltype(&RegOpenKeyExA) g_open = nullptr;
decltype(&RegDeleteKeyA) g_delete = nullptr;
decltype(&RegCloseKey) g_close = nullptr;

LONG WINAPI WatchedOpen(HKEY parent, LPCSTR path, DWORD options, REGSAM access, PHKEY opened)
{
    LONG status = g_open(parent, path, options, access, opened);
    if (g_viewHandles.count(parent) != 0 && (access & KEY_WOW64_RES) != g_view)
        g_faults.push_back(std::string("opened without the view's flag: ") + (path ? path : "(null)"));
    if (status == ERROR_SUCCESS && (access & KEY_WOW64_RES) == g_view)
        g_viewHandles.insert(*opened);
    return status;
}

LONG WINAPI WatchedDelete(HKEY parent, LPCSTR path)
{
    if (g_viewHandles.count(parent) != 0)
        g_faults.push_back(std::string("RegDeleteKeyA beneath a key of the other view: ") + path);
    return g_delete(parent, path);
}

LONG WINAPI WatchedClose(HKEY key)
{
    g_viewHandles.erase(key);
    return g_close(key);
}

std::string Text(REFGUID guid)
{
    wchar_t wide[40];
    char text[40];
    StringFromGUID2(guid, wide, 40);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

void SetDefault(REGSAM view, const std::string& path, const std::string& text)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
    RegCloseKey(key);
}

bool ExistsIn(REGSAM view, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A type library of one dispatch interface, made in memory with fresh identifiers.
ITypeLib* MakeTypeLib(GUID* libId, GUID* iid)
{
    CoCreateGuid(libId);
    CoCreateGuid(iid);
    ICreateTypeLib2* made = nullptr;
    if (FAILED(CreateTypeLib2(kTargetSysKind, L"OtherViewProbe.tlb", &made)))
        return nullptr;
    made->SetGuid(*libId);
    made->SetVersion(1, 0);
    made->SetName(const_cast<LPOLESTR>(L"OtherViewProbe"));
    ICreateTypeInfo* info = nullptr;
    if (SUCCEEDED(made->CreateTypeInfo(const_cast<LPOLESTR>(L"IOtherViewProbe"), TKIND_DISPATCH, &info))) {
        info->SetGuid(*iid);
        info->LayOut();
        info->Release();
    }
    ITypeLib* typeLib = nullptr;
    made->QueryInterface(IID_ITypeLib, reinterpret_cast<void**>(&typeLib));
    made->Release();
    return typeLib;
}

TEST(TypeLibRemains, OtherViewInterfaceKeysGoInThatViewOnly)
{
    g_view = OtherRegistryView();
    if (g_view == 0)
        GTEST_SKIP() << "this process has one registry view only";
    GUID libId, iid, foreign;
    ITypeLib* typeLib = MakeTypeLib(&libId, &iid);
    ASSERT_NE(nullptr, typeLib);
    CoCreateGuid(&foreign);
    const std::string key = "Interface\\" + Text(iid);
    SavedKey own(HKEY_CLASSES_ROOT, key), theirs(HKEY_CLASSES_ROOT, key, g_view);
    // The other view's keys are this library's; the own view's name another library and stay.
    for (REGSAM view : {g_view, REGSAM(0)}) {
        SetDefault(view, key, "IOtherViewProbe");
        SetDefault(view, key + "\\ProxyStubClsid", "{00020420-0000-0000-C000-000000000046}");
        SetDefault(view, key + "\\ProxyStubClsid32", "{00020420-0000-0000-C000-000000000046}");
        SetDefault(view, key + "\\TypeLib", Text(view == 0 ? foreign : libId));
    }

    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, typeLib->GetLibAttr(&attributes));
    TLIBATTR copy = *attributes;
    typeLib->ReleaseTLibAttr(attributes);
    HRESULT result;
    {
        std::vector<std::unique_ptr<ImportHook>> hooks;
        hooks.emplace_back(new ImportHook("RegOpenKeyExA", reinterpret_cast<void*>(WatchedOpen)));
        g_open = reinterpret_cast<decltype(g_open)>(hooks.back()->Original());
        hooks.emplace_back(new ImportHook("RegDeleteKeyA", reinterpret_cast<void*>(WatchedDelete)));
        g_delete = reinterpret_cast<decltype(g_delete)>(hooks.back()->Original());
        hooks.emplace_back(new ImportHook("RegCloseKey", reinterpret_cast<void*>(WatchedClose)));
        g_close = reinterpret_cast<decltype(g_close)>(hooks.back()->Original());
        for (const auto& hook : hooks)
            ASSERT_TRUE(hook->Installed());
        g_faults.clear();
        result = RemoveTypeLibRemains(typeLib, copy);
    }
    typeLib->Release();
    EXPECT_EQ(S_OK, result);
    for (const std::string& fault : g_faults)
        ADD_FAILURE() << fault;
    EXPECT_FALSE(ExistsIn(g_view, key)) << "the other view's interface key";
    EXPECT_TRUE(ExistsIn(0, key + "\\ProxyStubClsid32")) << "the own view's key of another library";
    EXPECT_TRUE(ExistsIn(0, key + "\\TypeLib"));
}

}  // namespace
