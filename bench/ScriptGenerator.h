#pragma once
#include <string>

// A registration script of exactly `keys` key entries beneath HKCR, made of class registrations
// shaped like the library's own script (two ProgIDs, a "ForceRemove" class key with ProgID,
// VersionIndependentProgID, Programmable, InprocServer32 = '%MODULE%' with its ThreadingModel
// value, and TypeLib). Classes go in groups of at most 100, each group a key of its own with a
// "NoRemove CLSID" beneath it, so that no key gets more than about 200 subkeys: the registry's
// cost per key stays the same at every size and only the interpreter's growth shows.
struct GeneratedScript {
    std::string text;
    long keys = 0;        // key entries in the text
    long classes = 0;
    long groups = 0;
    long padding = 0;     // plain keys that make the count exact
    long values = 0;      // default and named values written by the register pass
    long remaining = 0;   // keys that the unregister pass leaves: each group and its CLSID
    int depth = 0;        // deepest brace level, the root block's counted
};

GeneratedScript GenerateScript(long keys);
