#pragma once
#include <cstddef>

// The longest text a check composes: a full 260-byte registry text and a terminator of our own.
const std::size_t kCheckTextSize = 261;
