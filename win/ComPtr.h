#pragma once
#include <windows.h>
#include <unknwn.h>

// Owns one reference to a COM interface; releases it when it goes or is reset. Empties itself
// before the release, so that code the release runs sees the holder empty.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    // For an out-parameter that hands over a reference; the holder must be empty.
    T** Receive() { return &pointer_; }
    void** ReceiveVoid() { return reinterpret_cast<void**>(&pointer_); }
    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Takes over a reference the caller holds.
    void Adopt(T* pointer)
    {
        Reset();
        pointer_ = pointer;
    }
    // Hands the reference on; the holder is empty afterwards.
    T* Detach()
    {
        T* pointer = pointer_;
        pointer_ = nullptr;
        return pointer;
    }
    void Reset()
    {
        T* held = Detach();
        if (held != nullptr)
            held->Release();
    }

private:
    T* pointer_ = nullptr;
};
