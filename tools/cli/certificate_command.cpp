// kvtlnk certificate: the calibration certificate of calibrations of the archive, as HTML or
// PDF, and as a DCC beside: issued once and printed again as issued, or replaced by a corrected
// one.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "archive_commands.h"
#include "base/numbers.h"
#include "base/platform.h"
#include "certificate/pdf.h"
#include "dcc/dcc.h"
#include "interrupt.h"
#include "workspace/certificates.h"
#include "workspace/store.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

struct CertificateArguments {
    std::vector<std::string> targets;  // tags and calibration numbers
    std::string since, out, ambient, humidity, module;
    std::string paper;  // else the lab file's, else A4
    std::vector<std::string> remarks;
    std::string replace, reason;
    std::string dcc, country = "ZZ";  // the DCC's file; the lab's country in it
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

std::string sidesText(const CertificateContent& c) {
    return c.asFound + " as found, " + (c.asLeft.empty() ? "not adjusted" : c.asLeft + " as left");
}

// A certificate's DCC: made from its content (as issued, for one printed again) before
// anything is written or stored, so that a unit it cannot state issues and writes nothing;
// written once the certificate is stored.
struct DccFile {
    std::unique_ptr<OutputFile> file;
    DccOptions options;
    std::string bytes, sha256;

    void make(const CertificateContent& content) {
        bytes = dccXml(content, options);
        sha256 = kvtarchive::sha256Hex({bytes.begin(), bytes.end()});
    }
};

// Where a DCC goes, checked before any number is given: one certificate's, never on its page.
std::unique_ptr<OutputFile> dccDestination(const Context& context, const CertificateArguments& a,
                                           size_t count) {
    if (a.dcc.empty()) return nullptr;
    if (count > 1) {
        throw inputError(fmt::format(
            "--dcc writes the DCC of one certificate: name one calibration, not {}", count));
    }
    std::error_code ignored;
    if (!a.out.empty() && std::filesystem::weakly_canonical(a.out, ignored) ==
                              std::filesystem::weakly_canonical(a.dcc, ignored)) {
        throw inputError("--dcc " + a.dcc + " is the file --out names: give the DCC its own");
    }
    return std::make_unique<OutputFile>(a.dcc, context.workspace);
}

void report(const Context& context, const Issued& issued, const DccFile& dcc, json& list) {
    const CertificateContent& c = issued.content;
    const std::vector<std::string> missing = missingItems(c);
    if (!issued.again) {
        for (const std::string& item : missing)
            std::cerr << "kvtlnk: certificate " << issued.number << " cannot state " << item
                      << "\n";
        if (!c.traceable)
            std::cerr << "kvtlnk: certificate " << issued.number << ": " << c.traceability << "\n";
    }
    json entry = {{"calibration", issued.certificate.calibration},
                  {"instrument", c.item.tag},
                  {"number", issued.number},
                  {"issued", issued.certificate.issued},
                  {"file", issued.file},
                  {"printedAgain", issued.again},
                  {"replaces", c.replaces.empty() ? json(nullptr) : json(c.replaces)},
                  {"sha256", issued.certificate.sha256},
                  {"traceable", c.traceable},
                  {"uncertainty", c.uncertaintyStated},
                  {"missing", missing}};
    if (dcc.file) entry["dcc"] = {{"file", dcc.file->path()}, {"sha256", dcc.sha256}};
    list.push_back(entry);
    if (context.json) return;
    if (issued.again) {
        std::cout << fmt::format("Wrote {}: certificate {} of {} printed again as issued on {}\n",
                                 issued.file, issued.number, c.item.tag, c.issued);
    } else {
        std::cout << fmt::format("Wrote {}: certificate {} of {}, calibration {} ({}){}\n",
                                 issued.file, issued.number, c.item.tag, c.calibration,
                                 sidesText(c),
                                 c.replaces.empty() ? "" : "; it replaces " + c.replaces);
    }
    if (dcc.file) {
        std::cout << fmt::format("Wrote {}: the DCC of certificate {} (SHA-256 {})\n",
                                 dcc.file->path(), issued.number, dcc.sha256);
    }
}

void certificateCommand(const Context& context, const CertificateArguments& a) {
    if (a.targets.empty() && a.since.empty() && a.replace.empty()) {
        throw inputError(
            "certificate: name an instrument's tag or a calibration number, give --all-since "
            "DATE, or --replace NUMBER");
    }
    if (!a.replace.empty() && (!a.targets.empty() || !a.since.empty())) {
        throw inputError(
            "--replace names the certificate to replace, and so its calibration: "
            "give no tag, calibration or --all-since with it");
    }
    if (!a.reason.empty() && a.replace.empty())
        throw inputError("--reason goes with --replace: it says why a certificate is replaced");
    if (a.dcc.empty() && a.country != "ZZ")
        throw inputError("--country names the lab's country in a DCC: it goes with --dcc");
    if (a.country.size() != 2 || !std::isupper(static_cast<unsigned char>(a.country[0])) ||
        !std::isupper(static_cast<unsigned char>(a.country[1]))) {
        throw notArgument("--country", a.country,
                          "a country: two capital letters of ISO 3166-1, such as GB or DE");
    }
    // Every argument is read before the lab file and the archive.
    const std::optional<int64_t> since =
        a.since.empty() ? std::nullopt : std::optional(dayArgument("--all-since", a.since));
    const kvtlab::Lab& lab = context.workspace.lab();
    if (lab.name.empty()) {
        throw inputError("a certificate names the lab that issues it: the lab file " +
                         context.workspace.labPath() +
                         (lab.path.empty() ? " does not exist" : " gives no [lab] name") +
                         " (kvtlnk lab check; a commented sample is share/doc/kvtlnk/lab.toml)");
    }
    IssueRequest request{conditionsOf(a), a.paper, a.module, a.replace,
                         a.reason,        a.pdf,   a.strict, {}};
    auto archive = context.workspace.openArchive(kvtarchive::Access::Change);
    const std::vector<int64_t> ids = calibrationsOf(*archive, a.targets, since);
    if (ids.empty() && a.replace.empty())
        throw inputError("the archive holds no calibration since " + a.since);
    const bool given = !a.ambient.empty() || !a.humidity.empty() || !a.remarks.empty();
    if (ids.size() > 1 && given) {
        throw inputError(
            "--ambient, --humidity and --remark belong to one calibration: name one, not " +
            std::to_string(ids.size()));
    }
    Destination where = destinationOf(context, a, std::max<size_t>(ids.size(), 1));
    DccFile dcc;
    dcc.file = dccDestination(context, a, std::max<size_t>(ids.size(), 1));
    dcc.options = {KVTLNK_VERSION, a.country};
    // The DCC's SHA-256 goes into the audit row of the certificate it is part of.
    if (dcc.file) {
        request.vet = [&dcc, &archive](const CertificateContent& c) {
            dcc.make(c);
            archive->addFacts({{"dcc_sha256", dcc.sha256}});
        };
    }
    const DocumentWriter write = [&](const std::string& number, const std::string& bytes) {
        std::unique_ptr<OutputFile> own;
        if (!where.single) {
            const std::filesystem::path path =
                std::filesystem::path(where.folder) / fileName(number, a.pdf);
            own = std::make_unique<OutputFile>(path.lexically_normal().string(), context.workspace);
        }
        OutputFile& file = where.single ? *where.single : *own;
        file.commit(bytes);
        return file.path();
    };
    PdfPrinter printer(checkInterrupt);
    json list = json::array();
    issueCertificates(context.workspace, *archive, ids, request, write, printer,
                      [&](const Issued& issued) {
                          if (dcc.file) dcc.file->commit(dcc.bytes);
                          report(context, issued, dcc, list);
                      });
    if (context.json) std::cout << dumpJson({{"certificates", list}});
}

}  // namespace

