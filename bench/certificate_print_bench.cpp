// Printing certificates to PDF: 1, 10 and 100 two-page certificates, each page handed to the
// printer on its own, and the 100 handed over together as the tool hands them (the browser
// prints a few at once, a tab each), all by one Chromium over its DevTools pipe. The
// first print includes the browser's start. Skipped without Chromium.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "certificate/certificate.h"
#include "certificate/pdf.h"

namespace {

using namespace kvtapp;

// A certificate as one of a field run states it: two tests of nine points as found and as left.
CertificateContent fieldCertificate(int n) {
    CertificateContent c;
    c.number = "NIL-" + std::to_string(100000 + n).substr(1);
    c.issued = "2026-03-10";
    c.calibrated = "2026-03-09";
    c.lab = {"Northside Instrument Lab", "4 Mill Road\nHarbour Town", "ISO/IEC 17025"};
    c.customer = {"Harbour Water", "1 Quay Street"};
    c.item = {"PT-" + std::to_string(n),
              false,
              "Acme",
              "PX-2",
              "A12345",
              "0 to 10 bar",
              "\"PT\"",
              "measures current, sources pressure"};
    c.method = {"field", "WI-07 rev. 3"};
    c.standards = {{"calibrator", "K27", "SN270001", "CAL-1", "2026-01-10", "2027-01-10", "",
                    "within its calibration", true}};
    c.traceable = true;
    c.traceability = "The results are traceable to national standards through CAL-1.";
    c.temperature = "22.5 °C";
    c.humidity = "41 %";
    c.decisionRule = "simple acceptance";
    c.uncertaintyStated = true;
    for (const char* side : {"as found", "as left"}) {
        TablePart t;
        t.caption = std::string("PT: ") + side;
        t.foundLabel = "as found";
        t.leftLabel = "as left";
        t.inUnit = "mA";
        t.outUnit = "bar";
        for (int i = 0; i < 9; ++i) {
            SideCells s{true, "12.004", "0.004", "0.025", "0.0055", "4.6", "pass", false};
            t.rows.push_back({std::to_string(i * 25 % 125), "5", "12.000", s, s});
        }
        c.tables.push_back(t);
    }
    c.asFound = "pass";
    c.asLeft = "pass";
    c.technician = "A. Tester";
    c.authorisedBy = "B. Reviewer";
    return c;
}

void BM_PrintCertificates(benchmark::State& state) {
    if (access("/usr/bin/chromium", X_OK) != 0) {
        state.SkipWithError("no /usr/bin/chromium");
        return;
    }
    std::vector<std::string> pages;
    for (int n = 0; n < state.range(0); ++n)
        pages.push_back(certificateHtml(fieldCertificate(n)));
    const bool together = state.range(1) != 0;
    for (auto _ : state) {
        PdfPrinter printer;
        size_t bytes = 0;
        if (together) {
            for (const std::string& pdf : printer.print(pages))
                bytes += pdf.size();
        }
        for (size_t i = 0; !together && i < pages.size(); ++i)
            bytes += printer.print({pages[i]}).at(0).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["per certificate"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_PrintCertificates)
    ->ArgNames({"certificates", "together"})
    ->Args({1, 0})
    ->Args({10, 0})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
