#include "checks/OsIdentification.h"

#include <gtest/gtest.h>

#include <cstring>

#include "EditionCases.h"

namespace {

OSVERSIONINFOEXA Record(DWORD platform, DWORD major, DWORD minor, BYTE productType)
{
    OSVERSIONINFOEXA record;
    std::memset(&record, 0, sizeof record);
    record.dwOSVersionInfoSize = sizeof record;
    record.dwPlatformId = platform;
    record.dwMajorVersion = major;
    record.dwMinorVersion = minor;
    record.wProductType = productType;
    return record;
}

std::string Describe(const EditionCase& row)
{
    return "platform " + std::to_string(row.platform) + ", " + std::to_string(row.major) + "." +
           std::to_string(row.minor) + ", product type " + std::to_string(row.productType);
}

TEST(OsIdentification, EditionTableAndTruthTable)
{
    for (int index = 0; index < kEditionCaseCount; ++index) {
        const EditionCase& row = kEditionCases[index];
        OSVERSIONINFOEXA record = Record(row.platform, row.major, row.minor, row.productType);
        EXPECT_STREQ(row.edition, EditionName(record)) << Describe(row);
        EXPECT_EQ(row.server, AdmitsServerRole(record) ? 1 : 0) << Describe(row);
        EXPECT_EQ(row.console, AdmitsConsoleRole(record) ? 1 : 0) << Describe(row);
    }
}

// Over a wide sweep: the server role implies the console role, and only NT admits either.
TEST(OsIdentification, RolesOverEveryRecordOfASweep)
{
    const DWORD minors[] = {0, 1, 2, 3, 10, 51, 90, 0xFFFFFFFF};
    for (DWORD platform = 0; platform <= 3; ++platform)
        for (DWORD major = 0; major <= 11; ++major)
            for (DWORD minor : minors)
                for (int type = 0; type <= 4; ++type) {
                    OSVERSIONINFOEXA record = Record(platform, major, minor, static_cast<BYTE>(type));
                    bool server = AdmitsServerRole(record);
                    bool console = AdmitsConsoleRole(record);
                    if (server) {
                        EXPECT_TRUE(console) << platform << " " << major << "." << minor << " type " << type;
                    }
                    if (platform != 2) {
                        EXPECT_FALSE(server || console) << platform;
                    }
                    if (console) {
                        EXPECT_NE(std::string("UNKNOWN"), EditionName(record));
                    }
                }
}

TEST(OsIdentification, ServicePackTextStopsAtTheFirstZeroAndAtTheField)
{
    OSVERSIONINFOA record;
    std::memset(&record, 0, sizeof record);
    char text[kCheckTextSize];

    ServicePackText(record, text);
    EXPECT_STREQ("", text);

    std::strcpy(record.szCSDVersion, "Service Pack 3");
    ServicePackText(record, text);
    EXPECT_STREQ("Service Pack 3", text);

    std::strcpy(record.szCSDVersion, " A ");  // Windows 98 Second Edition keeps its blanks
    std::strcpy(record.szCSDVersion + 4, "hidden");
    ServicePackText(record, text);
    EXPECT_STREQ(" A ", text);

    // A field without a zero is taken whole and not read past: the next field is not text.
    std::memset(record.szCSDVersion, 'S', sizeof record.szCSDVersion);
    ServicePackText(record, text);
    EXPECT_EQ(std::string(128, 'S'), text);
}

TEST(OsIdentification, RecordsAreZeroFilledWithTheirSizes)
{
    static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148, "record sizes");
    OSVERSIONINFOEXA extended = ReadExtendedVersion();
    EXPECT_EQ(156u, extended.dwOSVersionInfoSize);
    EXPECT_NE(0u, extended.dwMajorVersion);
    OSVERSIONINFOA shortRecord = ReadShortVersion();
    EXPECT_EQ(148u, shortRecord.dwOSVersionInfoSize);
    EXPECT_EQ(extended.dwMajorVersion, shortRecord.dwMajorVersion);
    EXPECT_STREQ(extended.szCSDVersion, shortRecord.szCSDVersion);
}

}  // namespace
