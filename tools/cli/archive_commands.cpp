// kvtlnk archive add, list, interval and export, and the registration of the archive's
// commands.
#include "archive_commands.h"

#include <fmt/format.h>

#include <ctime>
#include <iostream>
#include <memory>

#include "store.h"
#include "error.h"
#include "json_file.h"
#include "lab_commands.h"
#include "table.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

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
    const std::string location = archiveLocation(context);
    json report = json::array();
    for (size_t i = 0; i < files.size(); ++i) {
        const kvtarchive::AddOutcome o = storeImage(context, images[i], files[i]);
        if (!context.json) std::cout << storedLine(o, files[i], location) << '\n';
        report.push_back({{"file", files[i]},
                          {"upload", o.uploadId ? json(o.uploadId) : json(nullptr)},
                          {"added", o.added},
                          {"held", o.held},
                          {"events", o.events}});
    }
    if (context.json) std::cout << dumpJson({{"archive", location}, {"files", report}});
}

json instrumentJson(const kvtarchive::Instrument& i) {
    return {{"tag", i.tag},
            {"events", i.events},
            {"lastEvent",
             {{"id", i.lastEvent},
              {"date", i.lastDate},
              {"verdict", i.lastVerdict},
              {"calibratorSerial", i.calibratorSerial}}},
            {"intervalDays", i.intervalDays},
            {"intervalSet", i.intervalSet},
            {"due", i.due},
            {"daysLeft", i.daysLeft}};
}

void listCommand(const Context& context) {
    auto archive = openArchive(context);
    const auto instruments = instrumentsOf(context, *archive, today());
    const auto undecodable = archive->undecodable();
    if (context.json) {
        json list = json::array(), bad = json::array();
        for (const kvtarchive::Instrument& i : instruments)
            list.push_back(instrumentJson(i));
        for (const kvtarchive::Undecodable& u : undecodable) {
            bad.push_back({{"result", u.id},
                           {"calibratorSerial", u.calibratorSerial},
                           {"taken", u.taken},
                           {"tag", u.tag},
                           {"resultCode", u.resultCode},
                           {"problem", u.problem}});
        }
        std::cout << dumpJson(
            {{"archive", archiveLocation(context)}, {"instruments", list}, {"notDecodable", bad}});
        return;
    }
    std::cout << fmt::format("{} in the archive {}\n", plural(instruments.size(), "instrument"),
                             archiveLocation(context));
    Table table({"tag", "events", "last event", "date", "calibrator", "verdict", "interval", "due"},
                "lrrllllr");
    for (const kvtarchive::Instrument& i : instruments) {
        table.add({i.tag, std::to_string(i.events), std::to_string(i.lastEvent), i.lastDate,
                   i.calibratorSerial, i.lastVerdict,
                   std::to_string(i.intervalDays) + " d" + (i.intervalSet ? "" : " (default)"),
                   i.due});
    }
    if (!table.empty()) table.print(std::cout);
    if (undecodable.empty()) return;
    std::cout << plural(undecodable.size(), "result") << " not decodable, kept as recorded:\n";
    Table bad({"result", "calibrator", "taken", "tag", "code", "problem"}, "rlllrl");
    for (const kvtarchive::Undecodable& u : undecodable) {
        bad.add({std::to_string(u.id), u.calibratorSerial, u.taken, u.tag,
                 std::to_string(u.resultCode), u.problem});
    }
    bad.print(std::cout);
}

void intervalCommand(const Context& context, const std::string& tag, const std::string& text) {
    const int days = parseInterval(text);
    if (!openArchive(context)->setInterval(tag, days)) {
        throw inputError("the archive " + archiveLocation(context) + " knows no instrument \"" +
                         tag + "\" (kvtlnk archive list names them)");
    }
    if (context.json) {
        std::cout << dumpJson({{"tag", tag}, {"intervalDays", days}});
        return;
    }
    std::cout << fmt::format("{}: calibration interval {}\n", tag, plural(days, "day"));
}

