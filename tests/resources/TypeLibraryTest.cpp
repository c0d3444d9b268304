// The type library carried by the built DLL, read back through the platform's ITypeLib.
#include "support/Paths.h"
#include "support/TargetPlatform.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

namespace {

const GUID kLibId = {0x23de8b21, 0xcc1d, 0x448d, {0xb8, 0x25, 0x2c, 0x4d, 0x4d, 0xb8, 0xf3, 0x25}};
const GUID kClsid = {0xe3541fcc, 0xdcf0, 0x4045, {0x89, 0x8b, 0x27, 0x95, 0xd6, 0xcd, 0x0e, 0x87}};
const GUID kIid = {0xa1bab43a, 0x0951, 0x4a61, {0x84, 0x16, 0xa5, 0x05, 0x90, 0xd6, 0x68, 0x3a}};

struct MethodRow {
    const wchar_t* name;
    MEMBERID id;
    VARTYPE type;          // VT_EMPTY: no parameter
    const wchar_t* param;
    USHORT flags;          // PARAMFLAG_*
    const wchar_t* help;   // null: none
};

const USHORT kOutRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
const MethodRow kMethods[] = {
    {L"OnStartPage", 0x60020000, VT_UNKNOWN, L"piUnk", PARAMFLAG_FIN, nullptr},
    {L"OnEndPage", 0x60020001, VT_EMPTY, nullptr, 0, nullptr},
    {L"GetVersion", 0x1, VT_BSTR, L"val", kOutRetval, L"method GetVersion"},
    {L"HasDotNetFramework2", 0x2, VT_BOOL, L"bFound", kOutRetval, L"method HasDotNetFramework2"},
    {L"HasDotNetFramework3", 0x3, VT_BOOL, L"bFound", kOutRetval, L"method HasDotNetFramework3"},
    {L"HasMDAC28", 0x4, VT_BOOL, L"bFound", kOutRetval, L"method HasMDAC28"},
    {L"HasIIS", 0x5, VT_BOOL, L"bFound", kOutRetval, L"method HasIIS"},
    {L"HasBITS", 0x6, VT_BOOL, L"bFound", kOutRetval, L"method HasBITS"},
    {L"IsValidServer", 0x7, VT_BOOL, L"bValid", kOutRetval, L"method IsValidServer"},
    {L"IsValidConsole", 0x8, VT_BOOL, L"bValid", kOutRetval, L"method IsValidConsole"},
    {L"GetServicePack", 0x9, VT_BSTR, L"val", kOutRetval, L"method GetServicePack"},
    {L"HasMaxPhyMem", 0xA, VT_BOOL, L"bValid", kOutRetval, L"method HasMaxPhyMem"},
    {L"IsWindowsDriveNTFS", 0xB, VT_BOOL, L"bValid", kOutRetval, L"method IsWindowsDriveNTFS"},
    {L"HasDiskSpace", 0xC, VT_BOOL, L"bValid", kOutRetval, L"method HasDiskSpace"},
    {L"NoSUS", 0xD, VT_BOOL, L"bValid", kOutRetval, L"method NoSUS"},
    {L"HasMinPhyMem", 0xE, VT_BOOL, L"bValid", kOutRetval, L"method HasMinPhyMem"},
    {L"IsRebootPending", 0xF, VT_BOOL, L"bPending", kOutRetval, L"method IsRebootPending"},
    {L"IsAdmin", 0x10, VT_BOOL, L"bValid", kOutRetval, L"method IsAdmin"},
    {L"HasASPNET20", 0x11, VT_BOOL, L"bValid", kOutRetval, L"method HAS_ASPNET20"},
    {L"IsValidAgent", 0x12, VT_BOOL, L"bValid", kOutRetval, L"method IsValidAgent"},
    {L"ConsoleHasMinPhyMem", 0x13, VT_BOOL, L"bValid", kOutRetval, L"method ConsoleHasMinPhyMem"},
    {L"ConsoleHasMaxPhyMem", 0x14, VT_BOOL, L"bValid", kOutRetval, L"method ConsoleHasMaxPhyMem"},
    {L"GetSCEPath", 0x15, VT_BSTR, L"val", kOutRetval, L"method GetSCEPath"},
    {L"GetSCEType", 0x16, VT_BSTR, L"val", kOutRetval, L"method GetSCEType"},
    {L"GetSCEVersion", 0x17, VT_BSTR, L"val", kOutRetval, L"method GetSCEVersion"},
    {L"GetMSMP_x64Version", 0x18, VT_BSTR, L"val", kOutRetval, L"method GetMSMP_x64Version"},
    {L"GetAgent_x64Version", 0x19, VT_BSTR, L"val", kOutRetval, L"method GetAgent_x64Version"},
    {L"GetASC_x64Version", 0x1A, VT_BSTR, L"val", kOutRetval, L"method GetASC_x64Version"},
};

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

class TypeLibraryTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::wstring path = Widen(BesideExecutable("Morvaleth.DLL"));
        ASSERT_EQ(S_OK, LoadTypeLib(path.c_str(), &lib));
    }
    void TearDown() override
    {
        if (lib)
            lib->Release();
    }
    std::wstring Doc(ITypeInfo* info, MEMBERID id, bool help)
    {
        BSTR name = nullptr, doc = nullptr;
        EXPECT_EQ(S_OK, info->GetDocumentation(id, help ? nullptr : &name, help ? &doc : nullptr, nullptr, nullptr));
        std::wstring result = Text(help ? doc : name);
        SysFreeString(name);
        SysFreeString(doc);
        return result;
    }
    ITypeLib* lib = nullptr;
};

