// Where the archive is, who named it, and how it is shown.
#include "archive/archive.h"
#include "base/platform.h"

namespace kvtarchive {

ArchivePlace archivePlace(const std::string& option, const std::string& labArchive,
                          const std::string& labFile) {
    if (!option.empty()) return {option, "given by --archive"};
    const std::string fromEnvironment = kvtapp::platform::environment("KVTLNK_ARCHIVE");
    if (!fromEnvironment.empty()) return {fromEnvironment, "given by KVTLNK_ARCHIVE"};
    if (!labArchive.empty()) return {labArchive, "given by the lab file " + labFile};
    return {kvtapp::platform::dataFolder() + "/kvtlnk/records.db", "the default place"};
}

bool isPostgresLocation(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

// The user information of a URI ends at the first "@" before any "/", as libpq reads it; its
// password follows the first ":". A "password" parameter ends at the next "&".
std::string shownLocation(const std::string& location) {
    if (!isPostgresLocation(location)) return location;
    std::string text = location;
    const size_t start = text.find("://") + 3;
    const size_t at = text.find_first_of("@/?", start);
    if (at != std::string::npos && text[at] == '@') {
        const size_t colon = text.find(':', start);
        if (colon < at) text.replace(colon + 1, at - colon - 1, "***");
    }
    for (size_t p = text.find("password=", start); p != std::string::npos;
         p = text.find("password=", p + 1)) {
        if (text[p - 1] != '?' && text[p - 1] != '&') continue;
        const size_t value = p + 9;
        const size_t end = text.find('&', value);
        text.replace(value, (end == std::string::npos ? text.size() : end) - value, "***");
    }
    return text;
}

std::vector<kvtapp::KeptFile> archiveFiles(const std::string& location) {
    if (location.empty() || isPostgresLocation(location)) return {};
    return {{location, "the records archive"},
            {location + "-wal", "the records archive's write-ahead log"},
            {location + "-shm", "the records archive's shared memory"},
            {location + "-journal", "the records archive's journal"}};
}

}  // namespace kvtarchive
