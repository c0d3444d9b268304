#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Every key and value beneath a key, one sorted line each ("path" or "path|name|type|data"),
// so that two states of the registry can be compared as a whole.
std::vector<std::string> SnapshotKey(HKEY root, const std::string& path);
std::string Joined(const std::vector<std::string>& lines);
