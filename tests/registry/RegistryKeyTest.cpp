#include "registry/RegistryKey.h"
#include "support/ScratchKey.h"

#include <gtest/gtest.h>

namespace {

const char kRoot[] = "Software\\MorvalethTests\\RegistryKey";

class RegistryKeyTest : public testing::Test {
protected:
    ScratchKey scratch{HKEY_CURRENT_USER, kRoot};
    std::string Sub(const std::string& name) const { return std::string(kRoot) + "\\" + name; }
    static bool HandleIsOpen(HKEY key)
    {
        DWORD subkeys = 0;
        return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
};

TEST_F(RegistryKeyTest, FailedOpenKeepsTheHeldKey)
{
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kRoot, KEY_READ));
    HKEY held = key.Handle();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.Open(scratch.Handle(), "Missing", KEY_READ));
    EXPECT_EQ(held, key.Handle());
    EXPECT_TRUE(HandleIsOpen(key.Handle()));
}

TEST_F(RegistryKeyTest, OpenOverAHeldKeyClosesTheOldOne)
{
    SetDwordValue(HKEY_CURRENT_USER, Sub("Second"), "Marker", 7);
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kRoot, KEY_READ));
    HKEY first = key.Handle();
    ASSERT_EQ(ERROR_SUCCESS, key.Open(scratch.Handle(), "Second", KEY_READ));
    EXPECT_NE(first, key.Handle());
    EXPECT_FALSE(HandleIsOpen(first));
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key.Handle(), "Marker", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(7u, value);
}

TEST_F(RegistryKeyTest, CreateMakesOrOpensAndFailureKeepsTheHeldKey)
{
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Create(scratch.Handle(), "Made"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub("Made")));
    HKEY held = key.Handle();
    ASSERT_EQ(ERROR_SUCCESS, key.Create(scratch.Handle(), "Made"));  // already there
    EXPECT_FALSE(HandleIsOpen(held));
    held = key.Handle();
    EXPECT_NE(ERROR_SUCCESS, key.Create(reinterpret_cast<HKEY>(0x1234), "Nowhere"));
    EXPECT_EQ(held, key.Handle());
}

TEST_F(RegistryKeyTest, CloseOnAnEmptyHolderSucceeds)
{
    RegistryKey key;
    EXPECT_EQ(ERROR_SUCCESS, key.Close());
    EXPECT_EQ(nullptr, key.Handle());
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kRoot, KEY_READ));
    HKEY held = key.Handle();
    EXPECT_EQ(ERROR_SUCCESS, key.Close());
    EXPECT_EQ(nullptr, key.Handle());
    EXPECT_FALSE(HandleIsOpen(held));
    EXPECT_EQ(ERROR_SUCCESS, key.Close());
}

TEST_F(RegistryKeyTest, DestructionClosesTheKey)
{
    HKEY held = nullptr;
    {
        RegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kRoot, KEY_READ));
        held = key.Handle();
    }
    EXPECT_FALSE(HandleIsOpen(held));
}

TEST_F(RegistryKeyTest, DetachAfterAttachLeavesTheLentHandleOpen)
{
    HKEY lent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &lent));
    {
        RegistryKey key;
        key.Attach(lent);
        EXPECT_EQ(lent, key.Handle());
        EXPECT_EQ(lent, key.Detach());
        EXPECT_EQ(nullptr, key.Handle());
    }
    EXPECT_TRUE(HandleIsOpen(lent));
    RegCloseKey(lent);
}

TEST_F(RegistryKeyTest, DeleteTreeOfAMissingKeyReportsTheOpenError)
{
    SetDwordValue(HKEY_CURRENT_USER, Sub("Keep"), "Marker", 1);
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kRoot, KEY_ALL_ACCESS));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.DeleteTree("Missing"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub("Keep")));
}

TEST_F(RegistryKeyTest, DeleteTreeRemovesThreeLevelsAndSparesSiblings)
{
    for (const char* path : {"Tree\\A\\A1\\A11", "Tree\\A\\A2", "Tree\\B\\B1\\B11", "Tree\\C", "Sibling"})
        SetStringValue(HKEY_CURRENT_USER, Sub(path), nullptr, "x");
    SetDwordValue(HKEY_CURRENT_USER, Sub("Tree\\A"), "Named", 3);
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kRoot, KEY_ALL_ACCESS));
    EXPECT_EQ(ERROR_SUCCESS, key.DeleteTree("Tree"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub("Tree")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub("Sibling")));
}

TEST_F(RegistryKeyTest, DeleteTreeStopsAtASubkeyThatCannotBeRemoved)
{
    SetStringValue(HKEY_CURRENT_USER, Sub("Tree\\Locked\\Inner"), nullptr, "x");
    // An empty DACL: the locked key cannot be opened to remove what lies beneath it.
    HKEY locked = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Sub("Tree\\Locked").c_str(), 0,
                                           KEY_ALL_ACCESS, &locked));
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    ACL acl;
    InitializeAcl(&acl, sizeof acl, ACL_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE);
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, &sd));
    RegCloseKey(locked);

    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, kRoot, KEY_ALL_ACCESS));
    EXPECT_EQ(ERROR_ACCESS_DENIED, key.DeleteTree("Tree"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub("Tree")));

    // Give the key back its access so that the fixture can go.
    HKEY writable = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Sub("Tree\\Locked").c_str(), 0, WRITE_DAC, &writable) == ERROR_SUCCESS) {
        SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
        RegSetKeySecurity(writable, DACL_SECURITY_INFORMATION, &sd);
        RegCloseKey(writable);
    }
}

}  // namespace
