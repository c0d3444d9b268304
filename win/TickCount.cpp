#include "win/TickCount.h"

namespace {

typedef ULONGLONG(WINAPI* TickCountFunction)();

TickCountFunction Resolve()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC found = kernel == nullptr ? nullptr : GetProcAddress(kernel, "GetTickCount64");
    return found != nullptr ? reinterpret_cast<TickCountFunction>(reinterpret_cast<void*>(found))
                            : CarriedTickCount;
}

// The last count handed out: the high half counts the wraps. Compiler atomics, not kernel32's
// Interlocked*64, which XP lacks too.
ULONGLONG lastCount = 0;
TickCountFunction chosen = nullptr;

}  // namespace

ULONGLONG ExtendTickCount(ULONGLONG last, DWORD now)
{
    ULONGLONG wraps = last >> 32;
    if (now < static_cast<DWORD>(last))
        ++wraps;
    return (wraps << 32) | now;
}

ULONGLONG WINAPI CarriedTickCount()
{
    ULONGLONG last = __atomic_load_n(&lastCount, __ATOMIC_ACQUIRE);
    for (;;) {
        // Read after `last`, so a count of another thread can only be older or equal.
        ULONGLONG next = ExtendTickCount(last, GetTickCount());
        if (__atomic_compare_exchange_n(&lastCount, &last, next, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
            return next;
    }
}

ULONGLONG WINAPI TickCount64()
{
    TickCountFunction function = __atomic_load_n(&chosen, __ATOMIC_ACQUIRE);
    if (function == nullptr) {
        // Racing threads find the same answer.
        function = Resolve();
        __atomic_store_n(&chosen, function, __ATOMIC_RELEASE);
    }
    return function();
}
