#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/Text.h"

// Text helpers for the report the bench prints.
std::string Hex(HRESULT code);
void PrintHeading(const char* title);
// A table of timings in milliseconds: a header, then one row of median, min and max per measure.
void PrintTimingHeader(int width);
void PrintTimingRow(int width, const char* what, const std::vector<double>& ms);
