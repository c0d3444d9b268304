#include "checks/MachineResources.h"

#include <mbstring.h>

#include <cstdio>
#include <cstring>

#include "checks/Recording.h"

namespace {

struct ThresholdRow {
    MemoryThreshold which;
    DWORD bytes;
};

// Fractions of 2^30 bytes, rounded down: 1.9, 0.9, 0.9 and 0.45.
const ThresholdRow kThresholds[] = {
    {MemoryThreshold::Max, 0x79999999},
    {MemoryThreshold::Min, 0x39999999},
    {MemoryThreshold::ConsoleMax, 0x39999999},
    {MemoryThreshold::ConsoleMin, 0x1CCCCCCC},
};

const LONGLONG kFreeSpaceThreshold = 1073741824;  // 2^30
const char kNtfs[] = "NTFS";
const char kWhiteSpace[] = " \t\n\v\f\r";

// The system Windows directory, zero-filled first; false when it does not fit in 255 characters.
bool ReadWindowsDirectory(char (&directory)[255], CheckLog* log)
{
    std::memset(directory, 0, sizeof directory);
    // The shared folder: a program without the Terminal-Server-aware flag is given a per-user one
    // by GetWindowsDirectoryA on a Remote Desktop host.
    UINT length = GetSystemWindowsDirectoryA(directory, sizeof directory);
    // A path that does not fit leaves the buffer undefined: nothing then is read from it.
    bool read = length != 0 && length < sizeof directory;
    if (log != nullptr) {
        DWORD error = length == 0 ? GetLastError() : read ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER;
        RecordCall(log, "GetSystemWindowsDirectoryA", nullptr, static_cast<long>(error), read ? directory : nullptr);
        if (!read)
            RecordRule(log, "directory-unreadable");
    }
    return read;
}

}  // namespace

DWORD MemoryThresholdBytes(MemoryThreshold threshold)
{
    for (const ThresholdRow& row : kThresholds) {
        if (row.which == threshold)
            return row.bytes;
    }
    return 0xFFFFFFFF;
}

bool MemoryReaches(DWORD totalPhysical, MemoryThreshold threshold)
{
    return totalPhysical >= MemoryThresholdBytes(threshold);
}

DWORD SaturatedTotalPhysical(ULONGLONG totalPhysical)
{
    // A 64-bit process is told the whole memory; cut to 32 bits it would wrap (4 GiB reads as 0).
    return totalPhysical > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<DWORD>(totalPhysical);
}

bool FreeSpaceSuffices(LONGLONG freeBytesAvailable)
{
    char threshold[32] = {};
    char free[32] = {};
    // The runtime's own formatting; the buffers hold any 64-bit number and stay terminated.
    _snprintf(threshold, sizeof threshold - 1, "%I64d", kFreeSpaceThreshold);
    _snprintf(free, sizeof free - 1, "%I64d", freeBytesAvailable);
    std::size_t freeLength = std::strlen(free);
    std::size_t thresholdLength = std::strlen(threshold);
    if (freeLength != thresholdLength)
        return freeLength > thresholdLength;
    return _mbscmp(reinterpret_cast<const unsigned char*>(free),
                   reinterpret_cast<const unsigned char*>(threshold)) >= 0;
}

bool IsNtfsName(const char* fileSystemName)
{
    const char* begin = fileSystemName + std::strspn(fileSystemName, kWhiteSpace);
    std::size_t length = std::strlen(begin);
    while (length > 0 && std::strchr(kWhiteSpace, begin[length - 1]) != nullptr)
        --length;
    char trimmed[256] = {};
    if (length >= sizeof trimmed)
        return false;
    std::memcpy(trimmed, begin, length);
    return _mbscmp(reinterpret_cast<const unsigned char*>(trimmed),
                   reinterpret_cast<const unsigned char*>(kNtfs)) == 0;
}

DWORD ReadTotalPhysicalMemory(CheckLog* log)
{
    // No machine has no memory: a total of 0 is a reading taken while another thread was filling
    // the platform's shared status (Wine), so it is read again, a bounded number of times.
    const int kReadings = 50;
    MEMORYSTATUS status;
    for (int reading = 0; reading < kReadings; ++reading) {
        std::memset(&status, 0, sizeof status);
        status.dwLength = sizeof status;
        GlobalMemoryStatus(&status);
        if (status.dwTotalPhys != 0)
            break;
        Sleep(reading == 0 ? 0 : 1);
    }
    DWORD total = SaturatedTotalPhysical(status.dwTotalPhys);
    if (log != nullptr) {
        char data[96];
        std::snprintf(data, sizeof data, "dwTotalPhys %llu bytes",
                      static_cast<unsigned long long>(status.dwTotalPhys));
        RecordCall(log, "GlobalMemoryStatus", nullptr, ERROR_SUCCESS, data,
                   total != status.dwTotalPhys ? "more than 32 bits hold: taken as 0xFFFFFFFF" : nullptr);
    }
    return total;
}

LONGLONG ReadFreeBytesAvailable(CheckLog* log)
{
    char directory[255];
    if (!ReadWindowsDirectory(directory, log))
        return 0;
    // Preset: a failed query answers "not enough space".
    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    BOOL succeeded = GetDiskFreeSpaceExA(directory, &available, &total, &totalFree);
    if (log != nullptr) {
        DWORD error = succeeded ? ERROR_SUCCESS : GetLastError();
        char data[96];
        std::snprintf(data, sizeof data, "%lld bytes available to the caller",
                      static_cast<long long>(available.QuadPart));
        RecordCall(log, "GetDiskFreeSpaceExA", directory, static_cast<long>(error), succeeded ? data : nullptr);
        if (!succeeded)
            RecordRule(log, "query-failed");
    }
    if (!succeeded)
        return 0;
    return static_cast<LONGLONG>(available.QuadPart);
}

void ReadWindowsVolumeFileSystem(char (&name)[256], CheckLog* log)
{
    std::memset(name, 0, sizeof name);
    char directory[255];
    if (!ReadWindowsDirectory(directory, log))
        return;
    // The drive root, such as "C:\"; a network path makes the volume query fail.
    char root[260] = {};
    std::memcpy(root, directory, strnlen(directory, 3));
    DWORD serial = 0;
    // One byte short of the buffer, so that the name stays terminated whatever the query writes.
    BOOL succeeded = GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, name, sizeof name - 1);
    if (log != nullptr) {
        DWORD error = succeeded ? ERROR_SUCCESS : GetLastError();
        RecordCall(log, "GetVolumeInformationA", root, static_cast<long>(error), succeeded ? name : nullptr);
        if (!succeeded)
            RecordRule(log, "query-failed");
    }
    if (!succeeded)
        std::memset(name, 0, sizeof name);
}
