// kvtlnk archive init and archive copy: a lab's shared archive made ready, and a bench's archive
// moved into it.
#include <fmt/format.h>

#include <filesystem>
#include <iostream>

#include "archive/copy.h"
#include "archive/init.h"
#include "archive_commands.h"
#include "base/words.h"
#include "interrupt.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

void initCommand(const Context& context, const std::string& given, const kvtarchive::Roles& roles) {
    const std::string location = given.empty() ? context.workspace.archiveLocation() : given;
    kvtarchive::InitOutcome o;
    try {
        o = kvtarchive::initArchive(location, roles, context.workspace.actor());
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
    const bool shared = o.engine == "postgresql";
    if (context.json) {
        json out = {{"archive", o.where}, {"engine", o.engine}, {"schemaVersion", o.version}};
        if (shared) {
            out["database"] = o.database;
            out["schema"] = o.schema;
            out["roles"] = {{"store", roles.store}, {"read", roles.read}};
            out["rolesMade"] = o.rolesMade;
        }
        std::cout << dumpJson(out);
        return;
    }
    if (!shared) {
        std::cout << fmt::format(
            "The archive {} is ready, at schema version {}: an SQLite file, which whoever may "
            "write it may store into\n",
            o.where, o.version);
        return;
    }
    const auto made = [&](const std::string& role) {
        const bool isNew =
            std::find(o.rolesMade.begin(), o.rolesMade.end(), role) != o.rolesMade.end();
        return role + (isNew ? " (made)" : " (there already)");
    };
    std::cout << fmt::format(
        "The archive {} is ready, at schema version {}: its tables in schema {} of database {}\n"
        "  {} may store results, {} may only read them\n"
        "Give each bench's login the first, and the web page's the second, for example:\n"
        "  CREATE ROLE bench1 LOGIN; GRANT {} TO bench1;\n",
        o.where, o.version, o.schema, o.database, made(roles.store), made(roles.read), roles.store);
}

// Refuses a source that is not there (rather than making an empty archive of it) and a
// destination that is the source.
void checkCopy(const std::string& from, const std::string& to) {
    namespace fs = std::filesystem;
    std::error_code unseen;
    if (!kvtarchive::isPostgresLocation(from) && !fs::is_regular_file(from, unseen)) {
        throw inputError(from + ": no archive there to copy (archive copy SOURCE DESTINATION)");
    }
    const bool same = kvtarchive::isPostgresLocation(from) || kvtarchive::isPostgresLocation(to)
                          ? from == to
                          : fs::equivalent(from, to, unseen);
    if (same) throw inputError("archive copy: the source and the destination are the same archive");
}

void copyCommand(const Context& context, const std::string& from, const std::string& to) {
    checkCopy(from, to);
    kvtarchive::CopyOutcome o;
    std::string source, destination;  // where they are, without a password
    try {
        const kvtarchive::Actor actor = context.workspace.actor();
        const auto in = kvtarchive::Archive::open(from, kvtarchive::Access::Read, actor);
        const auto out = kvtarchive::Archive::open(to, kvtarchive::Access::Store, actor);
        source = in->where();
        destination = out->where();
        o = kvtarchive::copyArchive(*in, *out, [](size_t, size_t) { checkInterrupt(); });
    } catch (const kvtarchive::ArchiveError& e) {
        Error error = archiveError(e);
        error.addLine("what was copied stays; archive copy again goes on from there");
        throw error;
    }
    if (context.json) {
        std::cout << dumpJson({{"from", source},
                               {"to", destination},
                               {"uploads", o.uploads},
                               {"results", o.results},
                               {"added", o.added},
                               {"held", o.held},
                               {"intervals", o.intervals},
                               {"intervalsKept", o.intervalsKept},
                               {"verified", o.verified},
                               {"sha256", o.digest}});
        return;
    }
    std::cout << fmt::format("Copied {} into {}: {}, {}: {} added, {} held already\n", source,
                             destination, plural(o.uploads, "upload"), plural(o.results, "result"),
                             o.added, o.held);
    if (o.intervals) std::cout << "  " << plural(o.intervals, "interval") << " set\n";
    for (const std::string& kept : o.intervalsKept)
        std::cout << "  interval of " << kept << '\n';
    std::cout << fmt::format(
        "Checked: {} holds all {} of {} on the same records (SHA-256 of their records {})\n",
        destination, plural(o.verified, "result"), source, o.digest);
}

struct SetupArguments {
    std::string location, from, to;
    kvtarchive::Roles roles;
};

}  // namespace

void addArchiveSetupCommands(CLI::App& archive, Context& context) {
    const auto a = std::make_shared<SetupArguments>();
    CLI::App* init = archive.add_subcommand(
        "init",
        "make the archive, or bring it up to date; on PostgreSQL, as the database's owner, also "
        "the roles of a lab (one that stores, one that only reads) with their rights");
    init->add_option("ARCHIVE", a->location,
                     "postgresql://... or an SQLite file; else --archive, KVTLNK_ARCHIVE, the "
                     "lab file's archive")
        ->type_name("URI|PATH");
    init->add_option("--store-role", a->roles.store, "the role that stores results")
        ->capture_default_str()
        ->type_name("NAME");
    init->add_option("--read-role", a->roles.read, "the role that only reads them")
        ->capture_default_str()
        ->type_name("NAME");
    init->callback([&context, a] { initCommand(context, a->location, a->roles); });

    CLI::App* copy = archive.add_subcommand(
        "copy",
        "copy every result of an archive into another (a bench's SQLite file into the lab's "
        "PostgreSQL archive) through the archive's own add: again adds nothing, a copy cut "
        "short goes on where it stopped; then check each result's records");
    copy->add_option("SOURCE", a->from, "the archive to copy from")->required();
    copy->add_option("DESTINATION", a->to, "the archive to copy into (made when missing)")
        ->required();
    copy->callback([&context, a] { copyCommand(context, a->from, a->to); });
}

}  // namespace kvtcli
