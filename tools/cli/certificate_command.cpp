// kvtlnk certificate: one calibration certificate per event of the archive, as HTML or PDF.
#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "archive_commands.h"
#include "base/numbers.h"
#include "base/platform.h"
#include "certificate/pdf.h"
#include "interrupt.h"
#include "workspace/certificates.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

struct CertificateArguments {
    std::vector<std::string> targets;  // tags and event numbers
    std::string since, out, ambient, humidity, module;
    std::string paper;  // else the lab file's, else A4
    std::vector<std::string> remarks;
    bool pdf = false, strict = false;
};

// "23.1C", "23.1 °C", "45%": the number, then its unit after at most one space, the number
// within the limits; NaN for "".
double measured(const std::string& argument, const std::string& text,
                const std::vector<std::string>& units, double low, double high, const char* what) {
    if (text.empty()) return kNone;
    const size_t unitAt = std::min(text.find_first_not_of("-.0123456789"), text.size());
    std::string unit = text.substr(unitAt);
    if (!unit.empty() && unit[0] == ' ') unit.erase(0, 1);
    const std::optional<double> value = decimalNumber(text.substr(0, unitAt), low, high);
    if (!value || std::find(units.begin(), units.end(), unit) == units.end()) {
        throw notArgument(argument, text,
                          fmt::format("{}: give a number from {} to {}, such as {}", what, low,
                                      high, units[1] == "%" ? "45%" : "23.1C"));
    }
    return *value;
}

Conditions conditionsOf(const CertificateArguments& a) {
    Conditions c;
    c.temperature =
        measured("--ambient", a.ambient, {"", "C", "°C"}, -50, 100, "an ambient temperature");
    c.humidity = measured("--humidity", a.humidity, {"", "%"}, 0, 100, "a relative humidity");
    for (const std::string& line : a.remarks)
        c.remarks += (c.remarks.empty() ? "" : "\n") + line;
    return c;
}

// A file name of a certificate number: what a file name cannot hold becomes "-".
std::string fileName(const std::string& number, bool pdf) {
    std::string name = number;
    for (char& c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '-';
    }
    if (name.empty() || name[0] == '.') name = "certificate-" + name;
    return name + (pdf ? ".pdf" : ".html");
}

// Where the certificates go: the file --out names for one, else a folder (--out, or the
// current one) where each is named by its number. Checked before any number is given.
struct Destination {
    std::string folder;                  // empty for one named file
    std::unique_ptr<OutputFile> single;  // that file, made at once
};

Destination destinationOf(const Context& context, const CertificateArguments& a, size_t count) {
    Destination d;
    std::error_code ignored;
    const bool folder = a.out.empty() || count > 1 || std::filesystem::is_directory(a.out, ignored);
    if (!folder) {
        d.single = std::make_unique<OutputFile>(a.out, context.workspace);
        return d;
    }
    d.folder = a.out.empty() ? "." : a.out;
    std::filesystem::create_directories(d.folder, ignored);
    if (!platform::writableFolder(d.folder)) {
        throw inputError("cannot write certificates into " + d.folder +
                         ": it is not a folder you may write");
    }
    return d;
}

void issue(const Context& context, const CertificateArguments& a, kvtarchive::Archive& archive,
           CertificateData& c, Destination& where, json& report) {
    issueCertificate(context.workspace, archive, {conditionsOf(a), a.paper}, c);
    const std::string html = certificateHtml(c);
    const std::string bytes = a.pdf ? printPdf(html, checkInterrupt) : html;
    std::unique_ptr<OutputFile> own;
    if (!where.single) {
        const std::filesystem::path path =
            std::filesystem::path(where.folder) / fileName(c.number, a.pdf);
        own = std::make_unique<OutputFile>(path.lexically_normal().string(), context.workspace);
    }
    OutputFile& file = where.single ? *where.single : *own;
    file.commit(bytes);
    const std::vector<std::string> problems = traceabilityProblems(c);
    for (const std::string& p : problems)
        std::cerr << "kvtlnk: certificate " << c.number << ": " << p
                  << " (the certificate says so)\n";
    report.push_back({{"event", c.event.id},
                      {"instrument", c.event.instrument},
                      {"number", c.number},
                      {"issued", c.certificate.issued},
                      {"file", file.path()},
                      {"traceable", problems.empty()},
                      {"uncertainty", c.uncertainty}});
    if (!context.json) {
        std::cout << fmt::format(
            "Wrote {}: certificate {} of {}, event {} ({} as found{})\n", file.path(), c.number,
            c.event.instrument, c.event.id, c.event.asFound ? verdictName(*c.event.asFound) : "",
            c.event.asLeft ? ", " + std::string(verdictName(*c.event.asLeft)) + " as left"
                           : ", not adjusted");
    }
}

