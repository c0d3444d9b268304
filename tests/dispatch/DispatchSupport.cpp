#include "DispatchSupport.h"

#include <Morvaleth.h>
#include <oleauto.h>

#include <string>
#include <memory>
#include <utility>
#include <vector>

#include "server/ServerModule.h"
#include "support/Paths.h"
#include "support/TargetPlatform.h"

namespace {
// The locale the library declares; RegisterTypeLib files it under this one.
const LCID kLibraryLocale = 0x409;
}

TypeLibraryRegistration::TypeLibraryRegistration() { Register(); }

TypeLibraryRegistration::~TypeLibraryRegistration() { Unregister(); }

HRESULT TypeLibraryRegistration::Register()
{
    std::wstring path = Widen(BesideExecutable("Morvaleth.DLL"));
    std::wstring folder = Widen(ExecutableDirectory());
    ITypeLib* library = nullptr;
    HRESULT result = LoadTypeLib(path.c_str(), &library);
    if (FAILED(result))
        return result;
    result = RegisterTypeLib(library, &path[0], &folder[0]);
    library->Release();
    return result;
}

HRESULT TypeLibraryRegistration::Unregister()
{
    return UnRegisterTypeLib(LIBID_MORVALETHLib, 1, 0, kLibraryLocale, kTargetSysKind);
}

TestThread::TestThread(std::function<void()> body) : body_(std::move(body))
{
    handle_ = CreateThread(nullptr, 0, &TestThread::Run, this, 0, nullptr);
}

TestThread::~TestThread()
{
    if (handle_ != nullptr) {
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
    }
}

bool TestThread::Finished(DWORD milliseconds)
{
    return handle_ != nullptr && WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0;
}

DWORD WINAPI TestThread::Run(void* self)
{
    static_cast<TestThread*>(self)->body_();
    return 0;
}

ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

void RunMeetingAtTheLock(ServerModule& module, int count, const std::function<void(int)>& body,
                         const std::function<void()>& beforeRelease)
{
    volatile LONG started = 0;
    std::vector<std::unique_ptr<TestThread>> threads;
    module.TypeInfoLock().Enter();
    for (int i = 0; i < count; ++i) {
        threads.push_back(std::make_unique<TestThread>([&, i] {
            InterlockedIncrement(&started);
            body(i);
        }));
    }
    while (started < count)
        Sleep(1);
    Sleep(200);
    beforeRelease();
    module.TypeInfoLock().Leave();
    threads.clear();
}
