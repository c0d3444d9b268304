#pragma once
#include <windows.h>

// Version records and what the edition checks must answer for them, one row per row of the
// edition table and truth table, with the interesting neighbours.
struct EditionCase {
    DWORD platform;
    DWORD major;
    DWORD minor;
    BYTE productType;
    const char* edition;
    int server;
    int console;  // also the agent
};

extern const EditionCase kEditionCases[];
extern const int kEditionCaseCount;

// The row for a record, or null.
const EditionCase* FindEditionCase(DWORD platform, DWORD major, DWORD minor, BYTE productType);
