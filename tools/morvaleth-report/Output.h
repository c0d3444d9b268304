#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "Checks.h"
#include "common/Text.h"

// One JSON object: check names as keys, Booleans as true/false, texts as strings (ASCII, \u escapes);
// `member`, when given ("name": value), stands last.
std::string FormatJson(const std::vector<Answer>& answers, const std::string& member = std::string());
// A JSON string of a UTF-8 text: ASCII, everything else as \u escapes.
std::string JsonText(const std::string& utf8);
