// The portable parts of the application core, built for Windows and run under wine: the
// system's calls (a scratch folder, the patterns of the lab's intervals, the user's folders),
// dates, and the pages, whose texts stay escaped. Prints what failed; exit status 1 then.
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/platform.h"
#include "base/time.h"
#include "lab/lab.h"
#include "render/report.h"

namespace {

int failures = 0;

void expect(bool holds, const char* what) {
    if (holds) return;
    std::printf("failed: %s\n", what);
    ++failures;
}

}  // namespace

int main() {
    using namespace kvtapp;
    const std::string scratch = platform::makeScratchFolder("kvtapp");
    expect(std::filesystem::is_directory(scratch), "a scratch folder is made");
    expect(platform::writableFolder(scratch), "the scratch folder is writable");
    std::filesystem::remove_all(scratch);
    expect(platform::matchesPattern("PT-*", "PT-101"), "PT-* matches PT-101");
    expect(!platform::matchesPattern("PT-*", "TT-7"), "PT-* does not match TT-7");
    expect(!platform::configFolder().empty(), "the settings have a folder");
    expect(dateOfDay(*dayOfStamp("2024-02-29 10:00:00") + 1) == "2024-03-01", "days count");
    expect(localTime().size() == 19, "the local time reads 2024-05-02 14:10:00");

    kvtlab::Lab lab;
    lab.intervals = {{"PT-*", 30}};
    expect(lab.intervalFor("PT-101") == 30, "the lab's interval by pattern");

    Result r;
    r.text1 = "<script>PT-101</script>";
    r.taken = "2025-03-03 09:00:00";
    ReportSource source;
    source.origin = "field.json";
    const std::string page = reportHtml({r}, source);
    expect(page.find("&lt;script&gt;PT-101") != std::string::npos, "the tag is escaped");
    expect(page.find("<script>") == std::string::npos, "no script in the page");
    if (failures == 0) std::printf("the portable core runs on Windows\n");
    return failures == 0 ? 0 : 1;
}
