#include "Formats.h"

#include <cstring>

namespace {

const struct {
    Format format;
    const char* name;
    bool explains;
} kFormats[] = {
    {Format::Table, "table", false}, {Format::Json, "json", false},  {Format::Evidence, "evidence", true},
    {Format::Junit, "junit", true},  {Format::Html, "html", true},   {Format::Line, "line", true},
};

}  // namespace

bool ParseFormat(const std::string& name, Format& format)
{
    for (const auto& row : kFormats)
        if (name == row.name) {
            format = row.format;
            return true;
        }
    return false;
}

const char* FormatName(Format format)
{
    for (const auto& row : kFormats)
        if (row.format == format)
            return row.name;
    return "table";
}

std::string FormatNames()
{
    std::string names;
    for (const auto& row : kFormats)
        names += (names.empty() ? "" : ", ") + std::string(row.name);
    return names;
}

bool FormatExplains(Format format)
{
    for (const auto& row : kFormats)
        if (row.format == format)
            return row.explains;
    return false;
}

std::string ReadingLine(const Reading& reading)
{
    std::string line = reading.api;
    std::string where = reading.root;
    if (!reading.path.empty())
        where += (where.empty() ? "" : "\\") + reading.path;
    if (reading.hasValue)
        where += (where.empty() ? "" : "\\") + (reading.value.empty() ? std::string("(default)") : reading.value);
    if (!where.empty())
        line += " " + where;
    if (const char* view = ViewName(reading.view))
        line += std::string(" (") + (std::strcmp(view, "default") == 0 ? "default view" : std::string(view) + "-bit view") +
                ")";
    line += ": " + StatusName(reading.status);
    if (reading.hasType)
        line += ", " + RegistryTypeName(reading.type);
    if (reading.hasData)
        line += " " + reading.data;
    if (!reading.partOfAnswer)
        line += " [not part of the answer]";
    if (!reading.note.empty())
        line += " (" + reading.note + ")";
    return line;
}
