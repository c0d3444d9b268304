#pragma once
#include <windows.h>

#include <string>

// Text helpers for the report the bench prints.
std::string Narrow(const std::wstring& text);
std::string Hex(HRESULT code);
void PrintHeading(const char* title);
