#pragma once
#include <cstddef>

// The public property that carries a check's answer: "MORVALETH_" and the check's name in
// capitals (HasDotNetFramework2 gives MORVALETH_HASDOTNETFRAMEWORK2). Public properties must be
// upper case so that the client sequence hands them to the server and a command line may not
// mistake them for private ones.
const char kPropertyPrefix[] = "MORVALETH_";
const std::size_t kPropertyNameSize = 64;

// False, with `name` empty, when the result would not fit.
bool PropertyName(const char* check, wchar_t (&name)[kPropertyNameSize]);
// The property that carries the check's one-line reason: the name above and "_WHY".
bool WhyPropertyName(const char* check, wchar_t (&name)[kPropertyNameSize]);
