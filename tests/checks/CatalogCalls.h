#pragma once
#include <string>

#include "checks/CheckCatalog.h"

// A check's answer straight from the catalog, without a log: what the object writes (a test in
// tests/object holds the two together).
int Flag(CheckIndex index);
std::string Text(CheckIndex index);
