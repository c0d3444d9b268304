#include "server/ServerModule.h"

#include <new>

namespace {
ServerModule g_module;
ServerModule* g_activeModule = nullptr;
}

ServerModule& TheServerModule() { return g_module; }
ServerModule* ActiveServerModule() { return g_activeModule; }
void SetActiveServerModule(ServerModule* module) { g_activeModule = module; }

HRESULT ServerModule::Startup(ServerModule* module, ClassEntry* table, HINSTANCE instance)
{
    if (module == nullptr)
        return E_INVALIDARG;
    module->classes_ = table;
    module->lockCount_ = 0;
    module->instance_ = instance;
    module->typeLibInstance_ = instance;
    module->shutdownCallbacks_ = nullptr;
    module->typeInfoLock_.Initialize();
    module->classTableLock_.Initialize();
    for (ClassEntry* row = table; row != nullptr && row->clsid != nullptr; ++row)
        row->startStop(true);
    return S_OK;
}

HRESULT ServerModule::Shutdown(ServerModule* module)
{
    if (module == nullptr)
        return E_INVALIDARG;
    for (ClassEntry* row = module->classes_; row != nullptr && row->clsid != nullptr; ++row) {
        IUnknown* cached = row->classObject.exchange(nullptr);
        if (cached != nullptr)
            cached->Release();
        row->startStop(false);
    }
    module->typeInfoLock_.Delete();
    module->classTableLock_.Delete();
    // Newest first; the callbacks run after the locks are gone and must not take them.
    ShutdownCallback* node = module->shutdownCallbacks_;
    module->shutdownCallbacks_ = nullptr;
    while (node != nullptr) {
        node->function(node->argument);
        ShutdownCallback* next = node->next;
        delete node;
        node = next;
    }
    return S_OK;
}

HRESULT ServerModule::FindClassObject(ServerModule* module, REFCLSID clsid, REFIID iid, void** out)
{
    if (module == nullptr)
        return E_INVALIDARG;
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    HRESULT result = S_OK;
    for (ClassEntry* row = module->classes_; row != nullptr && row->clsid != nullptr; ++row) {
        if (row->classObjectCreator == nullptr || !IsEqualGUID(*row->clsid, clsid))
            continue;
        // Tested again inside the lock, so that only one class object is ever made per row.
        IUnknown* cached = row->classObject.load(std::memory_order_acquire);
        if (cached == nullptr) {
            LockGuard guard(module->classTableLock_);
            cached = row->classObject.load(std::memory_order_acquire);
            if (cached == nullptr) {
                void* created = nullptr;
                result = row->classObjectCreator(row->instanceCreator, IID_IUnknown, &created);
                // Published only when complete, so that a reader outside the lock sees all of it.
                cached = SUCCEEDED(result) ? static_cast<IUnknown*>(created) : nullptr;
                row->classObject.store(cached, std::memory_order_release);
            }
        }
        if (cached != nullptr)
            result = cached->QueryInterface(iid, out);
        break;
    }
    if (*out == nullptr && result == S_OK)
        result = CLASS_E_CLASSNOTAVAILABLE;
    return result;
}

void ServerModule::Lock() { InterlockedIncrement(&lockCount_); }

void ServerModule::Unlock() { InterlockedDecrement(&lockCount_); }

LONG ServerModule::LockCount() const { return lockCount_; }

HRESULT ServerModule::AddShutdownCallback(void (*function)(DWORD_PTR), DWORD_PTR argument)
{
    ShutdownCallback* node = new (std::nothrow) ShutdownCallback{function, argument, nullptr};
    if (node == nullptr)
        return E_OUTOFMEMORY;
    LockGuard guard(typeInfoLock_);
    node->next = shutdownCallbacks_;
    shutdownCallbacks_ = node;
    return S_OK;
}
