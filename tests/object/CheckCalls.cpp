#include "CheckCalls.h"

#include <gtest/gtest.h>

const NamedFlagCheck kFlagChecks[18] = {
    {"HasDotNetFramework2", &IValidate::HasDotNetFramework2},
    {"HasDotNetFramework3", &IValidate::HasDotNetFramework3},
    {"HasMDAC28", &IValidate::HasMDAC28},
    {"HasIIS", &IValidate::HasIIS},
    {"HasBITS", &IValidate::HasBITS},
    {"IsValidServer", &IValidate::IsValidServer},
    {"IsValidConsole", &IValidate::IsValidConsole},
    {"HasMaxPhyMem", &IValidate::HasMaxPhyMem},
    {"IsWindowsDriveNTFS", &IValidate::IsWindowsDriveNTFS},
    {"HasDiskSpace", &IValidate::HasDiskSpace},
    {"NoSUS", &IValidate::NoSUS},
    {"HasMinPhyMem", &IValidate::HasMinPhyMem},
    {"IsRebootPending", &IValidate::IsRebootPending},
    {"IsAdmin", &IValidate::IsAdmin},
    {"HasASPNET20", &IValidate::HasASPNET20},
    {"IsValidAgent", &IValidate::IsValidAgent},
    {"ConsoleHasMinPhyMem", &IValidate::ConsoleHasMinPhyMem},
    {"ConsoleHasMaxPhyMem", &IValidate::ConsoleHasMaxPhyMem},
};

const NamedTextCheck kTextChecks[8] = {
    {"GetVersion", &IValidate::GetVersion},
    {"GetServicePack", &IValidate::GetServicePack},
    {"GetSCEPath", &IValidate::GetSCEPath},
    {"GetSCEType", &IValidate::GetSCEType},
    {"GetSCEVersion", &IValidate::GetSCEVersion},
    {"GetMSMP_x64Version", &IValidate::GetMSMP_x64Version},
    {"GetAgent_x64Version", &IValidate::GetAgent_x64Version},
    {"GetASC_x64Version", &IValidate::GetASC_x64Version},
};

int Flag(FlagCheck check)
{
    ValidateRef object;
    VARIANT_BOOL value = 0x5A5A;  // anything the check fails to write shows
    HRESULT result = (object.get()->*check)(&value);
    EXPECT_EQ(S_OK, result);
    EXPECT_TRUE(value == 0 || value == 1) << "flag written as " << value;
    return value == 1 ? 1 : 0;
}

std::string Text(TextCheck check)
{
    ValidateRef object;
    BSTR value = reinterpret_cast<BSTR>(1);  // must be overwritten, never freed
    HRESULT result = (object.get()->*check)(&value);
    EXPECT_EQ(S_OK, result);
    if (result != S_OK || value == nullptr || value == reinterpret_cast<BSTR>(1)) {
        ADD_FAILURE() << "no text written";
        return "<none>";
    }
    int length = static_cast<int>(SysStringLen(value));
    std::string narrow(length * 2 + 1, '\0');
    int written = WideCharToMultiByte(CP_ACP, 0, value, length, &narrow[0], static_cast<int>(narrow.size()),
                                      nullptr, nullptr);
    SysFreeString(value);
    narrow.resize(written);
    return narrow;
}
