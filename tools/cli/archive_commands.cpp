// kvtlnk archive add, list, interval, instrument, confirm-date and export, and the registration
// of the archive's commands.
#include "archive_commands.h"

#include <fmt/format.h>

#include <iostream>
#include <memory>

#include "base/numbers.h"
#include "base/platform.h"
#include "base/time.h"
#include "base/words.h"
#include "failure.h"
#include "table.h"
#include "workspace/certificates.h"
#include "workspace/store.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

// What an add did: "Stored 3 results of field.json in ...: 2 calibrations"; "Created the
// archive ..." before it when the add made the archive.
std::string storedLine(const kvtarchive::AddOutcome& outcome, const std::string& source,
                       const std::string& location) {
    const std::string created =
        outcome.created ? fmt::format("Created the archive {}\n", location) : "";
    if (outcome.added == 0) {
        return created + fmt::format(
                             "The archive {} holds every result of {} already ({}): "
                             "nothing added",
                             location, source, outcome.held);
    }
    std::string line =
        created + fmt::format("Stored {} of {} in the archive {}: {} made or added to{}",
                              plural(outcome.added, "result"), source, location,
                              plural(outcome.calibrations, "calibration"),
                              outcome.held ? fmt::format(", {} held already", outcome.held) : "");
    if (outcome.suspect) {
        line += fmt::format(
            "\n{}: {} (kvtlnk archive list; kvtlnk archive confirm-date CALIBRATION --date "
            "YYYY-MM-DD)",
            plural(outcome.suspect, "result"),
            "calibrator clock suspect or date impossible: no due date counts from it until a "
            "person confirms its date");
    }
    return line;
}

json addedJson(const kvtarchive::AddOutcome& o) {
    return {{"upload", o.uploadId ? json(o.uploadId) : json(nullptr)},
            {"added", o.added},
            {"held", o.held},
            {"calibrations", o.calibrations},
            {"stampsNotBelieved", o.suspect}};
}

// What a listing says of an instrument beside its last calibration.
std::string notesOf(const Instrument& i) {
    std::string notes = i.untagged ? "untagged" : "";
    if (i.undated) {
        notes += (notes.empty() ? "" : "; ") + plural(size_t(i.undated), "calibration") +
                 " without a believed date";
    }
    return notes;
}

std::string whenDue(const Instrument& i) {
    return i.due.empty() ? "no date to count from" : i.due;
}

kvtarchive::AddOutcome store(const Context& context, const ImageDocument& image,
                             const std::string& source) {
    Progress progress("archive", !context.quiet);
    return storeImage(context.workspace, image, source, progress);
}

// Every file decoded before anything is added, so that a damaged one adds nothing.
void addCommand(const Context& context, const std::vector<std::string>& files) {
    std::vector<ImageDocument> images;
    for (const std::string& file : files) {
        images.push_back(imageOfFile(context, file));
        if (images.back().calibrator.is_null() && images.back().results.empty()) {
            throw inputError(file +
                             ": is not an image file (upload --out writes them); "
                             "nothing was added");
        }
    }
    const std::string location = context.workspace.archiveShown();
    json report = json::array();
    bool created = false;
    for (size_t i = 0; i < files.size(); ++i) {
        const kvtarchive::AddOutcome o = store(context, images[i], files[i]);
        created = created || o.created;
        if (!context.json) std::cout << storedLine(o, files[i], location) << '\n';
        json entry = {{"file", files[i]}};
        entry.update(addedJson(o));
        report.push_back(entry);
    }
    if (context.json) {
        std::cout << dumpJson({{"archive", location}, {"created", created}, {"files", report}});
    }
}

