#include "Formats.h"

#include "Output.h"
#include "common/Text.h"

namespace {

const char kFormatVersion[] = "1.0";

std::string Number(long long value) { return std::to_string(value); }
std::string Flag(bool value) { return value ? "true" : "false"; }
std::string TextOrNull(bool present, const std::string& text) { return present ? JsonText(text) : "null"; }

// Members of one object, each on its own line at `indent`.
class JsonObject {
public:
    explicit JsonObject(int indent) : indent_(indent) {}
    JsonObject& Add(const char* name, const std::string& json)
    {
        body_ += std::string(body_.empty() ? "" : ",\n") + std::string(indent_ + 2, ' ') + "\"" + name + "\": " + json;
        return *this;
    }
    std::string Text() const { return "{\n" + body_ + "\n" + std::string(indent_, ' ') + "}"; }

private:
    int indent_;
    std::string body_;
};

std::string Array(const std::vector<std::string>& items, int indent)
{
    if (items.empty())
        return "[]";
    std::string json = "[\n";
    for (size_t i = 0; i < items.size(); ++i)
        json += std::string(indent + 2, ' ') + items[i] + (i + 1 < items.size() ? ",\n" : "\n");
    return json + std::string(indent, ' ') + "]";
}

std::string Version(const VersionRecord& version, int indent)
{
    return JsonObject(indent)
        .Add("major", Number(version.major))
        .Add("minor", Number(version.minor))
        .Add("build", Number(version.build))
        .Add("platform_id", Number(version.platformId))
        .Add("service_pack", JsonText(version.servicePack))
        .Add("service_pack_major", Number(version.servicePackMajor))
        .Add("service_pack_minor", Number(version.servicePackMinor))
        .Add("suite_mask", Number(version.suiteMask))
        .Add("product_type", Number(version.productType))
        .Text();
}

// Readings are compact, one line each: a check may have a dozen.
std::string ReadingJson(const Reading& reading)
{
    const char* view = ViewName(reading.view);
    std::string json = "{\"api\": " + JsonText(reading.api) + ", \"root\": " +
                       TextOrNull(!reading.root.empty(), reading.root) + ", \"path\": " +
                       TextOrNull(!reading.path.empty(), reading.path) + ", \"view\": " +
                       (view ? JsonText(view) : "null") + ", \"value\": " +
                       TextOrNull(reading.hasValue, reading.value) + ", \"status\": " + Number(reading.status) +
                       ", \"status_text\": " + JsonText(StatusName(reading.status) + ": " + ToUtf8(Widen(StatusText(reading.status)))) +
                       ", \"type\": " + TextOrNull(reading.hasType, RegistryTypeName(reading.type)) +
                       ", \"data\": " + TextOrNull(reading.hasData, reading.data) +
                       ", \"part_of_answer\": " + Flag(reading.partOfAnswer);
    if (!reading.note.empty())
        json += ", \"note\": " + JsonText(reading.note);
    return json + "}";
}

std::string AnswerJson(const CheckFinding& check)
{
    if (FAILED(check.result))
        return "null";
    return check.isText ? JsonText(check.text) : Flag(check.flag);
}

std::string CheckJson(const CheckFinding& check)
{
    std::vector<std::string> readings;
    for (const Reading& reading : check.readings)
        readings.push_back(ReadingJson(reading));
    return JsonObject(4)
        .Add("name", JsonText(check.name))
        .Add("kind", check.isText ? "\"text\"" : "\"flag\"")
        .Add("answer", AnswerJson(check))
        .Add("state", JsonText(StateName(check.state)))
        .Add("reason_code", JsonText(check.reasonCode))
        .Add("reason", JsonText(check.reason))
        .Add("rule", JsonText(check.rule))
        .Add("help", JsonText(check.help))
        .Add("readings", Array(readings, 6))
        .Text();
}

std::string RequirementJson(const RequirementFinding& requirement, const Findings& findings)
{
    return JsonObject(4)
        .Add("check", JsonText(findings.checks[requirement.check].name))
        .Add("required", RequiredJson(requirement.requirement))
        .Add("answer", AnswerJson(findings.checks[requirement.check]))
        .Add("outcome", JsonText(OutcomeName(requirement.outcome)))
        .Add("words", JsonText(requirement.words))
        .Text();
}

}  // namespace

std::string FormatEvidence(const Findings& findings)
{
    const HostRecord& host = findings.host;
    std::vector<std::string> checks, requirements;
    for (const CheckFinding& check : findings.checks)
        checks.push_back(CheckJson(check));
    for (const RequirementFinding& requirement : findings.requirements)
        requirements.push_back(RequirementJson(requirement, findings));
    const Summary& summary = findings.summary;
    return JsonObject(0)
               .Add("format_version", JsonText(kFormatVersion))
               .Add("tool", JsonObject(2)
                                .Add("name", "\"morvaleth-report\"")
                                .Add("version", JsonText(findings.toolVersion))
                                .Add("bits", Number(findings.toolBits))
                                .Text())
               .Add("host", JsonObject(2)
                                .Add("computer_name", JsonText(host.computerName))
                                .Add("version_reported", Version(host.reported, 4))
                                .Add("version_kernel", Version(host.kernel, 4))
                                .Add("versions_differ", Flag(host.versionsDiffer))
                                .Add("process_bits", Number(host.processBits))
                                .Add("os_bits", Number(host.osBits))
                                .Add("elevated", host.elevated < 0 ? "null" : Flag(host.elevated == 1))
                                .Text())
               .Add("component", JsonObject(2)
                                     .Add("dll", JsonText(findings.dll))
                                     .Add("activation", findings.throughManifest ? "\"manifest\"" : "\"registration\"")
                                     .Add("binding", findings.lateBound ? "\"late\"" : "\"early\"")
                                     .Text())
               .Add("time", JsonText(findings.time))
               .Add("checks", Array(checks, 2))
               .Add("requirements", Array(requirements, 2))
               .Add("summary", JsonObject(2)
                                   .Add("checks", Number(summary.checks))
                                   .Add("determined", Number(summary.determined))
                                   .Add("undetermined", Number(summary.undetermined))
                                   .Add("requirements", Number(summary.requirements))
                                   .Add("met", Number(summary.met))
                                   .Add("unmet", Number(summary.unmet))
                                   .Add("requirements_undetermined", Number(summary.requirementsUndetermined))
                                   .Add("verdict", JsonText(summary.verdict))
                                   .Add("exit_status", Number(summary.exitStatus))
                                   .Text())
               .Text() +
           "\n";
}
