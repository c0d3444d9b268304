#include "checks/OsIdentification.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "checks/Recording.h"

namespace {

enum class Family { Windows9x, NotWindows9x };
enum class ProductTest { Any, Workstation, NotWorkstation };

const DWORD kAny = 0xFFFFFFFF;  // in a row: the field is not examined

struct EditionRow {
    Family family;
    DWORD major;
    DWORD minor;
    ProductTest product;
    const char* name;
};

// First match wins. Platform 0 (a failed query) takes the NT rows, as every id but 1 does.
const EditionRow kEditions[] = {
    {Family::Windows9x, kAny, 0, ProductTest::Any, "Windows 95"},
    {Family::Windows9x, kAny, 10, ProductTest::Any, "Windows 98"},
    {Family::Windows9x, kAny, 90, ProductTest::Any, "Windows Millennium"},
    {Family::Windows9x, kAny, kAny, ProductTest::Any, "UNKNOWN"},
    {Family::NotWindows9x, 3, kAny, ProductTest::Any, "Windows NT 3.51"},
    {Family::NotWindows9x, 4, kAny, ProductTest::Any, "Windows NT 4.0"},
    {Family::NotWindows9x, 5, 0, ProductTest::Any, "Windows 2000"},
    {Family::NotWindows9x, 5, 1, ProductTest::Any, "Windows XP"},
    {Family::NotWindows9x, 5, 2, ProductTest::Any, "Windows 2003"},
    {Family::NotWindows9x, 6, 0, ProductTest::Workstation, "Windows Vista"},
    {Family::NotWindows9x, 6, 0, ProductTest::NotWorkstation, "Windows Server 2008"},
    {Family::NotWindows9x, 6, 1, ProductTest::Workstation, "Windows7"},
    {Family::NotWindows9x, 6, 1, ProductTest::NotWorkstation, "Windows Server 2008 R2"},
};

const char kUnknownEdition[] = "UNKNOWN";

bool FieldMatches(DWORD wanted, DWORD actual) { return wanted == kAny || wanted == actual; }

bool ProductMatches(ProductTest test, BYTE productType)
{
    switch (test) {
    case ProductTest::Workstation:
        return productType == VER_NT_WORKSTATION;
    case ProductTest::NotWorkstation:
        return productType != VER_NT_WORKSTATION;
    default:
        return true;
    }
}

bool IsNt(const OSVERSIONINFOEXA& record) { return record.dwPlatformId == VER_PLATFORM_WIN32_NT; }
bool IsVersion6Point0Or1(const OSVERSIONINFOEXA& record)
{
    return record.dwMajorVersion == 6 && (record.dwMinorVersion == 0 || record.dwMinorVersion == 1);
}

}  // namespace

const char* EditionName(const OSVERSIONINFOEXA& record)
{
    Family family = record.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? Family::Windows9x : Family::NotWindows9x;
    for (const EditionRow& row : kEditions) {
        if (row.family == family && FieldMatches(row.major, record.dwMajorVersion) &&
            FieldMatches(row.minor, record.dwMinorVersion) && ProductMatches(row.product, record.wProductType))
            return row.name;
    }
    return kUnknownEdition;
}

bool AdmitsServerRole(const OSVERSIONINFOEXA& record)
{
    if (!IsNt(record))
        return false;
    if (record.dwMajorVersion == 5 && record.dwMinorVersion == 2)
        return true;
    return IsVersion6Point0Or1(record) && record.wProductType > VER_NT_WORKSTATION;
}

bool AdmitsConsoleRole(const OSVERSIONINFOEXA& record)
{
    if (!IsNt(record))
        return false;
    if (record.dwMajorVersion == 5 && record.dwMinorVersion <= 2)
        return true;
    return IsVersion6Point0Or1(record) && record.wProductType != 0;
}

void ServicePackText(const OSVERSIONINFOA& record, char (&text)[kCheckTextSize])
{
    static_assert(sizeof record.szCSDVersion < kCheckTextSize, "the field fits with a terminator");
    std::memset(text, 0, sizeof text);
    std::size_t length = strnlen(record.szCSDVersion, sizeof record.szCSDVersion);
    std::memcpy(text, record.szCSDVersion, length);
}

