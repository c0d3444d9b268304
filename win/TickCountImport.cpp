// Linked as an object (not from an archive) into every shipped program, before the threading
// runtime: with the import pointer defined here, the linker never takes kernel32's, and the
// program loads where kernel32 has no GetTickCount64.
#include "win/TickCount.h"

#ifdef _WIN64
#define TICK_COUNT_IMPORT "__imp_GetTickCount64"
#else
#define TICK_COUNT_IMPORT "__imp__GetTickCount64@0"
#endif

extern "C" {
ULONGLONG(WINAPI* tickCountImport)() __asm__(TICK_COUNT_IMPORT) = TickCount64;
}
