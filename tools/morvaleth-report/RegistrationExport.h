#pragma once
#include <cstdio>
#include <string>

// Runs the DLL's DllRegisterServer with HKEY_CLASSES_ROOT redirected to a scratch key and prints
// what it wrote as a REGEDIT4 file; the scratch key is removed afterwards. Returns an HRESULT.
long ExportRegistration(const std::string& dllPath, std::FILE* out);
