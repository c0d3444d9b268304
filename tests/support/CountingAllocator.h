#pragma once
#include <cstddef>

// The test executable replaces the global operator new and delete. Inside a window the
// allocations of every thread are counted (with their sizes), and one of them can be made to fail.
class AllocationWindow {
public:
    // failAt: the 1-based allocation in this window that fails (0: none, -1: every one).
    explicit AllocationWindow(long failAt = 0);
    ~AllocationWindow();
    AllocationWindow(const AllocationWindow&) = delete;
    AllocationWindow& operator=(const AllocationWindow&) = delete;

    long Count() const;
    // How many allocations of exactly `size` bytes were made.
    long CountOfSize(std::size_t size) const;
    // Ends counting early, keeping the numbers.
    void Close();

private:
    bool open_ = true;
};

// Called at every allocation inside a window (null: none), for tests that look at the state in
// which the product allocates.
void SetAllocationObserver(void (*observer)(std::size_t size));
