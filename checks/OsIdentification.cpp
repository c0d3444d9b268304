#include "checks/OsIdentification.h"

#include <cstring>

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

OSVERSIONINFOEXA ReadExtendedVersion()
{
    OSVERSIONINFOEXA record;
    std::memset(&record, 0, sizeof record);
    record.dwOSVersionInfoSize = sizeof record;
    // A failed query leaves the record zero, which the decisions answer as an unknown system.
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record));
    return record;
}

OSVERSIONINFOA ReadShortVersion()
{
    OSVERSIONINFOA record;
    std::memset(&record, 0, sizeof record);
    record.dwOSVersionInfoSize = sizeof record;
    GetVersionExA(&record);
    return record;
}
