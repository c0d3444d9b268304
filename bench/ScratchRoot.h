#pragma once
#include <windows.h>

#include <string>

// HKEY_CLASSES_ROOT of this process pointed at a fresh key beneath HKCU\Software\MorvalethBench
// for the life of the object; afterwards the redirection is undone and the key tree removed,
// so that the prefix keeps nothing of a run.
class RedirectedClassesRoot {
public:
    explicit RedirectedClassesRoot(const char* name);
    ~RedirectedClassesRoot();
    RedirectedClassesRoot(const RedirectedClassesRoot&) = delete;
    RedirectedClassesRoot& operator=(const RedirectedClassesRoot&) = delete;

    bool Active() const { return active_; }
    HKEY Scratch() const { return scratch_; }
    // Removes everything beneath the scratch key, leaving the key and the redirection.
    void Clear();

private:
    std::string path_;
    HKEY scratch_ = nullptr;
    bool active_ = false;
};

// Number of keys in the tree beneath `key`, the key itself not counted.
long CountSubkeys(HKEY key);
bool KeyPresent(HKEY root, const char* path);
// Removes HKCU\Software\MorvalethBench when nothing is left in it.
void RemoveBenchKeyIfEmpty();
