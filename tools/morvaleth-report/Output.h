#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "Checks.h"
#include "common/Text.h"

// An aligned two-column table: check, answer (true/false or the text).
void PrintTable(std::FILE* out, const std::vector<Answer>& answers);
// One JSON object: check names as keys, Booleans as true/false, texts as strings (ASCII, \u escapes);
// `member`, when given ("name": value), stands last.
void PrintJson(std::FILE* out, const std::vector<Answer>& answers, const std::string& member = std::string());
