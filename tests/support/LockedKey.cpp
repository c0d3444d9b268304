#include "support/LockedKey.h"

LockedKey::LockedKey(HKEY root, const char* path, REGSAM view)
{
    RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr, &key_, nullptr);
    DWORD size = 0;
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    original_.resize(size);
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data(), &size);
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SECURITY_DESCRIPTOR locked;
    InitializeSecurityDescriptor(&locked, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&locked, TRUE, &empty, FALSE);
    RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &locked);
}

LockedKey::~LockedKey()
{
    if (!original_.empty())
        RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data());
    if (key_ != nullptr)
        RegCloseKey(key_);
}
