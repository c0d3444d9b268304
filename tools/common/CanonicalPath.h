#pragma once
#include <string>

// Long and lower-case, so that a registration's short path and a context's long one compare.
// Kept apart from ModulePath so that programs which never compare paths do not import
// GetLongPathNameW.
std::wstring CanonicalPath(const std::wstring& path);