void listCommand(const Context& context) {
    auto archive = context.workspace.openArchive(kvtarchive::Access::Read);
    const auto instruments = instrumentsOf(context.workspace, *archive, today());
    const auto undecodable = archive->undecodable();
    const auto undated = archive->undated();
    const std::string location = context.workspace.archiveShown();
    if (context.json) {
        json list = json::array(), bad = json::array();
        for (const Instrument& i : instruments)
            list.push_back(instrumentJson(i));
        for (const Undecodable& u : undecodable)
            bad.push_back(undecodableJson(u));
        std::cout << dumpJson({{"archive", location},
                               {"instruments", list},
                               {"undated", historyJson(undated)},
                               {"notDecodable", bad}});
        return;
    }
    std::cout << fmt::format("{} in the archive {}\n", plural(instruments.size(), "instrument"),
                             location);
    Table table(
        {"tag", "calibrations", "last", "date", "calibrator", "verdict", "interval", "due", ""},
        "lrrlllllll");
    for (const Instrument& i : instruments) {
        table.add({i.tag, std::to_string(i.calibrations),
                   i.lastCalibration ? std::to_string(i.lastCalibration) : "-", i.lastDay,
                   i.calibratorSerial, i.lastCalibration ? verdictName(i.lastVerdict) : "",
                   intervalText(i), whenDue(i), notesOf(i)});
    }
    if (!table.empty()) table.print(std::cout);
    if (!undated.empty()) {
        std::cout << plural(undated.size(), "calibration")
                  << " whose date is not believed, left out of due dates until confirmed "
                     "(kvtlnk archive confirm-date CALIBRATION --date YYYY-MM-DD):\n";
        Table dates({"calibration", "instrument", "stamped", "why"}, "rlll");
        for (const Calibration& c : undated) {
            std::string why;
            for (const Result& r : c.results) {
                if (!r.stampProblem.empty() && why.find(r.stampProblem) == std::string::npos)
                    why += (why.empty() ? "" : "; ") + r.stampProblem;
            }
            dates.add({std::to_string(c.id), c.instrument, c.date, why});
        }
        dates.print(std::cout);
    }
    if (undecodable.empty()) return;
    std::cout << plural(undecodable.size(), "result") << " not decodable, kept as recorded:\n";
    Table bad({"result", "calibrator", "taken", "tag", "code", "problem"}, "rlllrl");
    for (const Undecodable& u : undecodable) {
        bad.add({std::to_string(u.id), u.calibratorSerial, u.taken, u.tag,
                 std::to_string(u.resultCode), u.problem});
    }
    bad.print(std::cout);
}

// What identifies an instrument, as a line.
std::string identityLine(const InstrumentIdentity& i) {
    const std::pair<const char*, const std::string*> parts[] = {{"make", &i.make},
                                                                {"model", &i.model},
                                                                {"serial number", &i.serialNumber},
                                                                {"range", &i.range},
                                                                {"customer", &i.customer}};
    std::string line;
    for (const auto& [name, value] : parts)
        line += (line.empty() ? "" : ", ") + std::string(name) + " " +
                (value->empty() ? "not known" : "\"" + *value + "\"");
    if (!i.set.empty()) line += "; set " + i.set + " by " + i.source;
    return line;
}

struct IdentityArguments {
    std::string tag;
    std::optional<std::string> make, model, serial, range, customer;
};

void instrumentCommand(const Context& context, const IdentityArguments& a) {
    auto archive = context.workspace.openArchive(kvtarchive::Access::Change);
    InstrumentIdentity identity = archive->identity(a.tag);
    const std::pair<const std::optional<std::string>*, std::string*> parts[] = {
        {&a.make, &identity.make},
        {&a.model, &identity.model},
        {&a.serial, &identity.serialNumber},
        {&a.range, &identity.range},
        {&a.customer, &identity.customer}};
    bool setting = false;
    for (const auto& [given, part] : parts) {
        if (!*given) continue;
        for (unsigned char c : **given) {
            if (c < 0x20) throw inputError("archive instrument: a part holds a control character");
        }
        *part = **given;
        setting = true;
    }
    bool changed = false;
    if (setting) {
        identity.set = utcTime();
        identity.source = platform::userName();
        try {
            changed = archive->setIdentity(a.tag, identity);
        } catch (const kvtarchive::ArchiveError& e) {
            throw archiveError(e);
        }
        identity = archive->identity(a.tag);
    }
    if (context.json) {
        std::cout << dumpJson(
            {{"tag", a.tag}, {"changed", changed}, {"identity", toJson(identity)}});
        return;
    }
    std::cout << a.tag << ": " << identityLine(identity)
              << (setting && !changed ? " (as it was)" : "") << '\n';
}

