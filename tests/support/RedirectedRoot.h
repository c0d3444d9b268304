#pragma once
#include <windows.h>

#include <string>

#include "support/ScratchKey.h"

// Points a predefined root (HKEY_CLASSES_ROOT, ...) of this process at a scratch key for the
// life of the object, then undoes the redirection and removes the scratch key.
class RedirectedRoot {
public:
    RedirectedRoot(HKEY root, const std::string& scratchPath);
    ~RedirectedRoot();
    RedirectedRoot(const RedirectedRoot&) = delete;
    RedirectedRoot& operator=(const RedirectedRoot&) = delete;
    const ScratchKey& Scratch() const { return scratch_; }

private:
    HKEY root_;
    ScratchKey scratch_;
};
