// The library's own registration script in both passes, with each of its keys in turn made
// unusable beneath a scratch classes root, on a clean root and over an earlier registration.
//
// Faults, made with RegSetKeySecurity (Wine enforces key security):
// - Locked: an empty DACL; the key can be neither opened nor created.
// - ReadOnly: Everyone may read and nothing else; the key opens with KEY_READ only, so no value can
//   be written into it or removed from it, no subkey created beneath it, and it cannot be deleted.
//   Every value of the script lives in one of the keys, so this also refuses each value in turn.
// Wine 8 enforces less of the read-only DACL than Windows: it creates a subkey beneath a handle
// opened with KEY_READ alone and deletes a key whose DACL does not grant DELETE (it does refuse
// KEY_ALL_ACCESS, KEY_WRITE, setting and deleting values). The test asks the platform which it
// does and expects accordingly.
// A value that the platform refuses does not fail the pass (RegSetValueExA is not examined), so
// over a read-only key registration succeeds without that key's values. A failed pass leaves the
// registry byte for byte as it was, over a clean root and over an earlier registration alike.
// Unregistration removes all it may and fails when a key of the script stays because the platform
// refused it.
// Faults that the platform cannot be made to produce on a real key, and so are not swept: a
// failing RegCloseKey or RegQueryInfoKeyA on an open key, a full registry, a key that can be
// created but not then written.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "ScratchRoots.h"
#include "registrar/ScriptParser.h"
#include "support/Paths.h"

namespace {

const std::string kClass = "HKCR\\CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}";
const wchar_t kModule[] = L"C:\\Program Files\\Morvaleth\\MORVAL~1.DLL";
const char kUnrelatedKey[] = "CLSID\\{0F1E2D3C-0000-4000-8000-00000000BEEF}";

// The keys of the script in the order it names them.
struct ScriptKey {
    std::string path;
    bool subBlock;      // the script gives it a block of its own
    bool subkeys;       // the script names keys beneath it
    bool forcedBeneath;  // registering removes a key beneath it first ("ForceRemove")
};

const std::vector<ScriptKey>& ScriptKeys()
{
    static const std::vector<ScriptKey> keys = {
        {"HKCR\\Morvaleth.Validate.7", true, true, false},
        {"HKCR\\Morvaleth.Validate.7\\CLSID", false, false, false},
        {"HKCR\\Morvaleth.Validate", true, true, false},
        {"HKCR\\Morvaleth.Validate\\CLSID", false, false, false},
        {"HKCR\\Morvaleth.Validate\\CurVer", false, false, false},
        {"HKCR\\CLSID", true, true, true},
        {kClass, true, true, true},
        {kClass + "\\ProgID", false, false, false},
        {kClass + "\\VersionIndependentProgID", false, false, false},
        {kClass + "\\Programmable", false, false, false},
        {kClass + "\\InprocServer32", true, false, false},
        {kClass + "\\TypeLib", false, false, false},
    };
    return keys;
}

enum class Fault { Locked, ReadOnly };
enum class Start { Clean, Registered };

std::string Parent(const std::string& path) { return path.substr(0, path.rfind('\\')); }

bool IsBeneath(const std::string& path, const std::string& ancestor)
{
    return path.size() > ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0 &&
           path[ancestor.size()] == '\\';
}

// "HKCR\\a\\b" as a path beneath the classes root: "a\\b".
std::string BeneathRoot(const std::string& path) { return path.substr(5); }

// A key of the scratch classes root with a DACL that the fault gives it; the DACL it had is put
// back when the holder goes, through a handle taken before, so the key can be removed.
class FaultyKey {
public:
    FaultyKey(HKEY classes, const std::string& path, Fault fault)
    {
        if (RegCreateKeyExA(classes, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key_, nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        original_.resize(size);
        if (RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data(), &size) != ERROR_SUCCESS)
            return;

        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        BYTE aclBytes[256];
        PACL acl = reinterpret_cast<PACL>(aclBytes);
        InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
        if (fault == Fault::ReadOnly)
            AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
        applied_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
        FreeSid(everyone);
    }
    ~FaultyKey()
    {
        if (applied_)
            RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data());
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    FaultyKey(const FaultyKey&) = delete;
    FaultyKey& operator=(const FaultyKey&) = delete;

    bool Applied() const { return applied_; }

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> original_;
    bool applied_ = false;
};

HRESULT ApplyLibraryScript(BOOL doRegister)
{
    static const std::string script = ReadFileBytes(BesideExecutable("Morvaleth.rgs"));
    ScriptVariables variables;
    variables.Add(L"Module", kModule);
    ScriptParser parser;
    return parser.Apply(script.c_str(), variables, doRegister);
}

// What the platform refuses beneath a key whose DACL grants KEY_READ alone.
struct ReadOnlyRefusals {
    bool createBeneath;  // creating a subkey through a handle opened with KEY_READ
    bool deletion;       // deleting the key (DELETE is not granted)
};

std::string KeyOf(const std::string& value) { return value.substr(0, value.find('\x01')); }

ReadOnlyRefusals AskThePlatform(HKEY scratch)
{
    ReadOnlyRefusals refusals = {true, true};
    {
        FaultyKey probe(scratch, "Probe", Fault::ReadOnly);
        HKEY readable = nullptr, child = nullptr;
        if (RegOpenKeyExA(scratch, "Probe", 0, KEY_READ, &readable) == ERROR_SUCCESS) {
            refusals.createBeneath = RegCreateKeyExA(readable, "Child", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                     KEY_ALL_ACCESS, nullptr, &child, nullptr) != ERROR_SUCCESS;
            if (child != nullptr) {
                RegCloseKey(child);
                RegDeleteKeyA(readable, "Child");
            }
            RegCloseKey(readable);
        }
        refusals.deletion = RegDeleteKeyA(scratch, "Probe") != ERROR_SUCCESS;
    }
    RegDeleteKeyA(scratch, "Probe");
    return refusals;
}

void MakeKey(HKEY parent, const std::string& path, const char* valueName = nullptr)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << path;
    if (valueName != nullptr)
        RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>("kept"), 5);
    RegCloseKey(key);
}

