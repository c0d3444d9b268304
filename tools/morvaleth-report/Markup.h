#pragma once
#include <string>

// UTF-8 text made safe for XML and HTML content and attribute values: the five special characters
// as entities, and characters that XML 1.0 forbids (controls other than tab and line ends) as U+FFFD.
std::string Escaped(const std::string& utf8);
