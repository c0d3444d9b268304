// On a Remote Desktop host, GetWindowsDirectoryA gives a program without the Terminal-Server-aware
// flag (a legacy setup program hosting the DLL) a per-user folder, often on a network share. The
// disk checks must measure the shared system folder, which GetSystemWindowsDirectoryA gives.
#include <gtest/gtest.h>

#include <cstring>

#include "CatalogCalls.h"
#include "support/ImportHook.h"

namespace {

const char* g_perUser = nullptr;  // what GetWindowsDirectoryA answers
const char* g_system = nullptr;   // what GetSystemWindowsDirectoryA answers; null: the platform's
decltype(&GetSystemWindowsDirectoryA) g_platformSystem;

UINT Answer(const char* folder, LPSTR buffer, UINT size)
{
    UINT length = static_cast<UINT>(std::strlen(folder));
    if (length >= size)
        return length + 1;
    std::memcpy(buffer, folder, length + 1);
    return length;
}
UINT WINAPI PerUserFolder(LPSTR buffer, UINT size) { return Answer(g_perUser, buffer, size); }
UINT WINAPI SystemFolder(LPSTR buffer, UINT size)
{
    return g_system ? Answer(g_system, buffer, size) : g_platformSystem(buffer, size);
}

TEST(SystemWindowsFolder, DiskChecksMeasureTheSharedFolderNotThePerUserOne)
{
    char platform[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemWindowsDirectoryA(platform, MAX_PATH));
    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA(platform, &available, &total, &totalFree));
    char root[4] = {platform[0], platform[1], platform[2], 0};
    char fileSystem[MAX_PATH] = {};
    ASSERT_TRUE(GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH));
    int space = available.QuadPart >= (1ULL << 30) ? 1 : 0;
    int ntfs = std::strcmp(fileSystem, "NTFS") == 0 ? 1 : 0;

    // The test program may not import GetWindowsDirectoryA at all; then nothing can read it.
    ImportHook perUser("GetWindowsDirectoryA", reinterpret_cast<void*>(&PerUserFolder));
    ImportHook system("GetSystemWindowsDirectoryA", reinterpret_cast<void*>(&SystemFolder));
    ASSERT_TRUE(system.Installed());
    g_platformSystem = reinterpret_cast<decltype(g_platformSystem)>(system.Original());

    const struct {
        const char* perUser;
        const char* system;
        int space, ntfs;
    } rows[] = {
        // The user's home share as the per-user folder: the answers stay the machine's.
        {"\\\\srv\\home\\u\\WINDOWS", nullptr, space, ntfs},
        // The folders the other way round: what the checks measure follows the system folder.
        {platform, "\\\\srv\\share\\WINDOWS", 0, 0},
    };
    for (const auto& row : rows) {
        g_perUser = row.perUser;
        g_system = row.system;
        SCOPED_TRACE(std::string("system folder ") + (row.system ? row.system : platform));
        EXPECT_EQ(row.space, Flag(kHasDiskSpace));
        EXPECT_EQ(row.ntfs, Flag(kIsWindowsDriveNTFS));
    }
}

}  // namespace