TEST_F(TypeLibraryTest, LibraryAttributes)
{
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(kLibId, attr->guid));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(1033u, attr->lcid);
    EXPECT_EQ(kTargetSysKind, attr->syskind);
    // The loader adds "has a disk image" to a library read from a file; the library itself sets none.
    EXPECT_EQ(0, attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE);
    lib->ReleaseTLibAttr(attr);

    BSTR name = nullptr, help = nullptr, file = nullptr;
    DWORD context = 99;
    ASSERT_EQ(S_OK, lib->GetDocumentation(-1, &name, &help, &context, &file));
    EXPECT_EQ(L"MORVALETHLib", Text(name));
    EXPECT_EQ(L"Morvaleth 1.0 Type Library", Text(help));
    EXPECT_EQ(0u, context);
    EXPECT_EQ(L"", Text(file));
    SysFreeString(name);
    SysFreeString(help);
    SysFreeString(file);
}

TEST_F(TypeLibraryTest, CoclassFirstThenInterface)
{
    ASSERT_EQ(2u, lib->GetTypeInfoCount());
    TYPEKIND kind;
    ASSERT_EQ(S_OK, lib->GetTypeInfoType(0, &kind));
    EXPECT_EQ(TKIND_COCLASS, kind);
    ASSERT_EQ(S_OK, lib->GetTypeInfoType(1, &kind));
    EXPECT_EQ(TKIND_DISPATCH, kind);  // a dual interface is listed by its dispatch half

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(S_OK, lib->GetTypeInfo(0, &coclass));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(kClsid, attr->guid));
    EXPECT_EQ(TYPEFLAG_FCANCREATE, attr->wTypeFlags);
    EXPECT_EQ(1, attr->cImplTypes);
    coclass->ReleaseTypeAttr(attr);
    EXPECT_EQ(L"Validate", Doc(coclass, MEMBERID_NIL, false));
    EXPECT_EQ(L"Validate Class", Doc(coclass, MEMBERID_NIL, true));

    INT implFlags = 0;
    ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(0, &implFlags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, implFlags);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &ref));
    ITypeInfo* implemented = nullptr;
    ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, &implemented));
    ASSERT_EQ(S_OK, implemented->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(kIid, attr->guid));
    implemented->ReleaseTypeAttr(attr);
    implemented->Release();
    coclass->Release();
}

