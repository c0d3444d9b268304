#pragma once
#include "server/ServerModule.h"

// The library's creatable classes: the Validate row, then the end row.
extern ClassEntry ClassTable[];
