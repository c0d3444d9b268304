#include "object/ModuleContext.h"

#include <windows.h>

namespace {

// The platform's thread-local slots: unlike compiler TLS they are safe in a DLL that unloads.
class ThreadSlot {
public:
    ThreadSlot() : index_(TlsAlloc()) {}
    ~ThreadSlot()
    {
        if (index_ != TLS_OUT_OF_INDEXES)
            TlsFree(index_);
    }
    void* Get() const { return index_ == TLS_OUT_OF_INDEXES ? nullptr : TlsGetValue(index_); }
    void Set(void* value) const
    {
        if (index_ != TLS_OUT_OF_INDEXES)
            TlsSetValue(index_, value);
    }

private:
    DWORD index_;
};

ThreadSlot& CurrentSlot()
{
    static ThreadSlot slot;
    return slot;
}

ModuleState g_libraryState = {"Morvaleth"};

}  // namespace

ModuleState* LibraryModuleState() { return &g_libraryState; }

ModuleState* CurrentModuleState() { return static_cast<ModuleState*>(CurrentSlot().Get()); }

ModuleState* SwapCurrentModuleState(ModuleState* state)
{
    ModuleState* previous = CurrentModuleState();
    CurrentSlot().Set(state);
    return previous;
}
