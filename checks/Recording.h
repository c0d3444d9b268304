#pragma once
#include <windows.h>

#include "checks/CheckLog.h"

// How the probes write into an optional log. Every function does nothing for a null log, and
// none throws: a reading that cannot be kept marks the log incomplete instead.

// A value read as the probe made it.
struct ValueRead {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    DWORD size = 0;
};

// A registry key open beneath HKLM with `access` (its view flag gives the reading's view).
void RecordOpen(CheckLog* log, const char* path, REGSAM access, LONG status, bool partOfAnswer = true,
                const char* note = nullptr);
// A number read: the data is the 32-bit number the check took, when the read succeeded.
void RecordNumber(CheckLog* log, const char* path, REGSAM access, const char* value, const ValueRead& read,
                  DWORD number, bool partOfAnswer = true);
// A text read: the text the check took.
void RecordText(CheckLog* log, const char* path, REGSAM access, const char* value, const ValueRead& read,
                const char* text, bool partOfAnswer = true, const char* note = nullptr);
// A read whose data the check never looks at: only its status, type and size are shown.
void RecordPresence(CheckLog* log, const char* path, REGSAM access, const char* value, const ValueRead& read,
                    bool partOfAnswer = true, const char* note = nullptr);
// Another platform call: its argument (may be null), status and what it gave, as text.
void RecordCall(CheckLog* log, const char* api, const char* argument, long status, const char* data,
                const char* note = nullptr, bool partOfAnswer = true);
// The check's rule that decided.
void RecordRule(CheckLog* log, const char* rule);

// Rules shared by the registry probes: a failed open is "key-missing" when the key is absent
// (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND), else "key-unreadable".
const char* OpenRule(LONG status);
// A value read: "value-missing", "value-unreadable", "value-wrong-type" (a type other than the
// ones the check's reading makes sense of), or null for a sound read.
enum class ValueKind { Number, Text };
const char* ValueRule(const ValueRead& read, ValueKind kind);