void addCertificateCommand(CLI::App& app, Context& context) {
    const auto a = std::make_shared<CertificateArguments>();
    CLI::App* command = app.add_subcommand(
        "certificate",
        "write the calibration certificate of calibrations of the archive, one each, as HTML or "
        "PDF: the lab, the customer, the item, the method, the reference standards and "
        "traceability, the conditions, as found and as left with errors quoted to their "
        "uncertainties, the decision rule, a summary, the error plots and lines to sign. A "
        "certificate is issued once: printing it again gives the same document; --replace "
        "issues a corrected one that names the one it replaces");
    command->add_option("TARGET", a->targets,
                        "an instrument's tag (its last calibration) or a calibration number "
                        "(history)");
    command->add_option("--all-since", a->since, "every calibration from this day on (2025-01-31)")
        ->type_name("DATE");
    command
        ->add_option("-o,--out", a->out,
                     "the file to write for one certificate, or a folder for several (each "
                     "named by its number); the current folder without it")
        ->type_name("FILE|DIR");
    command->add_flag("--pdf", a->pdf, "write PDF, printed by headless Chromium, not HTML");
    command
        ->add_option("--dcc", a->dcc,
                     "write the certificate also as a Digital Calibration Certificate (DCC "
                     "3.1.2 XML) to this file: one certificate; printed again, the same bytes")
        ->type_name("FILE");
    command
        ->add_option("--country", a->country,
                     "the lab's country in the DCC, two letters of ISO 3166-1 (GB, DE, US); ZZ "
                     "when not given")
        ->type_name("CC");
    command->add_option("--paper", a->paper, "A4 or letter; else the lab file's paper, else A4")
        ->check(CLI::IsMember({"A4", "letter"}, CLI::ignore_case));
    command->add_flag("--strict", a->strict,
                      "issue nothing when a reference standard was past its due date on the day "
                      "of the calibration, or is not known");
    command->add_option("--ambient", a->ambient,
                        "the ambient temperature the certificate states (23.1C)");
    command->add_option("--humidity", a->humidity,
                        "the relative humidity the certificate states (45%)");
    command->add_option("--remark", a->remarks, "a line of remarks the certificate states")
        ->type_name("TEXT");
    command
        ->add_option("--replace", a->replace,
                     "issue a corrected certificate in place of this one (NIL-000042 or 42), "
                     "which is kept and marked replaced; the conditions not given are its")
        ->type_name("NUMBER");
    command->add_option("--reason", a->reason, "why the certificate is replaced (with --replace)")
        ->type_name("TEXT");
    command
        ->add_option("--module", a->module,
                     "the serial number of the pressure module used, when the results do not "
                     "name it")
        ->type_name("SERIAL");
    command->callback([&context, a] { certificateCommand(context, *a); });
}

}  // namespace kvtcli
