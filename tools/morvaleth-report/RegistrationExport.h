#pragma once
#include <cstdio>
#include <string>

// Runs the DLL's DllRegisterServer with HKEY_CLASSES_ROOT redirected to a scratch key and prints
// what it wrote as a REGEDIT4 file; the scratch key is removed afterwards. Returns an HRESULT.
long ExportRegistration(const std::wstring& dllPath, std::FILE* out);

// The same export for an installer's Registry table: string values are Windows Installer formatted
// text, a value that is the DLL's path becomes [#fileKey] (long form) or [!fileKey] (short form,
// what the registration script writes), the DLL's folder becomes [dirProperty]. A value that holds
// the folder in any other way cannot be placed and fails the export with E_UNEXPECTED.
long ExportRegistrationForInstaller(const std::wstring& dllPath, const std::string& fileKey,
                                    const std::string& dirProperty, std::FILE* out);
