// kvtlnk archive add, list, interval and export, and the registration of the archive's
// commands.
#include "archive_commands.h"

#include <fmt/format.h>

#include <iostream>
#include <memory>

#include "base/numbers.h"
#include "base/time.h"
#include "base/words.h"
#include "failure.h"
#include "table.h"
#include "workspace/store.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

// One line on what an add did: "Stored 3 results of field.json in ...: 2 events".
// "Created the archive ..." before it when the add made the archive.
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
    return created +
           fmt::format("Stored {} of {} in the archive {}: {}{}", plural(outcome.added, "result"),
                       source, location, plural(outcome.events, "calibration event"),
                       outcome.held ? fmt::format(", {} held already", outcome.held) : "");
}

json addedJson(const kvtarchive::AddOutcome& o) {
    return {{"upload", o.uploadId ? json(o.uploadId) : json(nullptr)},
            {"added", o.added},
            {"held", o.held},
            {"events", o.events}};
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
    const std::string location = context.workspace.archiveShown();
    if (context.json) {
        json list = json::array(), bad = json::array();
        for (const Instrument& i : instruments)
            list.push_back(instrumentJson(i));
        for (const Undecodable& u : undecodable)
            bad.push_back(undecodableJson(u));
        std::cout << dumpJson(
            {{"archive", location}, {"instruments", list}, {"notDecodable", bad}});
        return;
    }
    std::cout << fmt::format("{} in the archive {}\n", plural(instruments.size(), "instrument"),
                             location);
    Table table({"tag", "events", "last event", "date", "calibrator", "verdict", "interval", "due"},
                "lrrllllr");
    for (const Instrument& i : instruments) {
        table.add({i.tag, std::to_string(i.events), std::to_string(i.lastEvent), i.lastDate,
                   i.calibratorSerial, verdictName(i.lastVerdict), intervalText(i), i.due});
    }
    if (!table.empty()) table.print(std::cout);
    if (undecodable.empty()) return;
    std::cout << plural(undecodable.size(), "result") << " not decodable, kept as recorded:\n";
    Table bad({"result", "calibrator", "taken", "tag", "code", "problem"}, "rlllrl");
    for (const Undecodable& u : undecodable) {
        bad.add({std::to_string(u.id), u.calibratorSerial, u.taken, u.tag,
                 std::to_string(u.resultCode), u.problem});
    }
    bad.print(std::cout);
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

void exportCommand(const Context& context, const std::string& id, const std::string& out) {
    const int64_t event = eventNumber(id, "ID");
    OutputFile file(out, context.workspace);
    size_t records = 0;
    const std::optional<ImageDocument> image =
        eventImage(*context.workspace.openArchive(kvtarchive::Access::Read), event, &records);
    if (!image) throw inputError(fmt::format("the archive holds no event {}", event));
    file.commit(dumpJson(toJson(*image)));
    if (context.json) {
        std::cout << dumpJson({{"event", event}, {"file", out}, {"records", records}});
        return;
    }
    std::cout << fmt::format("Wrote {}: the {} of event {}, each at its place\n", out,
                             plural(records, "record"), event);
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
    std::string tag, interval, event, image, out;
    std::string within = "0d";
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
                           "the records archive: add image files, list instruments, set intervals, "
                           "export an event's records, make a lab's shared archive, copy one "
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
                         "every instrument with its last event, verdict and due date, "
                         "and the results that do not decode")
        ->callback([&context] { listCommand(context); });
    CLI::App* interval =
        archive->add_subcommand("interval", "set the calibration interval of an instrument");
    interval->add_option("TAG", a->tag, "the instrument's tag (the first text of its test)")
        ->required();
    interval->add_option("INTERVAL", a->interval, "180d, 26w, 1y")->required();
    interval->callback([&context, a] { intervalCommand(context, a->tag, a->interval); });
    CLI::App* exporter = archive->add_subcommand(
        "export", "write an image file of an event's records, which decode as they did");
    exporter->add_option("ID", a->event, "the event (archive list, history)")->required();
    exporter->add_option("--image", a->image, "the image file to write")
        ->required()
        ->type_name("FILE");
    exporter->callback([&context, a] { exportCommand(context, a->event, a->image); });
    addArchiveSetupCommands(*archive, context);

    CLI::App* history = app.add_subcommand(
        "history",
        "every calibration event of an instrument, oldest first: date, calibrator, "
        "verdicts as found and as left, the largest error and the error at each point");
    history->add_option("TAG", a->tag, "the instrument's tag")->required();
    history->add_flag("--csv", a->csv, "one row per test point after a header row");
    history->add_option("-o,--out", a->out, "write the drift page (HTML with an SVG plot) instead")
        ->type_name("FILE");
    history->callback([&context, a] { historyCommand(context, a->tag, a->csv, a->out); });

    CLI::App* due =
        app.add_subcommand("due", "the instruments due for calibration or overdue, soonest first");
    due->add_option("--within", a->within, "also those due within this time (30d, 4w)")
        ->capture_default_str();
    due->callback([&context, a] { dueCommand(context, a->within); });
}

}  // namespace kvtcli
