// kvtlnk archive verify and archive log: the archive's audit trail checked and shown; and the
// command line as the trail keeps it.
#include <fmt/format.h>

#include <iostream>
#include <memory>
#include <regex>

#include "archive_commands.h"
#include "base/json.h"
#include "failure.h"
#include "table.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

// "17:3f5c...": an audit row's id and its SHA-256 as written down from an earlier verify.
kvtarchive::Witness parseWitness(const std::string& text) {
    static const std::regex form("([1-9][0-9]{0,17}):([0-9a-f]{64})");
    std::smatch m;
    if (!std::regex_match(text, m, form)) {
        throw inputError("--witness \"" + text +
                         "\" is not an audit row and its hash: ID:SHA256 (64 hex digits), as "
                         "archive verify and archive log show them");
    }
    return {std::stoll(m[1]), m[2]};
}

json findingJson(const kvtarchive::AuditFinding& f) {
    return {{"what", f.what}, {"table", f.table}, {"key", f.key}, {"detail", f.detail}};
}

void verifyCommand(const Context& context, const std::vector<std::string>& witnessTexts) {
    std::vector<kvtarchive::Witness> witnesses;
    for (const std::string& text : witnessTexts)
        witnesses.push_back(parseWitness(text));
    kvtarchive::AuditVerdict v;
    try {
        v = context.workspace.openArchive(kvtarchive::Access::Read)->verify(witnesses);
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
    if (context.json) {
        json findings = json::array();
        for (const kvtarchive::AuditFinding& f : v.findings)
            findings.push_back(findingJson(f));
        std::cout << dumpJson({{"archive", context.workspace.archiveShown()},
                               {"whole", v.whole()},
                               {"verdict", v.line()},
                               {"auditRows", v.rows},
                               {"rowsChecked", v.sealed},
                               {"results", v.results},
                               {"head", {{"id", v.headId}, {"sha256", v.head}}},
                               {"findings", findings}});
    } else {
        for (const kvtarchive::AuditFinding& f : v.findings)
            std::cout << fmt::format("{} {} {}: {}\n", f.table, f.key, f.what, f.detail);
        std::cout << context.workspace.archiveShown() << ": " << v.line() << '\n';
        if (v.whole() && v.headId) std::cout << "head " << v.headId << ":" << v.head << '\n';
    }
    if (!v.whole()) {
        throw CliError(kExitCalibrator, "archive verify: " + v.line()).answered();
    }
}

// The rows touched, table by table: "results 4, 5; calibrations 2".
std::string touchedText(const nlohmann::json& touched) {
    std::string text;
    for (const auto& [table, rows] : touched.items()) {
        std::string keys;
        for (const auto& [key, seal] : rows.items())
            keys += (keys.empty() ? "" : ", ") + key;
        text += (text.empty() ? "" : "; ") + table + " " + keys;
    }
    return text;
}

json touchedKeys(const nlohmann::json& touched) {
    json keys = json::object();
    for (const auto& [table, rows] : touched.items()) {
        keys[table] = json::array();
        for (const auto& [key, seal] : rows.items())
            keys[table].push_back(key);
    }
    return keys;
}

void logCommand(const Context& context, const std::string& since) {
    static const std::regex day(R"(\d{4}-\d{2}-\d{2}(T\d{2}:\d{2}(:\d{2})?Z?)?)");
    if (!since.empty() && !std::regex_match(since, day)) {
        throw inputError("--since \"" + since + "\" is not a day (2025-01-31) or a UTC time");
    }
    std::vector<kvtarchive::AuditEntry> log;
    try {
        log = context.workspace.openArchive(kvtarchive::Access::Read)->auditLog(since);
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
    if (context.json) {
        json rows = json::array();
        for (const kvtarchive::AuditEntry& e : log) {
            const nlohmann::json touched = nlohmann::json::parse(e.touched, nullptr, false);
            const json facts = json::parse(e.facts, nullptr, false);
            rows.push_back({{"id", e.id},
                            {"at", e.at},
                            {"technician", e.technician},
                            {"osUser", e.osUser},
                            {"command", e.command},
                            {"change", e.change},
                            {"touched", touched.is_object() ? touchedKeys(touched) : json()},
                            {"facts", facts.is_object() ? facts : json()},
                            {"previous", e.previous},
                            {"sha256", e.sha256}});
        }
        std::cout << dumpJson({{"archive", context.workspace.archiveShown()}, {"log", rows}});
        return;
    }
    Table table({"id", "at (UTC)", "technician", "user", "change", "rows", "command"}, "rllllll");
    for (const kvtarchive::AuditEntry& e : log) {
        const nlohmann::json touched = nlohmann::json::parse(e.touched, nullptr, false);
        table.add({std::to_string(e.id), e.at, e.technician, e.osUser, e.change,
                   touched.is_object() ? touchedText(touched) : "?", e.command});
    }
    table.print(std::cout);
    if (!log.empty()) std::cout << "head " << log.back().id << ":" << log.back().sha256 << '\n';
}

struct AuditArguments {
    std::vector<std::string> witnesses;
    std::string since;
};

}  // namespace

std::string commandLine(int argc, const char* const* argv) {
    static const std::regex password(R"((--?[\w-]*password[\w-]*)(=.*)?)", std::regex::icase);
    std::string text;
    bool secretNext = false;
    for (int i = 0; i < argc; ++i) {
        std::string word = argv[i];
        std::smatch m;
        if (secretNext) {
            word = "***";
            secretNext = false;
        } else if (std::regex_match(word, m, password)) {
            secretNext = !m[2].matched;
            if (m[2].matched) word = m[1].str() + "=***";
        } else {
            const size_t equals = word.find('=');
            if (word.rfind("--", 0) == 0 && equals != std::string::npos)
                word =
                    word.substr(0, equals + 1) + kvtarchive::shownLocation(word.substr(equals + 1));
            else
                word = kvtarchive::shownLocation(word);
        }
        if (word.empty() || word.find_first_of(" \t'\"\\") != std::string::npos) {
            std::string quoted = "'";
            for (char c : word)
                quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            word = quoted + "'";
        }
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

void addAuditCommands(CLI::App& archive, Context& context) {
    const auto a = std::make_shared<AuditArguments>();
    CLI::App* verify = archive.add_subcommand(
        "verify",
        "check the audit trail: its chain of hashes, every row against the change that last "
        "touched it, every result's raw records; names each row or record changed, inserted or "
        "deleted behind kvtlnk's back (exit 1)");
    verify
        ->add_option("--witness", a->witnesses,
                     "an audit row's ID:SHA256 written down earlier (archive verify prints the "
                     "head), which the chain must still hold")
        ->type_name("ID:SHA256");
    verify->callback([&context, a] { verifyCommand(context, a->witnesses); });
    CLI::App* log = archive.add_subcommand(
        "log", "the audit trail: each change with when, who, the command and the rows it touched");
    log->add_option("--since", a->since, "from this day (2025-01-31) on")->type_name("DATE");
    log->callback([&context, a] { logCommand(context, a->since); });
}

}  // namespace kvtcli
