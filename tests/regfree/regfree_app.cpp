// A client whose application manifest depends on the assembly Morvaleth: it creates the class by
// both ProgIDs in its default activation context and prints one line per ProgID.
#include "FirstObject.h"

#include <cstdio>

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    for (const wchar_t* progId : {L"Morvaleth.Validate.7", L"Morvaleth.Validate"})
        std::printf("%s\n", Describe(progId, CreateFirstObject(progId)).c_str());
    CoUninitialize();
    return 0;
}
