#pragma once
#include <windows.h>
#include <oaidl.h>

#include <functional>

// The built DLL's type library, registered as the registration code does (RegisterTypeLib with the
// DLL's folder as help folder) for the life of the object, so that LoadRegTypeLib finds it.
class TypeLibraryRegistration {
public:
    TypeLibraryRegistration();
    ~TypeLibraryRegistration();
    TypeLibraryRegistration(const TypeLibraryRegistration&) = delete;
    TypeLibraryRegistration& operator=(const TypeLibraryRegistration&) = delete;

    HRESULT Register();
    HRESULT Unregister();
};

// A thread running `body`, joined (and waited for without limit) when destroyed.
class TestThread {
public:
    explicit TestThread(std::function<void()> body);
    ~TestThread();
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    bool Finished(DWORD milliseconds);

private:
    static DWORD WINAPI Run(void* self);
    std::function<void()> body_;
    HANDLE handle_ = nullptr;
};

// The reference count of an object, read through an AddRef and Release pair.
ULONG References(IUnknown* object);

// Automation wants writable name strings; nobody writes to them.
inline LPOLESTR Name(const wchar_t* text) { return const_cast<LPOLESTR>(text); }

class ServerModule;
// Runs body(0) .. body(count - 1) on as many threads that all meet at the module's
// type-information lock: it is held until every thread has started and had time to reach it.
void RunMeetingAtTheLock(ServerModule& module, int count, const std::function<void(int)>& body,
                         const std::function<void()>& beforeRelease);
