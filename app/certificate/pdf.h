// Printing HTML pages to PDF with headless Chromium (Debian package chromium).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvtapp {

// Prints self-contained HTML pages (no scripts, nothing fetched) with the Chromium that
// KVTLNK_CHROMIUM names or the first of chromium, chromium-browser and google-chrome on the
// PATH, in a profile and folder of its own that are removed with the printer. One browser prints
// every page, a few at once, driven over its DevTools protocol (--remote-debugging-pipe); where
// that cannot be (Windows) each page is printed by a browser of its own. The page's CSS @page
// rules set the paper and the margin boxes. checkpoint is called while Chromium prints and may
// throw to stop it. Errors say what to install or what went wrong; a Chromium that goes two
// minutes without printing a page is stopped.
class PdfPrinter {
  public:
    explicit PdfPrinter(std::function<void()> checkpoint = {});
    ~PdfPrinter();
    PdfPrinter(const PdfPrinter&) = delete;
    PdfPrinter& operator=(const PdfPrinter&) = delete;

    // The PDF of each page, in their order.
    std::vector<std::string> print(const std::vector<std::string>& pages);

    class Browser;

  private:
    std::function<void()> checkpoint_;
    std::string program_;
    std::string folder_;
    std::unique_ptr<Browser> browser_;  // started on the first print
    size_t printed_ = 0;
};

// The PDF of one page.
std::string printPdf(const std::string& html, const std::function<void()>& checkpoint = {});

}  // namespace kvtapp
