#include "checks/CheckLog.h"

#include <cstdio>

namespace {

struct NamedCode {
    long code;
    const char* name;
};

// The statuses the checks meet; others are shown by number.
const NamedCode kStatusNames[] = {
    {ERROR_SUCCESS, "ERROR_SUCCESS"},
    {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
    {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND"},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
    {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
    {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"},
    {ERROR_OUTOFMEMORY, "ERROR_OUTOFMEMORY"},
    {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
    {ERROR_INSUFFICIENT_BUFFER, "ERROR_INSUFFICIENT_BUFFER"},
    {ERROR_MORE_DATA, "ERROR_MORE_DATA"},
    {ERROR_BAD_PATHNAME, "ERROR_BAD_PATHNAME"},
    {ERROR_INVALID_NAME, "ERROR_INVALID_NAME"},
    {ERROR_NOT_READY, "ERROR_NOT_READY"},
    {ERROR_BADKEY, "ERROR_BADKEY"},
    {ERROR_CANTOPEN, "ERROR_CANTOPEN"},
    {ERROR_CANTREAD, "ERROR_CANTREAD"},
    {ERROR_KEY_DELETED, "ERROR_KEY_DELETED"},
    {ERROR_PROC_NOT_FOUND, "ERROR_PROC_NOT_FOUND"},
    {ERROR_NO_TOKEN, "ERROR_NO_TOKEN"},
    {ERROR_CALL_NOT_IMPLEMENTED, "ERROR_CALL_NOT_IMPLEMENTED"},
};

const NamedCode kTypeNames[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

const char* Find(const NamedCode* table, std::size_t count, long code)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (table[i].code == code)
            return table[i].name;
    }
    return nullptr;
}

}  // namespace

std::string StatusName(long status)
{
    if (const char* name = Find(kStatusNames, sizeof kStatusNames / sizeof *kStatusNames, status))
        return name;
    char number[32];
    std::snprintf(number, sizeof number, "ERROR_%ld", status);
    return number;
}

std::string StatusText(long status)
{
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                  nullptr, static_cast<DWORD>(status), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words;
    if (length != 0 && text != nullptr) {
        words.assign(text, length);
        // One line: the system ends its texts with blanks or a line break.
        while (!words.empty() && (words.back() == ' ' || words.back() == '\r' || words.back() == '\n'))
            words.pop_back();
    }
    if (text != nullptr)
        LocalFree(text);
    if (words.empty())
        words = StatusName(status);
    return words;
}

std::string RegistryTypeName(DWORD type)
{
    if (const char* name = Find(kTypeNames, sizeof kTypeNames / sizeof *kTypeNames, static_cast<long>(type)))
        return name;
    char number[32];
    std::snprintf(number, sizeof number, "REG_0x%lX", static_cast<unsigned long>(type));
    return number;
}

const char* ViewName(ReadingView view)
{
    switch (view) {
    case ReadingView::Default:
        return "default";
    case ReadingView::Bits32:
        return "32";
    case ReadingView::Bits64:
        return "64";
    default:
        return nullptr;
    }
}

std::string DescribeReading(const Reading& reading)
{
    std::string line = reading.api;
    if (!reading.root.empty())
        line += " " + reading.root + "\\" + reading.path;
    else if (!reading.path.empty())
        line += " " + reading.path;
    // No brackets: an installer's log formats them, and each escape costs it.
    if (reading.hasValue)
        line += " value \"" + reading.value + "\"";
    if (reading.view == ReadingView::Default)
        line += " (default view)";
    else if (const char* bits = ViewName(reading.view))
        line += std::string(" (") + bits + "-bit view)";
    line += ": " + StatusName(reading.status);
    if (reading.hasType)
        line += ", " + RegistryTypeName(reading.type);
    if (reading.hasData)
        line += ", \"" + reading.data + "\"";
    if (!reading.note.empty())
        line += ", " + reading.note;
    if (!reading.partOfAnswer)
        line += " (not part of the answer)";
    return line;
}
