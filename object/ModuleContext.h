#pragma once

// The library's own module context: a per-thread "current module state" that each check makes
// current for the length of its call, standing in for the state of a hosting framework.
struct ModuleState {
    const char* name;
};

// The state of this library.
ModuleState* LibraryModuleState();
// The calling thread's current state (null until somebody sets one).
ModuleState* CurrentModuleState();
// Makes `state` current on the calling thread and returns the one it replaces.
ModuleState* SwapCurrentModuleState(ModuleState* state);

// Makes a state current for a scope and restores the previous one on every way out.
class ModuleContextScope {
public:
    ModuleContextScope() : ModuleContextScope(LibraryModuleState()) {}
    explicit ModuleContextScope(ModuleState* state) : previous_(SwapCurrentModuleState(state)) {}
    ~ModuleContextScope() { SwapCurrentModuleState(previous_); }
    ModuleContextScope(const ModuleContextScope&) = delete;
    ModuleContextScope& operator=(const ModuleContextScope&) = delete;

private:
    ModuleState* previous_;
};