void certificateCommand(const Context& context, const CertificateArguments& a) {
    if (a.targets.empty() && a.since.empty()) {
        throw inputError(
            "certificate: name an instrument's tag or an event number, or give "
            "--all-since DATE");
    }
    // Every argument is read before the lab file and the archive.
    const std::optional<int64_t> since =
        a.since.empty() ? std::nullopt : std::optional(dayArgument("--all-since", a.since));
    conditionsOf(a);
    const kvtlab::Lab& lab = context.workspace.lab();
    if (lab.name.empty()) {
        throw inputError("a certificate names the lab that issues it: the lab file " +
                         context.workspace.labPath() +
                         (lab.path.empty() ? " does not exist" : " gives no [lab] name") +
                         " (kvtlnk lab check; a commented sample is share/doc/kvtlnk/lab.toml)");
    }
    auto archive = context.workspace.openArchive(kvtarchive::Access::Change);
    const std::vector<int64_t> ids = eventsOf(*archive, a.targets, since);
    if (ids.empty()) throw inputError("the archive holds no event since " + a.since);
    if (ids.size() > 1 && (!a.ambient.empty() || !a.humidity.empty() || !a.remarks.empty())) {
        throw inputError(
            "--ambient, --humidity and --remark belong to one calibration: name one "
            "event, not " +
            std::to_string(ids.size()));
    }
    std::vector<CertificateData> certificates;
    std::string refused;
    for (int64_t id : ids) {
        certificates.push_back(gatherCertificate(*archive->event(id), lab, a.module));
        for (const std::string& p : traceabilityProblems(certificates.back()))
            refused +=
                fmt::format("\nevent {} ({}): {}", id, certificates.back().event.instrument, p);
    }
    if (a.strict && !refused.empty()) {
        throw inputError(
            "--strict: no certificate was issued, as a reference standard is not "
            "traceable:" +
            refused);
    }
    Destination where = destinationOf(context, a, ids.size());
    json report = json::array();
    for (CertificateData& c : certificates)
        issue(context, a, *archive, c, where, report);
    if (context.json) std::cout << dumpJson({{"certificates", report}});
}

}  // namespace

void addCertificateCommand(CLI::App& app, Context& context) {
    const auto a = std::make_shared<CertificateArguments>();
    CLI::App* command = app.add_subcommand(
        "certificate",
        "write the calibration certificate of events of the archive, one per event, as HTML or "
        "PDF: the lab, the instrument, the reference standards, as found and as left with "
        "errors and uncertainties, a summary, the error plot and lines to sign; each event's "
        "certificate keeps its number");
    command->add_option("TARGET", a->targets,
                        "an instrument's tag (its last event) or an event number (history)");
    command->add_option("--all-since", a->since, "every event from this day on (2025-01-31)")
        ->type_name("DATE");
    command
        ->add_option("-o,--out", a->out,
                     "the file to write for one certificate, or a folder for several (each "
                     "named by its number); the current folder without it")
        ->type_name("FILE|DIR");
    command->add_flag("--pdf", a->pdf, "write PDF, printed by headless Chromium, not HTML");
    command->add_option("--paper", a->paper, "A4 or letter; else the lab file's paper, else A4")
        ->check(CLI::IsMember({"A4", "letter"}, CLI::ignore_case));
    command->add_flag("--strict", a->strict,
                      "issue nothing when a reference standard was past its due date or is not "
                      "in the lab file");
    command->add_option("--ambient", a->ambient,
                        "the ambient temperature, stored with the event (23.1C)");
    command->add_option("--humidity", a->humidity,
                        "the relative humidity, stored with the event (45%)");
    command->add_option("--remark", a->remarks, "a line of remarks, stored with the event")
        ->type_name("TEXT");
    command
        ->add_option("--module", a->module,
                     "the serial number of the pressure module used, when the results do not "
                     "name it")
        ->type_name("SERIAL");
    command->callback([&context, a] { certificateCommand(context, *a); });
}

}  // namespace kvtcli
