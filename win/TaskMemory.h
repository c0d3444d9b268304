#pragma once
#include <windows.h>
#include <objbase.h>

// Owns one block of the task allocator until it is handed on with Release().
template <typename T>
class TaskMemory {
public:
    TaskMemory() = default;
    explicit TaskMemory(T* block) : block_(block) {}
    ~TaskMemory() { CoTaskMemFree(block_); }
    TaskMemory(const TaskMemory&) = delete;
    TaskMemory& operator=(const TaskMemory&) = delete;

    bool Allocate(SIZE_T count)
    {
        CoTaskMemFree(block_);
        block_ = static_cast<T*>(CoTaskMemAlloc(count * sizeof(T)));
        return block_ != nullptr;
    }
    T* Get() const { return block_; }
    T* Release()
    {
        T* block = block_;
        block_ = nullptr;
        return block;
    }

private:
    T* block_ = nullptr;
};
