#include "ScriptGenerator.h"

#include <algorithm>
#include <cstdio>

namespace {
const long kClassesPerGroup = 100;
const long kKeysPerClass = 11;  // 5 beneath the ProgIDs, 6 in the class key's tree
const long kKeysPerGroup = 2;   // the group key and its CLSID

std::string Format(const char* pattern, long a, long b = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

std::string ClassId(long n) { return Format("{B3E7C0DE-5A1D-4E2F-9C3B-%012lX}", n); }
std::string ProgId(long n) { return Format("Bench.Class%ld", n); }

void AppendProgIds(std::string& out, long n)
{
    std::string progId = ProgId(n);
    std::string clsid = ClassId(n);
    out += "\t\t" + progId + ".1 = s 'Bench Class " + std::to_string(n) + "'\r\n\t\t{\r\n";
    out += "\t\t\tCLSID = s '" + clsid + "'\r\n\t\t}\r\n";
    out += "\t\t" + progId + " = s 'Bench Class " + std::to_string(n) + "'\r\n\t\t{\r\n";
    out += "\t\t\tCLSID = s '" + clsid + "'\r\n";
    out += "\t\t\tCurVer = s '" + progId + ".1'\r\n\t\t}\r\n";
}

void AppendClassKey(std::string& out, long n)
{
    std::string progId = ProgId(n);
    out += "\t\t\tForceRemove " + ClassId(n) + " = s 'Bench Class " + std::to_string(n) + "'\r\n\t\t\t{\r\n";
    out += "\t\t\t\tProgID = s '" + progId + ".1'\r\n";
    out += "\t\t\t\tVersionIndependentProgID = s '" + progId + "'\r\n";
    out += "\t\t\t\tForceRemove 'Programmable'\r\n";
    out += "\t\t\t\tInprocServer32 = s '%MODULE%'\r\n\t\t\t\t{\r\n";
    out += "\t\t\t\t\tval ThreadingModel = s 'Apartment'\r\n\t\t\t\t}\r\n";
    out += "\t\t\t\t'TypeLib' = s '{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}'\r\n\t\t\t}\r\n";
}
}

GeneratedScript GenerateScript(long keys)
{
    GeneratedScript script;
    std::string& out = script.text;
    out.reserve(static_cast<size_t>(keys) * 56 + 64);
    out += "HKCR\r\n{\r\n";
    script.depth = 1;
    long left = keys;
    long next = 1;
    while (left >= kKeysPerGroup + kKeysPerClass) {
        long classes = std::min(kClassesPerGroup, (left - kKeysPerGroup) / kKeysPerClass);
        ++script.groups;
        out += Format("\t'Bench Group %ld'\r\n\t{\r\n", script.groups);
        for (long i = 0; i < classes; ++i)
            AppendProgIds(out, next + i);
        out += "\t\tNoRemove CLSID\r\n\t\t{\r\n";
        for (long i = 0; i < classes; ++i)
            AppendClassKey(out, next + i);
        out += "\t\t}\r\n\t}\r\n";
        next += classes;
        script.classes += classes;
        left -= kKeysPerGroup + classes * kKeysPerClass;
        script.depth = 5;  // root, group, CLSID, class key, InprocServer32
    }
    for (long i = 1; i <= left; ++i)
        out += Format("\tBench.Padding%ld = s 'padding %ld'\r\n", i, i);
    out += "}\r\n";
    script.padding = left;
    script.keys = script.groups * kKeysPerGroup + script.classes * kKeysPerClass + script.padding;
    // Every key but Programmable has a default value; InprocServer32 adds ThreadingModel.
    script.values = script.classes * kKeysPerClass + script.padding;
    script.remaining = script.groups * kKeysPerGroup;
    return script;
}