namespace {

typedef LONG(WINAPI* RtlGetVersionFunction)(OSVERSIONINFOEXW*);

bool SameVersion(const OSVERSIONINFOEXA& a, const OSVERSIONINFOEXA& b)
{
    return a.dwMajorVersion == b.dwMajorVersion && a.dwMinorVersion == b.dwMinorVersion &&
           a.dwBuildNumber == b.dwBuildNumber && a.dwPlatformId == b.dwPlatformId;
}

// What the log shows of a version query: the record, and the kernel's beside it.
void RecordVersions(CheckLog* log, BOOL succeeded, DWORD error, const OSVERSIONINFOEXA& record, VersionQuery* query)
{
    if (log == nullptr)
        return;
    try {
        std::string reported = DescribeVersion(record);
        RecordCall(log, "GetVersionExA", nullptr, succeeded ? ERROR_SUCCESS : error,
                   succeeded ? reported.c_str() : nullptr);
        OSVERSIONINFOEXA kernel;
        bool known = ReadKernelVersion(kernel);
        bool differs = succeeded && known && !SameVersion(record, kernel);
        std::string own = DescribeVersion(kernel);
        RecordCall(log, "RtlGetVersion", nullptr, known ? ERROR_SUCCESS : ERROR_PROC_NOT_FOUND,
                   known ? own.c_str() : nullptr,
                   differs ? "differs from GetVersionExA: a compatibility mode, or a program without a supportedOS "
                             "manifest, is told an older version"
                           : nullptr,
                   false);
        if (query != nullptr) {
            query->failed = !succeeded;
            query->kernelDiffers = differs;
        }
    } catch (const std::bad_alloc&) {
        log->MarkIncomplete();
    }
}

}  // namespace

std::string DescribeVersion(const OSVERSIONINFOEXA& record)
{
    char text[320];
    std::snprintf(text, sizeof text,
                  "%lu.%lu.%lu, platform %lu, product type %u, suite 0x%04X, service pack %u.%u \"%.*s\"",
                  static_cast<unsigned long>(record.dwMajorVersion), static_cast<unsigned long>(record.dwMinorVersion),
                  static_cast<unsigned long>(record.dwBuildNumber), static_cast<unsigned long>(record.dwPlatformId),
                  record.wProductType, record.wSuiteMask, record.wServicePackMajor, record.wServicePackMinor,
                  static_cast<int>(strnlen(record.szCSDVersion, sizeof record.szCSDVersion)), record.szCSDVersion);
    return text;
}

bool ReadKernelVersion(OSVERSIONINFOEXA& record)
{
    std::memset(&record, 0, sizeof record);
    record.dwOSVersionInfoSize = sizeof record;
    // Looked up, not imported: the function answers only since ntdll of Windows XP.
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    RtlGetVersionFunction get =
        ntdll != nullptr ? reinterpret_cast<RtlGetVersionFunction>(
                               reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                         : nullptr;
    if (get == nullptr)
        return false;
    OSVERSIONINFOEXW wide;
    std::memset(&wide, 0, sizeof wide);
    wide.dwOSVersionInfoSize = sizeof wide;
    if (get(&wide) != 0)
        return false;
    record.dwMajorVersion = wide.dwMajorVersion;
    record.dwMinorVersion = wide.dwMinorVersion;
    record.dwBuildNumber = wide.dwBuildNumber;
    record.dwPlatformId = wide.dwPlatformId;
    record.wServicePackMajor = wide.wServicePackMajor;
    record.wServicePackMinor = wide.wServicePackMinor;
    record.wSuiteMask = wide.wSuiteMask;
    record.wProductType = wide.wProductType;
    WideCharToMultiByte(CP_ACP, 0, wide.szCSDVersion, -1, record.szCSDVersion, sizeof record.szCSDVersion - 1,
                        nullptr, nullptr);
    record.szCSDVersion[sizeof record.szCSDVersion - 1] = '\0';
    return true;
}

OSVERSIONINFOEXA ReadExtendedVersion(CheckLog* log, VersionQuery* query)
{
    OSVERSIONINFOEXA record;
    std::memset(&record, 0, sizeof record);
    record.dwOSVersionInfoSize = sizeof record;
    // A failed query leaves the record zero, which the decisions answer as an unknown system.
    BOOL succeeded = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record));
    if (log != nullptr)
        RecordVersions(log, succeeded, GetLastError(), record, query);
    return record;
}

OSVERSIONINFOA ReadShortVersion(CheckLog* log, VersionQuery* query)
{
    OSVERSIONINFOA record;
    std::memset(&record, 0, sizeof record);
    record.dwOSVersionInfoSize = sizeof record;
    BOOL succeeded = GetVersionExA(&record);
    if (log != nullptr) {
        OSVERSIONINFOEXA shown;
        std::memset(&shown, 0, sizeof shown);
        std::memcpy(&shown, &record, sizeof record);
        RecordVersions(log, succeeded, GetLastError(), shown, query);
    }
    return record;
}
