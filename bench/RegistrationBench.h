#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct RegistrationFigures {
    std::vector<double> registerMs;    // DllRegisterServer, one per cycle, first cycle first
    std::vector<double> unregisterMs;  // DllUnregisterServer
    std::vector<double> cycleMs;       // both
};

// DllRegisterServer then DllUnregisterServer of the loaded library, `cycles` times, with
// HKEY_CLASSES_ROOT redirected to a scratch key that is removed afterwards. Each cycle is checked
// to have written and removed the class key and the type library registration.
bool MeasureRegistration(HMODULE library, int cycles, RegistrationFigures& figures, std::string& error);
void PrintRegistration(const RegistrationFigures& figures);
