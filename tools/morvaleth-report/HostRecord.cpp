#include "HostRecord.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "common/Text.h"

namespace {

// RtlGetVersion's record: OSVERSIONINFOEXW, whatever the process's compatibility mode.
typedef LONG(WINAPI* RtlGetVersionCall)(OSVERSIONINFOEXW*);
typedef BOOL(WINAPI* IsWow64ProcessCall)(HANDLE, BOOL*);

template <typename Call>
Call SystemFunction(const wchar_t* module, const char* name)
{
    HMODULE handle = GetModuleHandleW(module);
    return handle ? reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

// The fields the two records share; the service pack's words come converted.
template <typename Info>
void Copy(const Info& info, const std::string& servicePack, VersionRecord& record)
{
    record.major = info.dwMajorVersion;
    record.minor = info.dwMinorVersion;
    record.build = info.dwBuildNumber;
    record.platformId = info.dwPlatformId;
    record.servicePack = servicePack;
    record.servicePackMajor = info.wServicePackMajor;
    record.servicePackMinor = info.wServicePackMinor;
    record.suiteMask = info.wSuiteMask;
    record.productType = info.wProductType;
}

bool ReadReported(VersionRecord& record)
{
    OSVERSIONINFOEXA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)))
        return false;
    Copy(info, ToUtf8(Widen(std::string(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion)))),
         record);
    return true;
}

bool ReadKernel(VersionRecord& record)
{
    RtlGetVersionCall call = SystemFunction<RtlGetVersionCall>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!call || call(&info) != 0)
        return false;
    Copy(info, ToUtf8(std::wstring(info.szCSDVersion, wcsnlen(info.szCSDVersion, 128))), record);
    return true;
}

bool Same(const VersionRecord& a, const VersionRecord& b)
{
    return a.major == b.major && a.minor == b.minor && a.build == b.build && a.platformId == b.platformId &&
           a.servicePack == b.servicePack && a.servicePackMajor == b.servicePackMajor &&
           a.servicePackMinor == b.servicePackMinor && a.suiteMask == b.suiteMask && a.productType == b.productType;
}

int OsBits()
{
    if (sizeof(void*) == 8)
        return 64;
    // XP before SP2 lacks IsWow64Process, and has no 64-bit edition that runs this program anyway.
    IsWow64ProcessCall call = SystemFunction<IsWow64ProcessCall>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return call && call(GetCurrentProcess(), &wow64) && wow64 ? 64 : 32;
}

// TokenElevation exists from Vista on; before it GetTokenInformation refuses the class.
int Elevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return -1;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return ok ? (elevation.TokenIsElevated ? 1 : 0) : -1;
}

std::string ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? ToUtf8(std::wstring(name, size)) : std::string();
}

}  // namespace

HostRecord ReadHostRecord()
{
    HostRecord host;
    host.computerName = ComputerName();
    ReadReported(host.reported);
    // Without the kernel's record the reported one stands for it: nothing is known to differ.
    if (!ReadKernel(host.kernel))
        host.kernel = host.reported;
    host.versionsDiffer = !Same(host.reported, host.kernel);
    host.processBits = static_cast<int>(sizeof(void*) * 8);
    host.osBits = OsBits();
    host.elevated = Elevated();
    return host;
}

std::string UtcTimeNow()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}
