#include "support/RedirectedRoot.h"

#include <stdexcept>

RedirectedRoot::RedirectedRoot(HKEY root, const std::string& scratchPath)
    : root_(root), scratch_(HKEY_CURRENT_USER, scratchPath)
{
    if (RegOverridePredefKey(root_, scratch_.Handle()) != ERROR_SUCCESS)
        throw std::runtime_error("RegOverridePredefKey failed");
}

RedirectedRoot::~RedirectedRoot() { RegOverridePredefKey(root_, nullptr); }
