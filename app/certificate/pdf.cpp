#include "certificate/pdf.h"

#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "base/platform.h"
#include "certificate/certificate.h"

namespace kvtapp {
namespace {

constexpr int kTimeLimitMs = 120000;

std::string browser() {
    const std::string named = platform::environment("KVTLNK_CHROMIUM");
    if (!named.empty()) return named;
    const std::string found =
        platform::findProgram({"chromium", "chromium-browser", "google-chrome"});
    if (!found.empty()) return found;
    throw inputError(
        "a PDF is printed by Chromium, which is not installed: install the Debian package "
        "chromium, or name the browser in KVTLNK_CHROMIUM; without --pdf the certificate is "
        "written as HTML");
}

// A folder of its own, removed with the object.
class ScratchFolder {
  public:
    ScratchFolder() : path_(platform::makeScratchFolder("kvtpdf")) {}
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string operator/(const std::string& name) const {
        return (std::filesystem::path(path_) / name).string();
    }

  private:
    std::string path_;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

std::string printPdf(const std::string& html, const std::function<void()>& checkpoint) {
    const std::string program = browser();
    ScratchFolder folder;
    const std::string page = folder / "certificate.html";
    const std::string pdf = folder / "certificate.pdf";
    const std::string log = folder / "chromium.log";
    std::ofstream(page, std::ios::binary) << html;
    // The page runs no script and fetches nothing (its own policy says so), which is what
    // makes Chromium's sandbox dispensable; it cannot run as root or in many containers.
    const platform::ProgramEnd end = platform::runProgram(
        {program, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-extensions", "--no-pdf-header-footer",
         "--user-data-dir=" + (folder / "profile"), "--print-to-pdf=" + pdf, "file://" + page},
        log, kTimeLimitMs, checkpoint);
    if (!end.finished) {
        throw calibratorError("Chromium did not print the PDF within " +
                              std::to_string(kTimeLimitMs / 1000) +
                              " s: it was stopped, and no PDF was written");
    }
    std::string bytes = readAll(pdf);
    if (bytes.compare(0, 5, "%PDF-") != 0) {
        std::string said = readAll(log);
        if (said.size() > 600) said = "..." + said.substr(said.size() - 600);
        throw calibratorError(program + " did not print the PDF (" +
                              (end.exited ? "exit status " + std::to_string(end.exitStatus)
                                          : std::string("stopped by a signal")) +
                              "); it said: " + said);
    }
    return bytes;
}

}  // namespace kvtapp
