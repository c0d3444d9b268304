#pragma once
#include <string>

#include "Findings.h"

// What the report writes, and the name each has after --format.
enum class Format { Table, Json, Evidence, Junit, Html, Line };

// False for a name that is none of them.
bool ParseFormat(const std::string& name, Format& format);
const char* FormatName(Format format);
// "table, json, evidence, junit, html, line"
std::string FormatNames();
// Whether the format shows reasons, so that the checks must be explained.
bool FormatExplains(Format format);

// Every format below is UTF-8 text.
// The aligned table: Check and Answer, with State and Why when `explain`.
std::string FormatTable(const Findings& findings, bool explain);
// The evidence document (share/evidence.schema.json), format 1.0.
std::string FormatEvidence(const Findings& findings);
// JUnit XML: one suite for this host, one case per check.
std::string FormatJunit(const Findings& findings);
// One self-contained HTML page.
std::string FormatHtml(const Findings& findings);
// One line of at most kLineLimit bytes, its end of line not counted.
const size_t kLineLimit = 2048;
std::string FormatLine(const Findings& findings);

// The readings of a check, one per line, as people read them:
// "RegQueryValueExA HKLM\SOFTWARE\...\Install (64): ERROR_SUCCESS, REG_DWORD 1 [not part of the answer]"
std::string ReadingLine(const Reading& reading);
