#include "support/SavedRegistry.h"

#include <stdexcept>

struct SavedValueData {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

struct SavedTree {
    std::vector<SavedValueData> values;
    std::vector<std::pair<std::string, std::unique_ptr<SavedTree>>> children;
};

namespace {

HKEY OpenOrNull(HKEY root, const std::string& path, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

HKEY CreateOrThrow(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view,
                                  nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot create fixture key " + path);
    return key;
}

std::unique_ptr<SavedTree> Capture(HKEY key)
{
    auto tree = std::make_unique<SavedTree>();
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameLength = sizeof name;
        DWORD type = 0, size = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        SavedValueData value{std::string(name, nameLength), type, std::vector<BYTE>(size)};
        DWORD read = size;
        RegQueryValueExA(key, value.name.c_str(), nullptr, nullptr, size ? value.data.data() : nullptr, &read);
        tree->values.push_back(std::move(value));
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            tree->children.emplace_back(name, Capture(child));
            RegCloseKey(child);
        }
    }
    return tree;
}

void Recreate(HKEY root, const std::string& path, REGSAM view, const SavedTree& tree)
{
    HKEY key = CreateOrThrow(root, path, view);
    for (const SavedValueData& value : tree.values)
        RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
    for (const auto& child : tree.children)
        Recreate(root, path + "\\" + child.first, view, *child.second);
}

// The outermost component of `path` that does not exist yet, or empty when the key exists.
std::string FirstMissing(HKEY root, const std::string& path, REGSAM view)
{
    std::string::size_type end = 0;
    while (end != std::string::npos) {
        end = path.find('\\', end + 1);
        std::string prefix = path.substr(0, end);
        HKEY key = OpenOrNull(root, prefix, KEY_READ | view);
        if (key == nullptr)
            return prefix;
        RegCloseKey(key);
    }
    return std::string();
}

}  // namespace

void RemoveTreeInView(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = OpenOrNull(root, path, KEY_READ | view);
    if (key == nullptr)
        return;
    std::vector<std::string> children;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children)
        RemoveTreeInView(root, path + "\\" + child, view);
    RegDeleteKeyExA(root, path.c_str(), view, 0);
}

SavedKey::SavedKey(HKEY root, const std::string& path, REGSAM view) : root_(root), path_(path), view_(view)
{
    createdTop_ = FirstMissing(root_, path_, view_);
    if (createdTop_.empty()) {
        HKEY key = OpenOrNull(root_, path_, KEY_READ | view_);
        if (key == nullptr)
            throw std::runtime_error("cannot read the key to save: " + path_);
        saved_ = Capture(key);
        RegCloseKey(key);
    }
}

SavedKey::~SavedKey()
{
    RestoreAccess();
    if (saved_ != nullptr) {
        RemoveTreeInView(root_, path_, view_);
        try {
            Recreate(root_, path_, view_, *saved_);
        } catch (const std::exception&) {
        }
    } else {
        RemoveTreeInView(root_, createdTop_, view_);
    }
}

void SavedKey::MakeEmpty()
{
    RestoreAccess();
    RemoveTreeInView(root_, path_, view_);
    RegCloseKey(CreateOrThrow(root_, path_, view_));
}

void SavedKey::Remove()
{
    RestoreAccess();
    RemoveTreeInView(root_, path_, view_);
}

void SavedKey::SetRaw(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = CreateOrThrow(root_, path_, view_);
    LONG result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot write a fixture value under " + path_);
}

void SavedKey::SetDword(const char* name, DWORD value) { SetRaw(name, REG_DWORD, &value, sizeof value); }

void SavedKey::SetString(const char* name, const std::string& text)
{
    SetRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SavedKey::DeleteValue(const char* name)
{
    HKEY key = CreateOrThrow(root_, path_, view_);
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

void SavedKey::MakeUnreadable()
{
    if (lockedKey_ != nullptr)
        return;
    // The handle keeps its access after the DACL is gone: it gives the access back later.
    HKEY key = CreateOrThrow(root_, path_, view_);
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    originalSecurity_ = LocalAlloc(LPTR, size);
    if (originalSecurity_ == nullptr ||
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, originalSecurity_, &size) != ERROR_SUCCESS) {
        RegCloseKey(key);
        throw std::runtime_error("cannot read the security of " + path_);
    }
    SECURITY_DESCRIPTOR locked;
    ACL emptyAcl;
    InitializeSecurityDescriptor(&locked, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION);
    SetSecurityDescriptorDacl(&locked, TRUE, &emptyAcl, FALSE);
    LONG result = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &locked);
    lockedKey_ = key;
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot lock " + path_);
}

void SavedKey::RestoreAccess()
{
    if (lockedKey_ == nullptr)
        return;
    RegSetKeySecurity(lockedKey_, DACL_SECURITY_INFORMATION, originalSecurity_);
    RegCloseKey(lockedKey_);
    LocalFree(originalSecurity_);
    lockedKey_ = nullptr;
    originalSecurity_ = nullptr;
}

SavedValue::SavedValue(HKEY root, const std::string& path, const char* name, REGSAM view)
    : root_(root), path_(path), name_(name), view_(view)
{
    HKEY key = OpenOrNull(root_, path_, KEY_READ | view_);
    if (key == nullptr)
        throw std::runtime_error("the key of a saved value must exist: " + path_);
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
        existed_ = true;
        data_.resize(size);
        RegQueryValueExA(key, name, nullptr, &type_, size ? data_.data() : nullptr, &size);
    }
    RegCloseKey(key);
}

SavedValue::~SavedValue()
{
    if (existed_)
        Set(type_, data_.data(), static_cast<DWORD>(data_.size()));
    else
        Delete();
}

void SavedValue::Set(DWORD type, const void* data, DWORD size)
{
    HKEY key = OpenOrNull(root_, path_, KEY_SET_VALUE | view_);
    if (key == nullptr)
        throw std::runtime_error("cannot write under " + path_);
    LONG result = RegSetValueExA(key, name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot write " + name_);
}

void SavedValue::Delete()
{
    HKEY key = OpenOrNull(root_, path_, KEY_SET_VALUE | view_);
    if (key == nullptr)
        return;
    RegDeleteValueA(key, name_.c_str());
    RegCloseKey(key);
}
