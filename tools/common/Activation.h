#pragma once
#include <windows.h>

#include <string>

// A run-time activation context made from the assembly manifest (resource 1) of a DLL, active on
// this thread from construction until Deactivate or destruction. Nothing is registered or written.
class ManifestContext {
public:
    explicit ManifestContext(const std::wstring& dll);
    ~ManifestContext();
    ManifestContext(const ManifestContext&) = delete;
    ManifestContext& operator=(const ManifestContext&) = delete;

    // S_OK while active; the reason it could not be made or activated otherwise.
    HRESULT Result() const { return result_; }
    // Leaves the context (the handle goes with the holder), as a script host does after CreateObject.
    void Deactivate();

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    HRESULT result_ = E_FAIL;
};

// A Validate object and the way it was reached: through the class's registration, or through the
// assembly manifest of a named DLL with nothing registered. The context stays active while the
// holder lives; the object is released before the context goes.
class ActivatedObject {
public:
    ActivatedObject() = default;
    ~ActivatedObject();
    ActivatedObject(const ActivatedObject&) = delete;
    ActivatedObject& operator=(const ActivatedObject&) = delete;

    // CLSIDFromProgID("Morvaleth.Validate") and CoCreateInstance, as any client does.
    HRESULT ThroughRegistration(REFIID iid);
    // The same inside an activation context made from resource 1 of `dll`; writes nothing.
    HRESULT ThroughManifest(const std::wstring& dll, REFIID iid);

    IUnknown* Object() const { return object_; }
    // The file of the module whose code serves the object.
    std::wstring Module() const;

private:
    void Release();

    IUnknown* object_ = nullptr;
    ManifestContext* context_ = nullptr;
};

// CLSIDFromProgID and CoCreateInstance in process, in whatever activation context is current.
HRESULT CreateByProgId(const wchar_t* progId, REFIID iid, void** object);
// The class is simply not there (as opposed to there but failing).
bool IsNotRegistered(HRESULT result);
// The file of the module whose code serves an object (its first interface's table); empty if none.
std::wstring ServingModule(IUnknown* object);
