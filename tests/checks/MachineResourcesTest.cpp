#include "checks/MachineResources.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "CatalogCalls.h"

namespace {

TEST(MachineResourceDecisions, MemoryThresholdsAreFractionsOfAGibibyte)
{
    EXPECT_EQ(2040109465u, MemoryThresholdBytes(MemoryThreshold::Max));
    EXPECT_EQ(966367641u, MemoryThresholdBytes(MemoryThreshold::Min));
    EXPECT_EQ(966367641u, MemoryThresholdBytes(MemoryThreshold::ConsoleMax));
    EXPECT_EQ(483183820u, MemoryThresholdBytes(MemoryThreshold::ConsoleMin));
}

TEST(MachineResourceDecisions, MemoryAtThresholdOneBelowAndAtTheTop)
{
    const MemoryThreshold all[] = {MemoryThreshold::Max, MemoryThreshold::Min, MemoryThreshold::ConsoleMax,
                                   MemoryThreshold::ConsoleMin};
    for (MemoryThreshold threshold : all) {
        DWORD bytes = MemoryThresholdBytes(threshold);
        EXPECT_TRUE(MemoryReaches(bytes, threshold)) << bytes;
        EXPECT_FALSE(MemoryReaches(bytes - 1, threshold)) << bytes;
        EXPECT_TRUE(MemoryReaches(0xFFFFFFFF, threshold)) << bytes;  // unsigned
        EXPECT_TRUE(MemoryReaches(0x80000000, threshold)) << bytes;
        EXPECT_FALSE(MemoryReaches(0, threshold)) << bytes;
    }
    EXPECT_FALSE(MemoryReaches(2040109464, MemoryThreshold::Max));
    EXPECT_TRUE(MemoryReaches(2040109464, MemoryThreshold::Min));
    EXPECT_FALSE(MemoryReaches(483183819, MemoryThreshold::ConsoleMin));
}

TEST(MachineResourceDecisions, TotalAboveThirtyTwoBitsSaturates)
{
    const struct {
        ULONGLONG total;
        DWORD expected;
    } cases[] = {
        {0, 0},
        {2040109465, 2040109465},
        {0xFFFFFFFF, 0xFFFFFFFF},
        {0x100000000ULL, 0xFFFFFFFF},      // 4 GiB, 0 when cut to 32 bits
        {0x140000000ULL, 0xFFFFFFFF},      // 5 GiB, 1 GiB when cut
        {0x179999999ULL, 0xFFFFFFFF},      // 4 GiB + the top threshold, passes it when cut too
        {0xFFFFFFFFFFFFFFFFULL, 0xFFFFFFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, SaturatedTotalPhysical(c.total)) << c.total;
}

TEST(MachineResourceDecisions, FreeSpaceComparedAsDecimalText)
{
    const struct {
        LONGLONG bytes;
        bool expected;
    } cases[] = {
        {1073741824LL, true},     {1073741823LL, false},   {1073741825LL, true},   {999999999LL, false},
        {10000000000LL, true},    {9999999999LL, true},    {2000000000LL, true},   {1000000000LL, false},
        {0, false},               {1, false},              {LLONG_MAX, true},
        // Negative texts (free bytes of 2^63 or more): only the length and the order count.
        {-1, false},              {-1073741824LL, true},   {LLONG_MIN, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, FreeSpaceSuffices(c.bytes)) << c.bytes;
}

TEST(MachineResourceDecisions, FileSystemNameTrimmedAndCaseSensitive)
{
    const struct {
        const char* name;
        bool expected;
    } cases[] = {
        {"NTFS", true},   {"  NTFS  ", true}, {"\t\n\v\f\rNTFS\r\n", true}, {"NTFS ", true},
        {"FAT32", false}, {"FAT", false},     {"ntfs", false},              {"Ntfs", false},
        {"", false},      {"   ", false},     {"NTFS5", false},             {"NT FS", false},
        {"NTF", false},   {"xNTFS", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, IsNtfsName(c.name)) << '"' << c.name << '"';
}

// The thin code against the platform: the test reads the same sources itself.
TEST(MachineResources, MemoryChecksAnswerFromTheMemoryStatus)
{
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    // Wine, like Windows, reports at most 2 GiB - 1 to a 32-bit program that is not large-address
    // aware, so every threshold is passed on most machines; a 64-bit program gets the whole memory.
    EXPECT_EQ(SaturatedTotalPhysical(status.dwTotalPhys), ReadTotalPhysicalMemory());
    EXPECT_EQ(status.dwTotalPhys >= 2040109465u ? 1 : 0, Flag(kHasMaxPhyMem));
    EXPECT_EQ(status.dwTotalPhys >= 966367641u ? 1 : 0, Flag(kHasMinPhyMem));
    EXPECT_EQ(status.dwTotalPhys >= 966367641u ? 1 : 0, Flag(kConsoleHasMaxPhyMem));
    EXPECT_EQ(status.dwTotalPhys >= 483183820u ? 1 : 0, Flag(kConsoleHasMinPhyMem));
}

TEST(MachineResources, DiskChecksAnswerForTheWindowsVolume)
{
    char directory[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemWindowsDirectoryA(directory, MAX_PATH));
    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA(directory, &available, &total, &totalFree));
    LONGLONG read = ReadFreeBytesAvailable();
    // Other programs write meanwhile: allow for 256 MiB of drift.
    EXPECT_LT(llabs(read - static_cast<LONGLONG>(available.QuadPart)), 256LL << 20);
    EXPECT_EQ(available.QuadPart >= (1ULL << 30) ? 1 : 0, Flag(kHasDiskSpace));

    char root[4] = {directory[0], directory[1], directory[2], 0};
    char fileSystem[MAX_PATH] = {};
    ASSERT_TRUE(GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH));
    char name[256];
    ReadWindowsVolumeFileSystem(name);
    EXPECT_STREQ(fileSystem, name);
    // Wine reports NTFS for its drive C.
    EXPECT_EQ(std::strcmp(fileSystem, "NTFS") == 0 ? 1 : 0, Flag(kIsWindowsDriveNTFS));
}

}  // namespace
