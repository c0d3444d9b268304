#pragma once
#include <cstddef>

// The test executable's replacement of the nothrow operator new, through which the product
// allocates its objects: it counts allocations and can refuse one on demand.
namespace AllocationFaults {
// The next `skip` allocations succeed, the one after fails (once).
void FailAfter(int skip);
void FailNext();
// Every allocation fails until Reset.
void FailAll();
void Reset();
long Count();
}  // namespace AllocationFaults

// Refuses allocations for the life of the scope.
class RefuseAllocations {
public:
    RefuseAllocations() { AllocationFaults::FailAll(); }
    ~RefuseAllocations() { AllocationFaults::Reset(); }
};
