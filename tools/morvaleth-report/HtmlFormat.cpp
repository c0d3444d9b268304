#include "Formats.h"

#include "Markup.h"

namespace {

// Everything the page needs is in it: no script, no font, no picture from elsewhere. Printed, the
// readings unfold and the colours give way to words.
const char kStyle[] =
    "body{font:14px/1.4 system-ui,Segoe UI,Arial,sans-serif;margin:1.5em;color:#1b1b1b}\n"
    "h1{font-size:1.4em;margin:0 0 .3em}\n"
    ".verdict{font-weight:bold;padding:.3em .6em;display:inline-block;border:1px solid}\n"
    ".verdict.pass{background:#e6f4ea;border-color:#1e7d34}\n"
    ".verdict.fail{background:#fce8e6;border-color:#b3261e}\n"
    ".verdict.undetermined{background:#fef7e0;border-color:#a06a00}\n"
    "dl.host{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:1em 0}\n"
    "dl.host dt{font-weight:bold}dl.host dd{margin:0}\n"
    "table.checks{border-collapse:collapse;width:100%}\n"
    "table.checks th,table.checks td{border:1px solid #bbb;padding:.25em .5em;text-align:left;vertical-align:top}\n"
    "table.checks thead th{background:#eee}\n"
    "tr.undetermined td.state{background:#fef7e0}\n"
    "td.requirement.unmet{background:#fce8e6}td.requirement.met{background:#e6f4ea}\n"
    "td.requirement.undetermined{background:#fef7e0}\n"
    "code,.reading{font-family:Consolas,monospace;font-size:.9em;overflow-wrap:anywhere}\n"
    "details{margin-top:.3em}summary{cursor:pointer;color:#444}\n"
    "ul.readings{margin:.2em 0 0;padding-left:1.2em}li.aside{color:#666}\n"
    "@media print{body{margin:0;font-size:10pt}"
    "details::details-content{content-visibility:visible;display:block}"
    "summary{list-style:none}tr{break-inside:avoid}thead{display:table-header-group}"
    ".verdict,td{background:none!important}a{color:inherit;text-decoration:none}}\n";

std::string Requirement(size_t check, const Findings& findings)
{
    std::string cell;
    const char* worst = nullptr;
    for (const RequirementFinding& requirement : findings.requirements) {
        if (requirement.check != check)
            continue;
        const char* outcome = OutcomeName(requirement.outcome);
        if (!worst || requirement.outcome == RequirementOutcome::Unmet ||
            (requirement.outcome == RequirementOutcome::Undetermined && std::string(worst) == "met"))
            worst = outcome;
        cell += std::string(cell.empty() ? "" : "<br>") + outcome + ": required " +
                Escaped(RequiredJson(requirement.requirement));
    }
    if (!worst)
        return "<td class=\"requirement\"></td>";
    return "<td class=\"requirement " + std::string(worst) + "\">" + cell + "</td>";
}

std::string Readings(const CheckFinding& check)
{
    if (check.readings.empty())
        return std::string();
    std::string list;
    for (const Reading& reading : check.readings)
        list += std::string("<li class=\"reading") + (reading.partOfAnswer ? "" : " aside") + "\">" +
                Escaped(ReadingLine(reading)) + "</li>";
    return "<details><summary>" + std::to_string(check.readings.size()) +
           (check.readings.size() == 1 ? " reading" : " readings") + "</summary><ul class=\"readings\">" + list +
           "</ul></details>";
}

std::string Row(size_t index, const Findings& findings)
{
    const CheckFinding& check = findings.checks[index];
    const char* state = StateName(check.state);
    return "<tr id=\"" + Escaped(check.name) + "\" class=\"" + state + "\"><th scope=\"row\">" + Escaped(check.name) +
           "</th><td class=\"answer\">" + Escaped(ShownAnswer(check)) + "</td><td class=\"state\">" + state + "</td>" +
           Requirement(index, findings) + "<td class=\"why\">" + Escaped(check.reason) + " <code>" +
           Escaped(check.reasonCode) + "</code> <small>(" + Escaped(check.help) + ")</small>" + Readings(check) +
           "</td></tr>\n";
}

std::string Version(const VersionRecord& version)
{
    std::string text = std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                       std::to_string(version.build);
    if (!version.servicePack.empty())
        text += " " + version.servicePack;
    return text + ", product type " + std::to_string(version.productType);
}

std::string Fact(const char* name, const std::string& value)
{
    return "<dt>" + std::string(name) + "</dt><dd>" + Escaped(value) + "</dd>\n";
}

}  // namespace

std::string FormatHtml(const Findings& findings)
{
    const HostRecord& host = findings.host;
    const Summary& summary = findings.summary;
    std::string verdict = std::string(summary.verdict) + ": " + std::to_string(summary.met) + " of " +
                          std::to_string(summary.requirements) + " requirements met, " +
                          std::to_string(summary.unmet) + " unmet, " +
                          std::to_string(summary.requirementsUndetermined) + " undetermined; " +
                          std::to_string(summary.undetermined) + " of " + std::to_string(summary.checks) +
                          " checks undetermined";
    std::string rows;
    for (size_t i = 0; i < findings.checks.size(); ++i)
        rows += Row(i, findings);
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Morvaleth readiness of " +
           Escaped(host.computerName) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n<h1>Morvaleth readiness of " +
           Escaped(host.computerName) + "</h1>\n<p class=\"verdict " + summary.verdict + "\" id=\"verdict\">" +
           Escaped(verdict) + "</p>\n<dl class=\"host\">\n" + Fact("Time (UTC)", findings.time) +
           Fact("Windows (GetVersionExA)", Version(host.reported)) +
           Fact("Windows (kernel)", Version(host.kernel) + (host.versionsDiffer ? " (differs)" : "")) +
           Fact("Bits", std::to_string(host.processBits) + "-bit process on a " + std::to_string(host.osBits) +
                            "-bit Windows") +
           Fact("Elevated", host.elevated < 0 ? "not known (no elevation on this Windows)"
                                              : host.elevated ? "yes" : "no") +
           Fact("Component", findings.dll + (findings.throughManifest ? ", through its manifest" : ", registered") +
                                 (findings.lateBound ? ", late-bound" : ", early-bound")) +
           Fact("Report", "morvaleth-report " + findings.toolVersion + ", " + std::to_string(findings.toolBits) +
                              "-bit; exit status " + std::to_string(summary.exitStatus)) +
           "</dl>\n<table class=\"checks\">\n<thead><tr><th>Check</th><th>Answer</th><th>State</th>"
           "<th>Requirement</th><th>Why</th></tr></thead>\n<tbody>\n" +
           rows + "</tbody>\n</table>\n</body>\n</html>\n";
}
