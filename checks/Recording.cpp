#include "checks/Recording.h"

#include <cstdio>
#include <new>

namespace {

ReadingView ViewOf(REGSAM access)
{
    if (access & KEY_WOW64_64KEY)
        return ReadingView::Bits64;
    if (access & KEY_WOW64_32KEY)
        return ReadingView::Bits32;
    return ReadingView::Default;
}

bool IsAbsent(LONG status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

template <typename Fill>
void Keep(CheckLog* log, Fill fill)
{
    if (log == nullptr)
        return;
    try {
        Reading reading;
        fill(reading);
        log->Add(reading);
    } catch (const std::bad_alloc&) {
        log->MarkIncomplete();
    }
}

// A registry call beneath HKLM.
void FillKey(Reading& reading, const char* api, const char* path, REGSAM access, LONG status, bool partOfAnswer)
{
    reading.api = api;
    reading.root = "HKLM";
    reading.path = path;
    reading.view = ViewOf(access);
    reading.status = status;
    reading.partOfAnswer = partOfAnswer;
}

void FillValue(Reading& reading, const char* path, REGSAM access, const char* value, const ValueRead& read,
               bool partOfAnswer)
{
    FillKey(reading, "RegQueryValueExA", path, access, read.status, partOfAnswer);
    reading.hasValue = true;
    reading.value = value;
    // The type and size are the platform's only when the value was found.
    reading.hasType = read.status == ERROR_SUCCESS || read.status == ERROR_MORE_DATA;
    reading.type = read.type;
}

}  // namespace

void RecordOpen(CheckLog* log, const char* path, REGSAM access, LONG status, bool partOfAnswer, const char* note)
{
    Keep(log, [&](Reading& reading) {
        FillKey(reading, "RegOpenKeyExA", path, access, status, partOfAnswer);
        if (note != nullptr)
            reading.note = note;
    });
}

void RecordNumber(CheckLog* log, const char* path, REGSAM access, const char* value, const ValueRead& read,
                  DWORD number, bool partOfAnswer)
{
    Keep(log, [&](Reading& reading) {
        FillValue(reading, path, access, value, read, partOfAnswer);
        if (read.status == ERROR_SUCCESS) {
            char text[16];
            std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(number));
            reading.hasData = true;
            reading.data = text;
        }
    });
}

void RecordText(CheckLog* log, const char* path, REGSAM access, const char* value, const ValueRead& read,
                const char* text, bool partOfAnswer, const char* note)
{
    Keep(log, [&](Reading& reading) {
        FillValue(reading, path, access, value, read, partOfAnswer);
        if (note != nullptr)
            reading.note = note;
        if (read.status == ERROR_SUCCESS) {
            reading.hasData = true;
            reading.data = text;
        }
    });
}

void RecordPresence(CheckLog* log, const char* path, REGSAM access, const char* value, const ValueRead& read,
                    bool partOfAnswer, const char* note)
{
    Keep(log, [&](Reading& reading) {
        FillValue(reading, path, access, value, read, partOfAnswer);
        if (reading.hasType) {
            char size[64];
            std::snprintf(size, sizeof size, "%lu bytes, not examined", static_cast<unsigned long>(read.size));
            reading.hasData = true;
            reading.data = size;
        }
        if (note != nullptr)
            reading.note = note;
    });
}

void RecordCall(CheckLog* log, const char* api, const char* argument, long status, const char* data,
                const char* note, bool partOfAnswer)
{
    Keep(log, [&](Reading& reading) {
        reading.api = api;
        if (argument != nullptr)
            reading.path = argument;
        reading.status = status;
        if (data != nullptr) {
            reading.hasData = true;
            reading.data = data;
        }
        if (note != nullptr)
            reading.note = note;
        reading.partOfAnswer = partOfAnswer;
    });
}

void RecordRule(CheckLog* log, const char* rule)
{
    if (log == nullptr)
        return;
    try {
        log->Rule(rule);
    } catch (const std::bad_alloc&) {
        log->MarkIncomplete();
    }
}

const char* OpenRule(LONG status) { return IsAbsent(status) ? "key-missing" : "key-unreadable"; }

const char* ValueRule(const ValueRead& read, ValueKind kind)
{
    if (IsAbsent(read.status))
        return "value-missing";
    if (read.status != ERROR_SUCCESS)
        return "value-unreadable";
    bool expected = kind == ValueKind::Number ? read.type == REG_DWORD
                                              : read.type == REG_SZ || read.type == REG_EXPAND_SZ;
    return expected ? nullptr : "value-wrong-type";
}
