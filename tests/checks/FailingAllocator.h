#pragma once
#include "checks/ModuleContext.h"

// The test executable's own nothrow operator new (scalar and array): it counts the allocations
// and can be told to fail them, which the platform cannot be made to do.
struct NothrowAllocations {
    static void FailFromNow(bool fail);
    static long Count();
    // The module state that was current at the last nothrow allocation.
    static ModuleState* StateAtLast();
};

// Fails every nothrow allocation for the lifetime of the guard.
class FailingNothrowAllocations {
public:
    FailingNothrowAllocations() { NothrowAllocations::FailFromNow(true); }
    ~FailingNothrowAllocations() { NothrowAllocations::FailFromNow(false); }
};
