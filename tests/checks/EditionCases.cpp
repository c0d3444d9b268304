#include "EditionCases.h"

const EditionCase kEditionCases[] = {
    // The 9x family: only the minor version counts, and no role is admitted.
    {1, 4, 0, 0, "Windows 95", 0, 0},
    {1, 0, 0, 3, "Windows 95", 0, 0},
    {1, 4, 10, 0, "Windows 98", 0, 0},
    {1, 5, 10, 1, "Windows 98", 0, 0},
    {1, 6, 10, 3, "Windows 98", 0, 0},
    {1, 4, 90, 0, "Windows Millennium", 0, 0},
    {1, 4, 1, 0, "UNKNOWN", 0, 0},
    {1, 5, 2, 3, "UNKNOWN", 0, 0},
    {1, 6, 1, 3, "UNKNOWN", 0, 0},
    // A failed query and other platform ids take the NT names but admit no role.
    {0, 0, 0, 0, "UNKNOWN", 0, 0},
    {0, 4, 0, 0, "Windows NT 4.0", 0, 0},
    {0, 5, 2, 3, "Windows 2003", 0, 0},
    {0, 6, 1, 3, "Windows Server 2008 R2", 0, 0},
    {3, 5, 1, 1, "Windows XP", 0, 0},
    // NT 3 and 4: the minor version is not examined.
    {2, 3, 51, 1, "Windows NT 3.51", 0, 0},
    {2, 3, 10, 1, "Windows NT 3.51", 0, 0},
    {2, 3, 0, 3, "Windows NT 3.51", 0, 0},
    {2, 4, 0, 1, "Windows NT 4.0", 0, 0},
    {2, 4, 90, 2, "Windows NT 4.0", 0, 0},
    // NT 5: any product type.
    {2, 5, 0, 0, "Windows 2000", 0, 1},
    {2, 5, 0, 1, "Windows 2000", 0, 1},
    {2, 5, 0, 3, "Windows 2000", 0, 1},
    {2, 5, 1, 1, "Windows XP", 0, 1},
    {2, 5, 1, 3, "Windows XP", 0, 1},
    {2, 5, 2, 0, "Windows 2003", 1, 1},
    {2, 5, 2, 1, "Windows 2003", 1, 1},
    {2, 5, 2, 3, "Windows 2003", 1, 1},
    {2, 5, 3, 3, "UNKNOWN", 0, 0},
    {2, 5, 10, 1, "UNKNOWN", 0, 0},
    // NT 6.0 and 6.1: the product type decides.
    {2, 6, 0, 0, "Windows Server 2008", 0, 0},
    {2, 6, 0, 1, "Windows Vista", 0, 1},
    {2, 6, 0, 2, "Windows Server 2008", 1, 1},
    {2, 6, 0, 3, "Windows Server 2008", 1, 1},
    {2, 6, 0, 255, "Windows Server 2008", 1, 1},
    {2, 6, 1, 0, "Windows Server 2008 R2", 0, 0},
    {2, 6, 1, 1, "Windows7", 0, 1},
    {2, 6, 1, 2, "Windows Server 2008 R2", 1, 1},
    {2, 6, 1, 3, "Windows Server 2008 R2", 1, 1},
    // Anything later is unknown and admits nothing.
    {2, 6, 2, 1, "UNKNOWN", 0, 0},
    {2, 6, 2, 3, "UNKNOWN", 0, 0},
    {2, 6, 3, 1, "UNKNOWN", 0, 0},
    {2, 10, 0, 1, "UNKNOWN", 0, 0},
    {2, 10, 0, 3, "UNKNOWN", 0, 0},
    {2, 7, 0, 1, "UNKNOWN", 0, 0},
    {2, 0, 0, 0, "UNKNOWN", 0, 0},
    {2, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF, "UNKNOWN", 0, 0},
};

const int kEditionCaseCount = sizeof kEditionCases / sizeof kEditionCases[0];

const EditionCase* FindEditionCase(DWORD platform, DWORD major, DWORD minor, BYTE productType)
{
    for (const EditionCase& row : kEditionCases) {
        if (row.platform == platform && row.major == major && row.minor == minor && row.productType == productType)
            return &row;
    }
    return nullptr;
}
