#pragma once
#include <windows.h>
#include <unknwn.h>

#include <atomic>

#include "win/CriticalSection.h"

// Creators that a class table row names.
typedef HRESULT (*InstanceCreator)(IUnknown* outer, REFIID iid, void** out);
typedef HRESULT (*ClassObjectCreator)(InstanceCreator creator, REFIID iid, void** out);

struct CategoryEntry {
    LONG kind;  // 1: implemented; any other non-zero: required; 0 ends the table
    const GUID* category;
};

// One creatable class. The table is writable: the cached class object lives in the row.
struct ClassEntry {
    const CLSID* clsid;  // null ends the table
    HRESULT (*registration)(BOOL doRegister);
    ClassObjectCreator classObjectCreator;
    InstanceCreator instanceCreator;
    // Read without the class-table lock once set: published with release, read with acquire.
    std::atomic<IUnknown*> classObject;
    const char* (*description)();
    const CategoryEntry* (*categories)();
    void (*startStop)(bool starting);
};

struct ShutdownCallback {
    void (*function)(DWORD_PTR argument);
    DWORD_PTR argument;
    ShutdownCallback* next;
};

// The one module record of the process.
class ServerModule {
public:
    static HRESULT Startup(ServerModule* module, ClassEntry* table, HINSTANCE instance);
    static HRESULT Shutdown(ServerModule* module);
    static HRESULT FindClassObject(ServerModule* module, REFCLSID clsid, REFIID iid, void** out);

    void Lock();
    void Unlock();
    LONG LockCount() const;
    HRESULT AddShutdownCallback(void (*function)(DWORD_PTR), DWORD_PTR argument);

    HINSTANCE Instance() const { return instance_; }
    HINSTANCE TypeLibInstance() const { return typeLibInstance_; }
    ClassEntry* Classes() const { return classes_; }
    CriticalSection& TypeInfoLock() { return typeInfoLock_; }

private:
    HINSTANCE instance_ = nullptr;
    HINSTANCE typeLibInstance_ = nullptr;
    ClassEntry* classes_ = nullptr;
    volatile LONG lockCount_ = 0;
    CriticalSection typeInfoLock_;
    CriticalSection classTableLock_;
    ShutdownCallback* shutdownCallbacks_ = nullptr;
};

// The process-wide module record and the reference to it that start-up stores.
ServerModule& TheServerModule();
ServerModule* ActiveServerModule();
void SetActiveServerModule(ServerModule* module);
