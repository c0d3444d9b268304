#pragma once
#include <windows.h>

#include <string>

// A Validate object and the way it was reached: through the class's registration, or through the
// assembly manifest of a named DLL with nothing registered. The manifest's activation context
// stays active while the holder lives, so that late-bound calls find the type library through it;
// the object is released before the context goes.
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
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

// The class is simply not there (as opposed to there but failing).
bool IsNotRegistered(HRESULT result);