// The memories of an event's records, each at its place; the places between hold empty
// records of kind 0, which nothing reads.
kvttools::MemoryFile eventMemories(const kvtarchive::EventRecords& event) {
    json document = {{"procedure", json::array()}, {"results", json::array()}};
    const json placeholder = {
        {"kind", 0u}, {"version", 0u}, {"stamp", "1992-01-01 00:00:00"}, {"data", "00"}};
    for (const kvtarchive::StoredRecord& r : event.records) {
        json& memory = document[r.memory];
        while (memory.size() <= static_cast<size_t>(r.index))
            memory.push_back(placeholder);
        memory[static_cast<size_t>(r.index)] = {{"kind", r.kind},
                                                {"version", r.version},
                                                {"stamp", r.stamp},
                                                {"data", kvttools::toHex(r.data)}};
    }
    kvttools::MemoryFile memories;
    kvttools::FileProblem problem;
    if (!kvttools::readMemoryDocument(document, &memories, &problem)) {
        throw inputError("the archived records do not make an image: " + problem.text());
    }
    return memories;
}

void exportCommand(const Context& context, const std::string& id, const std::string& out) {
    int64_t event = 0;
    try {
        size_t used = 0;
        event = std::stoll(id, &used);
        if (used != id.size()) throw std::invalid_argument(id);
    } catch (const std::exception&) {
        throw inputError("archive export: \"" + id + "\" is not an event number");
    }
    OutputFile file(out);
    const std::optional<kvtarchive::EventRecords> records =
        openArchive(context)->eventRecords(event);
    if (!records) throw inputError(fmt::format("the archive holds no event {}", event));
    const kvtarchive::Calibrator& c = records->upload.calibrator;
    const json calibrator = {{"model", c.model},
                             {"firmware", c.firmware},
                             {"serialNumber", c.serialNumber},
                             {"uploaded", records->upload.uploaded},
                             {"port", records->upload.source}};
    const ImageDocument image = imageOfMemories(context, eventMemories(*records), calibrator);
    file.commit(dumpJson(toJson(image)));
    if (context.json) {
        std::cout << dumpJson(
            {{"event", event}, {"file", out}, {"records", records->records.size()}});
        return;
    }
    std::cout << fmt::format("Wrote {}: the {} of event {}, each at its place\n", out,
                             plural(records->records.size(), "record"), event);
}

}  // namespace

int parseInterval(const std::string& text) {
    const std::optional<int> days = kvtlab::parseInterval(text);
    if (!days) {
        throw inputError("\"" + text +
                         "\" is not an interval: give days (180d or 180), weeks (26w) or years "
                         "(1y, 365 days), up to 100 years");
    }
    return *days;
}

std::vector<kvtarchive::Instrument> instrumentsOf(const Context& context,
                                                  kvtarchive::Archive& archive, int64_t now) {
    std::vector<kvtarchive::Instrument> list = archive.instruments(now, context.intervalDays);
    for (kvtarchive::Instrument& i : list) {
        if (i.intervalSet) continue;
        const int days = defaultIntervalOf(context, i.tag);
        const int64_t dueDay = kvtarchive::dayOfStamp(i.due).value_or(now) - i.intervalDays + days;
        i.intervalDays = days;
        i.due = kvtarchive::dateOfDay(dueDay);
        i.daysLeft = dueDay - now;
    }
    return list;
}

int64_t today() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return kvtarchive::dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
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
    app.add_option("--archive", context.archive,
                   "the records archive: an SQLite file or postgresql://...; else "
                   "KVTLNK_ARCHIVE, else the lab file's archive, else "
                   "$XDG_DATA_HOME/kvtlnk/records.db")
        ->type_name("PATH|URI")
        ->group(group);
    app.add_option("--technician", context.technician,
                   "who calibrates, stored with the results an upload or archive add stores; else "
                   "the lab file's technician")
        ->type_name("NAME")
        ->group(group);

    CLI::App* archive =
        app.add_subcommand("archive",
                           "the records archive: add image files, list instruments, set intervals, "
                           "export an event's records");
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