struct SweepCase {
    ScriptKey key;
    Fault fault;
    Start start;
};

void PrintTo(const SweepCase& sweep, std::ostream* out)
{
    *out << (sweep.fault == Fault::Locked ? "locked " : "read-only ") << sweep.key.path
         << (sweep.start == Start::Clean ? " on a clean root" : " over a registration");
}

std::string CaseName(const testing::TestParamInfo<SweepCase>& info)
{
    std::string name = info.param.fault == Fault::Locked ? "Locked_" : "ReadOnly_";
    name += info.param.start == Start::Clean ? "Clean_" : "Registered_";
    std::string path = info.param.key.path.substr(5);
    for (char& c : path)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name + path;
}

class RegistrationFaultSweep : public testing::TestWithParam<SweepCase> {
protected:
    void SetUp() override
    {
        classes = roots.Scratch(HKEY_CLASSES_ROOT);
        ASSERT_NE(nullptr, classes);
        refusals = AskThePlatform(classes);
        MakeKey(classes, kUnrelatedKey, "Unrelated");
        // What a registration without faults writes, next to the unrelated key.
        ASSERT_EQ(S_OK, ApplyLibraryScript(TRUE));
        registered = roots.Snapshot();
        std::vector<std::string> expectedKeys = {"HKCR\\" + std::string(kUnrelatedKey)};
        for (const ScriptKey& key : ScriptKeys())
            expectedKeys.push_back(key.path);
        ASSERT_EQ(std::set<std::string>(expectedKeys.begin(), expectedKeys.end()), registered.keys)
            << "the table of keys must be the script's";
        ASSERT_EQ(12u, registered.values.size());  // 11 of the script, 1 unrelated

        if (GetParam().start == Start::Clean) {
            roots.Clear();
            MakeKey(classes, kUnrelatedKey, "Unrelated");
            std::string path = BeneathRoot(GetParam().key.path);
            if (path.find('\\') != std::string::npos)
                MakeKey(classes, Parent(path));
        }
    }
    void TearDown() override { roots.Clear(); }

    ScratchRoots roots{"FaultSweep"};
    HKEY classes = nullptr;
    RegistryTree registered;
    ReadOnlyRefusals refusals = {};
};