void confirmCommand(const Context& context, const std::string& id, const std::string& date) {
    const int64_t calibration = calibrationNumber(id, "CALIBRATION");
    const std::optional<int64_t> day = dayArgument("--date", date);
    if (*day > today()) {
        throw inputError("archive confirm-date: " + date +
                         " is after today: a calibration cannot have been done then");
    }
    auto archive = context.workspace.openArchive(kvtarchive::Access::Change);
    const std::optional<Calibration> before = archive->calibration(calibration);
    if (!before) throw inputError(fmt::format("the archive holds no calibration {}", calibration));
    const DateConfirmation confirmation{date, platform::userName(), utcTime()};
    try {
        archive->confirmDate(calibration, confirmation);
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
    if (context.json) {
        std::cout << dumpJson({{"calibration", calibration},
                               {"date", date},
                               {"by", confirmation.by},
                               {"at", confirmation.at}});
        return;
    }
    std::cout << fmt::format(
        "Calibration {} of {}: done on {}, confirmed by {} at {}{}\n", calibration,
        before->instrument, date, confirmation.by, confirmation.at,
        believed(*before) ? " (its stamps were believed: " + before->date + ")"
                          : " (" + dateNote(*before) + ": " + before->date + ")");
    if (before->certificate) {
        std::cerr << fmt::format(
            "kvtlnk: certificate {} of this calibration stays as issued; a certificate with "
            "this date replaces it (kvtlnk certificate --replace {} --reason ...)\n",
            certificateNumber(context.workspace.lab(), before->certificate),
            certificateNumber(context.workspace.lab(), before->certificate));
    }
}

void intervalCommand(const Context& context, const std::string& tag, const std::string& text) {
    const int days = parseInterval("INTERVAL", text);
    if (!context.workspace.openArchive(kvtarchive::Access::Change)->setInterval(tag, days)) {
        throw inputError("the archive " + context.workspace.archiveShown() +
                         " knows no instrument \"" + tag + "\" (kvtlnk archive list names them)");
    }
    if (context.json) {
        std::cout << dumpJson({{"tag", tag}, {"intervalDays", days}});
        return;
    }
    std::cout << fmt::format("{}: calibration interval {}\n", tag, plural(days, "day"));
}

void exportCommand(const Context& context, const std::string& id, const std::string& upload,
                   const std::string& out) {
    const int64_t calibration = calibrationNumber(id, "ID");
    const int64_t from = upload.empty() ? 0 : calibrationNumber(upload, "--upload");
    OutputFile file(out, context.workspace);
    size_t records = 0;
    const std::optional<ImageDocument> image = calibrationImage(
        *context.workspace.openArchive(kvtarchive::Access::Read), calibration, from, &records);
    if (!image) throw inputError(fmt::format("the archive holds no calibration {}", calibration));
    file.commit(dumpJson(toJson(*image)));
    if (context.json) {
        std::cout << dumpJson({{"calibration", calibration}, {"file", out}, {"records", records}});
        return;
    }
    std::cout << fmt::format("Wrote {}: the {} of calibration {}, each at its place\n", out,
                             plural(records, "record"), calibration);
}

}  // namespace

std::string intervalText(const Instrument& i) {
    return std::to_string(i.intervalDays) + " d" +
           (i.intervalSet ? "" : std::string(" (") + intervalSource(i) + ")");
}

int parseInterval(const std::string& argument, const std::string& text) {
    const std::optional<int> days = kvtlab::parseInterval(text);
    if (!days) {
        throw notArgument(argument, text,
                          "an interval: give days (180d or 180), weeks (26w) or years (1y, 365 "
                          "days), up to 100 years");
    }
    return *days;
}

void storeUpload(const Context& context, const ImageDocument& image, const std::string& source,
                 std::optional<OutputFile>& file) {
    if (file) file->commit(dumpJson(toJson(image)));
    kvtarchive::AddOutcome outcome;
    try {
        outcome = store(context, image, source);
    } catch (Error& e) {
        // What was kept, and where, so that nothing is fetched twice or thought lost.
        e.addLine(file ? "the results are kept in " + file->path() + ": kvtlnk archive add " +
                             file->path() + " stores them once the archive can be reached"
                       : "the results are still in the calibrator on " + source +
                             ": upload --store again once the archive can be reached, or "
                             "upload --out FILE to keep them in a file now");
        throw;
    }
    const std::string location = context.workspace.archiveShown();
    if (context.json) {
        json report = {{"file", file ? json(file->path()) : json(nullptr)},
                       {"archive", location},
                       {"created", outcome.created}};
        report.update(addedJson(outcome));
        std::cout << dumpJson(report);
        return;
    }
    if (file) std::cout << "Wrote " << file->path() << '\n';
    std::cout << storedLine(outcome, source, location) << '\n';
}

// What the archive's commands are given; the callbacks keep it alive as long as the app.
struct ArchiveArguments {
    std::vector<std::string> files;
    std::string tag, interval, event, image, out, upload, date;
    IdentityArguments identity;
    std::string within = "0d";
    bool advise = false;
    bool csv = false;
};

