// Printing an HTML page to PDF with headless Chromium (Debian package chromium).
#pragma once

#include <functional>
#include <string>

namespace kvtapp {

// The PDF of a self-contained HTML page (no scripts, nothing fetched), printed by the Chromium
// that KVTLNK_CHROMIUM names or the first of chromium, chromium-browser and google-chrome on
// the PATH, in a profile and folder of its own that are removed afterwards. The page's CSS
// @page rules set the paper and the margin boxes. checkpoint is called while Chromium prints
// and may throw to stop it. Throws an Error that says what to install or what went wrong; a
// Chromium that has not finished in two minutes is stopped.
std::string printPdf(const std::string& html, const std::function<void()>& checkpoint = {});

}  // namespace kvtapp