TEST_F(TypeLibraryTest, InterfaceAttributes)
{
    ITypeInfo* info = nullptr;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(kIid, &info));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    // The library stores 0x1140 (dual, OLE Automation, dispatchable); Wine's loader reports the
    // dispatch half without the OLE Automation bit, and the interface half (below) with it.
    EXPECT_EQ(0x1040, attr->wTypeFlags & ~TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
    EXPECT_EQ(1, attr->cImplTypes);
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(L"IValidate", Doc(info, MEMBERID_NIL, false));
    EXPECT_EQ(L"IValidate Interface", Doc(info, MEMBERID_NIL, true));

    // The dispatch half derives from IDispatch.
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &ref));
    ITypeInfo* base = nullptr;
    ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, &base));
    ASSERT_EQ(S_OK, base->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(IID_IDispatch, attr->guid));
    base->ReleaseTypeAttr(attr);
    base->Release();
    info->Release();
}

TEST_F(TypeLibraryTest, EveryMethodOfTheInterfaceHalf)
{
    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(kIid, &dispatch));
    // The vtable half of the dual interface holds the 28 methods after IDispatch's seven.
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &ref));
    ITypeInfo* info = nullptr;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, &info));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_EQ(0x1140, attr->wTypeFlags);
    ASSERT_EQ(28, attr->cFuncs);
    EXPECT_EQ(0, attr->cVars);
    info->ReleaseTypeAttr(attr);

    for (UINT i = 0; i < 28; ++i) {
        const MethodRow& row = kMethods[i];
        SCOPED_TRACE(testing::Message() << "method " << i);
        FUNCDESC* desc = nullptr;
        ASSERT_EQ(S_OK, info->GetFuncDesc(i, &desc));
        EXPECT_EQ(row.id, desc->memid);
        EXPECT_EQ(INVOKE_FUNC, desc->invkind);
        EXPECT_EQ(FUNC_PUREVIRTUAL, desc->funckind);
        EXPECT_EQ(CC_STDCALL, desc->callconv);
        EXPECT_EQ(0, desc->wFuncFlags);
        EXPECT_EQ(VT_HRESULT, desc->elemdescFunc.tdesc.vt);
        EXPECT_EQ((7 + i) * sizeof(void*), static_cast<UINT>(desc->oVft));
        EXPECT_EQ(0, desc->cParamsOpt);
        ASSERT_EQ(row.param ? 1 : 0, desc->cParams);
        if (row.param) {
            const ELEMDESC& param = desc->lprgelemdescParam[0];
            EXPECT_EQ(row.flags, param.paramdesc.wParamFlags);
            if (row.type == VT_UNKNOWN) {
                EXPECT_EQ(VT_UNKNOWN, param.tdesc.vt);  // an IUnknown* is described as VT_UNKNOWN
            } else {
                ASSERT_EQ(VT_PTR, param.tdesc.vt);
                EXPECT_EQ(row.type, param.tdesc.lptdesc->vt);
            }
        }
        BSTR names[2] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, info->GetNames(desc->memid, names, 2, &count));
        ASSERT_EQ(row.param ? 2u : 1u, count);
        EXPECT_EQ(row.name, Text(names[0]));
        if (row.param)
            EXPECT_EQ(row.param, Text(names[1]));
        SysFreeString(names[0]);
        SysFreeString(names[1]);

        BSTR help = nullptr;
        DWORD context = 99;
        ASSERT_EQ(S_OK, info->GetDocumentation(desc->memid, nullptr, &help, &context, nullptr));
        EXPECT_EQ(row.help ? row.help : L"", Text(help));
        EXPECT_EQ(0u, context);
        SysFreeString(help);
        info->ReleaseFuncDesc(desc);
    }
    info->Release();
    dispatch->Release();
}

TEST_F(TypeLibraryTest, ImportsStdOle)
{
    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(kIid, &dispatch));
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(0, &ref));
    ITypeInfo* base = nullptr;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, &base));
    ITypeLib* imported = nullptr;
    UINT index = 0;
    ASSERT_EQ(S_OK, base->GetContainingTypeLib(&imported, &index));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, imported->GetLibAttr(&attr));
    const GUID stdole = {0x00020430, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_TRUE(IsEqualGUID(stdole, attr->guid));
    EXPECT_EQ(2, attr->wMajorVerNum);
    imported->ReleaseTLibAttr(attr);
    imported->Release();
    base->Release();
    dispatch->Release();
}

}  // namespace