void addArchiveCommands(CLI::App& app, Context& context) {
    const auto a = std::make_shared<ArchiveArguments>();
    const char* group = "Records archive";
    app.add_option("--archive", context.workspace.settings.archive,
                   "the records archive: an SQLite file or postgresql://...; else "
                   "KVTLNK_ARCHIVE, else the lab file's archive, else "
                   "$XDG_DATA_HOME/kvtlnk/records.db")
        ->type_name("PATH|URI")
        ->group(group);
    app.add_option("--technician", context.workspace.settings.technician,
                   "who calibrates, stored with the results an upload stores and written into its "
                   "image file (archive add stores a file's own); else the lab file's technician")
        ->type_name("NAME")
        ->group(group);

    CLI::App* archive =
        app.add_subcommand("archive",
                           "the records archive: add image files, list instruments, set intervals "
                           "and what identifies an instrument, confirm a calibration's date, "
                           "export a calibration's records, make a lab's shared archive, copy one "
                           "archive into another");
    archive->require_subcommand(1, 1);
    CLI::App* add = archive->add_subcommand(
        "add",
        "store the calibration results of image files (from upload --out): once each, "
        "one transaction a file");
    add->add_option("IMAGE", a->files, "image files")->required();
    add->callback([&context, a] { addCommand(context, a->files); });
    archive
        ->add_subcommand("list",
                         "every instrument with its last calibration, verdict and due date, the "
                         "calibrations whose date is not believed, and the results that do not "
                         "decode")
        ->callback([&context] { listCommand(context); });
    CLI::App* interval =
        archive->add_subcommand("interval", "set the calibration interval of an instrument");
    interval->add_option("TAG", a->tag, "the instrument's tag (the first text of its test)")
        ->required();
    interval->add_option("INTERVAL", a->interval, "180d, 26w, 1y")->required();
    interval->callback([&context, a] { intervalCommand(context, a->tag, a->interval); });
    CLI::App* instrument = archive->add_subcommand(
        "instrument",
        "show what identifies an instrument, or set parts of it (kept with when and by whom, "
        "beside every earlier setting); the lab file's [[instruments]] set it too");
    instrument->add_option("TAG", a->identity.tag, "the instrument's tag")->required();
    instrument->add_option("--make", a->identity.make, "its maker")->type_name("TEXT");
    instrument->add_option("--model", a->identity.model, "its model")->type_name("TEXT");
    instrument->add_option("--serial", a->identity.serial, "its serial number")->type_name("TEXT");
    instrument->add_option("--range", a->identity.range, "its range (0 to 10 bar)")
        ->type_name("TEXT");
    instrument->add_option("--customer", a->identity.customer, "the customer it belongs to")
        ->type_name("NAME");
    instrument->callback([&context, a] { instrumentCommand(context, a->identity); });
    CLI::App* confirm = archive->add_subcommand(
        "confirm-date",
        "give the day of a calibration whose stamps are not believed (calibrator clock suspect, "
        "date impossible), so that due dates count from it; who and when are kept");
    confirm->add_option("CALIBRATION", a->event, "the calibration (archive list)")->required();
    confirm->add_option("--date", a->date, "the day it was done (2025-01-31)")
        ->required()
        ->type_name("DATE");
    confirm->callback([&context, a] { confirmCommand(context, a->event, a->date); });
    CLI::App* exporter = archive->add_subcommand(
        "export", "write an image file of a calibration's records, which decode as they did");
    exporter->add_option("ID", a->event, "the calibration (archive list, history)")->required();
    exporter
        ->add_option("--upload", a->upload,
                     "the upload whose records to write, for a calibration of several")
        ->type_name("ID");
    exporter->add_option("--image", a->image, "the image file to write")
        ->required()
        ->type_name("FILE");
    exporter->callback([&context, a] { exportCommand(context, a->event, a->upload, a->image); });
    addArchiveSetupCommands(*archive, context);
    addAuditCommands(*archive, context);

    CLI::App* history = app.add_subcommand(
        "history",
        "every calibration of an instrument, oldest first: date, calibrator, each result as "
        "found and as left with its verdict, largest error and the error at each point");
    history->add_option("TAG", a->tag, "the instrument's tag")->required();
    history->add_flag("--csv", a->csv, "one row per test point after a header row");
    history->add_option("-o,--out", a->out, "write the drift page (HTML with an SVG plot) instead")
        ->type_name("FILE");
    history->callback([&context, a] { historyCommand(context, a->tag, a->csv, a->out); });

    CLI::App* due =
        app.add_subcommand("due", "the instruments due for calibration or overdue, soonest first");
    due->add_option("--within", a->within, "also those due within this time (30d, 4w)")
        ->capture_default_str();
    due->add_flag("--advise", a->advise,
                  "instead: for each instrument with 3 or more calibrations, how its as-found "
                  "results drifted against tolerance and a longer, shorter or same interval by the "
                  "simple response method; no interval is changed");
    due->callback([&context, a] { dueCommand(context, a->within, a->advise); });
}

}  // namespace kvtcli
