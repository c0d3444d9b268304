#pragma once
#include "server/TypeInfoHolder.h"

// The holder for IValidate (LIBID version 1.0), shared by every Validate object.
TypeInfoHolder& ValidateTypeInfo();
