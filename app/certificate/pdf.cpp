#include "certificate/pdf.h"

#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "base/platform.h"
#include "certificate/browser.h"

namespace kvtapp {
namespace {

constexpr int kTimeLimitMs = 120000;

std::string browserProgram() {
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

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string path(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

// The last lines Chromium wrote, for a message.
std::string said(const std::string& log) {
    std::string text = readAll(log);
    if (text.size() > 600) text = "..." + text.substr(text.size() - 600);
    return text;
}

// One page by a browser of its own.
std::string printAlone(const std::string& program, const std::string& folder,
                       const std::string& page, const std::function<void()>& checkpoint) {
    const std::string pdf = page + ".pdf";
    const std::string log = path(folder, "chromium.log");
    // The page runs no script and fetches nothing (its own policy says so), which is what
    // makes Chromium's sandbox dispensable; it cannot run as root or in many containers.
    const platform::ProgramEnd end = platform::runProgram(
        {program, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-extensions", "--no-pdf-header-footer",
         "--user-data-dir=" + path(folder, "profile"), "--print-to-pdf=" + pdf, "file://" + page},
        log, kTimeLimitMs, checkpoint);
    if (!end.finished) {
        throw calibratorError("Chromium did not print the PDF within " +
                              std::to_string(kTimeLimitMs / 1000) +
                              " s: it was stopped, and no PDF was written");
    }
    std::string bytes = readAll(pdf);
    if (bytes.compare(0, 5, "%PDF-") != 0) {
        throw calibratorError(program + " did not print the PDF (" +
                              (end.exited ? "exit status " + std::to_string(end.exitStatus)
                                          : std::string("stopped by a signal")) +
                              "); it said: " + said(log));
    }
    return bytes;
}

}  // namespace

PdfPrinter::PdfPrinter(std::function<void()> checkpoint) : checkpoint_(std::move(checkpoint)) {}

PdfPrinter::~PdfPrinter() {
    browser_.reset();  // the browser first: it holds files in the folder
    if (folder_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> PdfPrinter::print(const std::vector<std::string>& pages) {
    if (folder_.empty()) {
        program_ = browserProgram();
        folder_ = platform::makeScratchFolder("kvtpdf");
    }
    std::vector<std::string> files;
    for (const std::string& html : pages) {
        files.push_back(path(folder_, "page-" + std::to_string(++printed_) + ".html"));
        std::ofstream(files.back(), std::ios::binary) << html;
    }
    if (!browser_) browser_ = devToolsBrowser(program_, folder_, checkpoint_);
    std::vector<std::string> pdfs;
    if (browser_) {
        try {
            pdfs = browser_->print(files);
        } catch (...) {
            browser_.reset();  // a browser that failed or was stopped prints nothing more
            throw;
        }
    } else {
        for (const std::string& file : files)
            pdfs.push_back(printAlone(program_, folder_, file, checkpoint_));
    }
    for (const std::string& file : files) {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
    return pdfs;
}

std::string printPdf(const std::string& html, const std::function<void()>& checkpoint) {
    return PdfPrinter(checkpoint).print({html}).at(0);
}

#ifdef _WIN32
std::unique_ptr<PdfPrinter::Browser> devToolsBrowser(const std::string&, const std::string&,
                                                     const std::function<void()>&) {
    return nullptr;
}
#endif

}  // namespace kvtapp
