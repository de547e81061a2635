// Where the archive is.
#include "archive/archive.h"
#include "base/platform.h"

namespace kvtarchive {

std::string archiveLocation(const std::string& option, const std::string& labDefault) {
    if (!option.empty()) return option;
    const std::string fromEnvironment = kvtapp::platform::environment("KVTLNK_ARCHIVE");
    if (!fromEnvironment.empty()) return fromEnvironment;
    if (!labDefault.empty()) return labDefault;
    return kvtapp::platform::dataFolder() + "/kvtlnk/records.db";
}

bool isPostgresLocation(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

}  // namespace kvtarchive
