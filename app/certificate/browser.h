// The browser behind a PDF printer: one Chromium driven over its DevTools protocol.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "certificate/pdf.h"

namespace kvtapp {

class PdfPrinter::Browser {
  public:
    virtual ~Browser() = default;
    // The PDF of each page file, in their order.
    virtual std::vector<std::string> print(const std::vector<std::string>& files) = 0;
};

// A Chromium started with its profile in the folder, its output in the folder's log; nothing
// where the platform cannot drive one this way.
std::unique_ptr<PdfPrinter::Browser> devToolsBrowser(const std::string& program,
                                                     const std::string& folder,
                                                     const std::function<void()>& checkpoint);

}  // namespace kvtapp
