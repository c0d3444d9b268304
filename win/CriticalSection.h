#pragma once
#include <windows.h>

// A critical section whose life is set by its owner: the module record starts and ends its
// locks at start-up and shut-down, not when its storage comes and goes.
class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Initialize() { InitializeCriticalSection(&section_); }
    void Delete() { DeleteCriticalSection(&section_); }
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_ = {};
};

// A critical section for the life of its holder.
class OwnedCriticalSection {
public:
    OwnedCriticalSection();
    ~OwnedCriticalSection();
    OwnedCriticalSection(const OwnedCriticalSection&) = delete;
    OwnedCriticalSection& operator=(const OwnedCriticalSection&) = delete;

    CriticalSection& Section() { return section_; }

private:
    CriticalSection section_;
};

// Holds a critical section for a scope, left on every way out.
class LockGuard {
public:
    explicit LockGuard(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~LockGuard() { section_.Leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    CriticalSection& section_;
};
