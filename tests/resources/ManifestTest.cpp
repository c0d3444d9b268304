// The assembly manifest that each DLL carries names what its registration writes: the class, both
// ProgIDs, the threading model, the type library and the interface, the version resource's version
// and the architecture of the file itself.
#include "support/Paths.h"
#include "support/RedirectedRoot.h"
#include "support/ScratchKey.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

namespace {

std::string ManifestOf(const std::string& dll)
{
    HMODULE module = LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return std::string();
    std::string text;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)))
        text.assign(static_cast<const char*>(LockResource(LoadResource(module, found))), SizeofResource(module, found));
    FreeLibrary(module);
    return text;
}

// Attributes of every <element ...> in order, as "name=value" pairs; the text of <progid>.
std::vector<std::string> Attributes(const std::string& xml, const std::string& element, const std::string& attribute)
{
    std::vector<std::string> values;
    std::regex tag("<" + element + "\\b([^>]*)>");
    std::regex pair("\\b" + attribute + "=\"([^\"]*)\"");
    for (std::sregex_iterator it(xml.begin(), xml.end(), tag), end; it != end; ++it) {
        std::smatch found;
        std::string inside = (*it)[1];
        values.push_back(std::regex_search(inside, found, pair) ? found[1].str() : "<none>");
    }
    return values;
}

std::string One(const std::string& xml, const std::string& element, const std::string& attribute)
{
    std::vector<std::string> values = Attributes(xml, element, attribute);
    return values.size() == 1 ? values[0] : "<" + std::to_string(values.size()) + " elements>";
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string FileVersion(const std::string& dll)
{
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(dll.c_str(), &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (block.empty() || !GetFileVersionInfoA(dll.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        return "<no version>";
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// The manifest's name for the machine in the file's own PE header.
std::string Architecture(const std::string& dll)
{
    std::string bytes = ReadFileBytes(dll);
    if (bytes.size() < 0x40)
        return "<not a PE file>";
    DWORD header = *reinterpret_cast<const DWORD*>(&bytes[0x3C]);
    if (bytes.size() < header + 6)
        return "<not a PE file>";
    WORD machine = *reinterpret_cast<const WORD*>(&bytes[header + 4]);
    return machine == IMAGE_FILE_MACHINE_I386 ? "x86" : machine == IMAGE_FILE_MACHINE_AMD64 ? "amd64" : "<other>";
}

std::string LongFileName(const std::string& path)
{
    char full[MAX_PATH] = {};
    GetLongPathNameA(path.c_str(), full, MAX_PATH);
    std::string name = full;
    return name.substr(name.find_last_of("\\/") + 1);
}

TEST(ManifestTest, NamesWhatTheRegistrationWrites)
{
    std::string dll = BesideExecutable("Morvaleth.DLL");
    std::string xml = ManifestOf(dll);
    ASSERT_FALSE(xml.empty()) << "no RT_MANIFEST 1";

    HMODULE server = LoadLibraryA(dll.c_str());
    ASSERT_NE(nullptr, server);
    typedef HRESULT(STDAPICALLTYPE * Export)();
    Export registerServer = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(server, "DllRegisterServer")));
    RedirectedRoot classes(HKEY_CLASSES_ROOT, "Software\\MorvalethTests\\Manifest");
    HRESULT registered = registerServer ? registerServer() : E_UNEXPECTED;
    FreeLibrary(server);
    ASSERT_EQ(S_OK, registered);

    const std::string clsid = One(xml, "comClass", "clsid");
    const std::string classKey = "CLSID\\" + clsid;
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, classKey)) << clsid;
    const std::string progId = One(xml, "comClass", "progid");
    std::smatch independent;
    ASSERT_TRUE(std::regex_search(xml, independent, std::regex("<progid>([^<]*)</progid>")));

    EXPECT_EQ("Morvaleth", One(xml, "assemblyIdentity", "name"));
    EXPECT_EQ(FileVersion(dll), One(xml, "assemblyIdentity", "version"));
    EXPECT_EQ(Architecture(dll), One(xml, "assemblyIdentity", "processorArchitecture"));
    EXPECT_EQ(Upper(LongFileName(GetStringValue(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", nullptr))),
              Upper(One(xml, "file", "name")));
    EXPECT_EQ(GetStringValue(HKEY_CLASSES_ROOT, classKey + "\\ProgID", nullptr), progId);
    EXPECT_EQ(GetStringValue(HKEY_CLASSES_ROOT, classKey + "\\VersionIndependentProgID", nullptr), independent[1].str());
    for (const std::string& name : {progId, independent[1].str()})
        EXPECT_EQ(clsid, GetStringValue(HKEY_CLASSES_ROOT, name + "\\CLSID", nullptr)) << name;
    EXPECT_EQ(GetStringValue(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel"),
              One(xml, "comClass", "threadingModel"));

    const std::string tlbid = One(xml, "typelib", "tlbid");
    EXPECT_EQ(GetStringValue(HKEY_CLASSES_ROOT, classKey + "\\TypeLib", nullptr), tlbid);
    EXPECT_EQ(tlbid, One(xml, "comClass", "tlbid"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + tlbid + "\\" + One(xml, "typelib", "version")));

    const std::string interfaceKey = "Interface\\" + One(xml, "comInterfaceExternalProxyStub", "iid");
    EXPECT_EQ(GetStringValue(HKEY_CLASSES_ROOT, interfaceKey, nullptr), One(xml, "comInterfaceExternalProxyStub", "name"));
    EXPECT_EQ(GetStringValue(HKEY_CLASSES_ROOT, interfaceKey + "\\ProxyStubClsid32", nullptr),
              One(xml, "comInterfaceExternalProxyStub", "proxyStubClsid32"));
    EXPECT_EQ(GetStringValue(HKEY_CLASSES_ROOT, interfaceKey + "\\TypeLib", nullptr),
              One(xml, "comInterfaceExternalProxyStub", "tlbid"));
}

TEST(ManifestTest, TheTwinWithoutTypeLibraryCarriesTheSameManifest)
{
    std::string xml = ManifestOf(BesideExecutable("Morvaleth.DLL"));
    ASSERT_FALSE(xml.empty());
    EXPECT_EQ(xml, ManifestOf(BesideExecutable("no-typelib\\Morvaleth.DLL")));
}

}  // namespace