TEST_P(RegistrationFaultSweep, RegisterFailsWholeOrWritesAllItCan)
{
    const SweepCase& sweep = GetParam();
    RegistryTree after, before;
    HRESULT result;
    {
        FaultyKey faulty(classes, BeneathRoot(sweep.key.path), sweep.fault);
        ASSERT_TRUE(faulty.Applied());
        before = roots.Snapshot();
        result = ApplyLibraryScript(TRUE);
        after = roots.Snapshot();
    }

    // A key that can be neither opened nor created fails the pass; so does one that opens for
    // reading only when the pass must create a key beneath it. A value that the platform refuses
    // does not fail the walk (the design does not examine RegSetValueExA).
    bool mustCreateBeneath = sweep.start == Start::Clean ? sweep.key.subkeys : sweep.key.forcedBeneath;
    bool fails = sweep.fault == Fault::Locked || (mustCreateBeneath && refusals.createBeneath);
    HRESULT expected = fails ? DISP_E_EXCEPTION : S_OK;
    ASSERT_EQ(expected, result);

    if (SUCCEEDED(result)) {
        // Everything is written but the values of the read-only key, which keep what they had.
        RegistryTree wanted = registered;
        for (auto value = wanted.values.begin(); value != wanted.values.end();) {
            if (KeyOf(value->first) == sweep.key.path && !before.values.count(value->first))
                value = wanted.values.erase(value);
            else
                ++value;
        }
        EXPECT_EQ(wanted, after) << "missing:\n" << Difference(wanted, after) << "extra:\n" << Difference(after, wanted);
        return;
    }

    EXPECT_EQ(before, after) << "lost:\n" << Difference(before, after) << "left behind:\n" << Difference(after, before);
}

// The script keys that the unregister pass leaves in place: "NoRemove" CLSID; a key it cannot
// open, with the keys of its block; a key it may not delete; and every key above an existing key
// that stays, since a key that still has subkeys is never deleted.
std::set<std::string> KeysThatStay(const std::set<std::string>& existing, const std::set<std::string>& unopenable,
                                   const std::set<std::string>& undeletable)
{
    const std::vector<ScriptKey>& keys = ScriptKeys();
    std::set<std::string> stay = {"HKCR\\CLSID"};
    for (const ScriptKey& key : keys) {
        for (const std::string& top : unopenable)
            if (key.path == top || IsBeneath(key.path, top))
                stay.insert(key.path);
        if (undeletable.count(key.path))
            stay.insert(key.path);
    }
    for (const ScriptKey& key : keys)
        for (const std::string& kept : std::set<std::string>(stay))
            if (existing.count(kept) && IsBeneath(kept, key.path))
                stay.insert(key.path);
    return stay;
}

// Removes what it can reach and may delete, writes nothing, and fails when a key of the script
// stays because the platform refused it.
TEST_P(RegistrationFaultSweep, UnregisterRemovesWhatItMayAndReportsWhatWasRefused)
{
    const SweepCase& sweep = GetParam();
    RegistryTree after, before;
    HRESULT result;
    {
        FaultyKey faulty(classes, BeneathRoot(sweep.key.path), sweep.fault);
        ASSERT_TRUE(faulty.Applied());
        before = roots.Snapshot();
        result = ApplyLibraryScript(FALSE);
        after = roots.Snapshot();
    }
    // A locked key cannot even be looked into; CLSID itself is never removed.
    bool refused = sweep.fault == Fault::Locked ||
                   (refusals.deletion && sweep.key.path != "HKCR\\CLSID");
    EXPECT_EQ(refused ? HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) : S_OK, result);

    std::set<std::string> unopenable, undeletable;
    for (const ScriptKey& key : ScriptKeys())
        if (!before.keys.count(key.path))
            unopenable.insert(key.path);  // missing, or locked
    if (sweep.fault == Fault::ReadOnly && refusals.deletion)
        undeletable.insert(sweep.key.path);
    std::set<std::string> existing = before.keys;
    existing.insert(before.unreadable.begin(), before.unreadable.end());
    std::set<std::string> stay = KeysThatStay(existing, unopenable, undeletable);

    RegistryTree wanted;
    for (const std::string& key : before.keys) {
        bool scriptKey = false;
        for (const ScriptKey& named : ScriptKeys())
            scriptKey = scriptKey || named.path == key;
        if (!scriptKey || stay.count(key))
            wanted.keys.insert(key);
    }
    wanted.unreadable = before.unreadable;
    for (const auto& value : before.values)
        if (wanted.keys.count(KeyOf(value.first)))
            wanted.values.insert(value);
    EXPECT_EQ(wanted, after) << "should have stayed:\n"
                             << Difference(wanted, after) << "should have gone:\n"
                             << Difference(after, wanted);
}

std::vector<SweepCase> AllCases()
{
    std::vector<SweepCase> cases;
    for (Start start : {Start::Clean, Start::Registered})
        for (Fault fault : {Fault::Locked, Fault::ReadOnly})
            for (const ScriptKey& key : ScriptKeys())
                cases.push_back({key, fault, start});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(LibraryScript, RegistrationFaultSweep, testing::ValuesIn(AllCases()), CaseName);

}  // namespace
