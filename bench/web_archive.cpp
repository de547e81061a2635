// Fills an archive for the bench page's load script (web_load.py): INSTRUMENTS instruments with
// EVENTS calibration events each, one upload an event day holding one result of each instrument.
// Usage: web_archive LOCATION [INSTRUMENTS [EVENTS]] (an SQLite file or postgresql://...).
#include <cstdlib>
#include <iostream>

#include "field_results.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: web_archive LOCATION [INSTRUMENTS [EVENTS]]\n";
        return 2;
    }
    const int instruments = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int events = argc > 3 ? std::atoi(argv[3]) : 100;
    try {
        auto archive = kvtarchive::Archive::open(argv[1], kvtarchive::Access::Store);
        // Recent days, so that the due board has instruments due and overdue.
        const int64_t first = kvtapp::today() - int64_t(events) * 4;
        for (int e = 0; e < events; ++e) {
            std::vector<kvtarchive::Result> upload;
            for (int i = 0; i < instruments; ++i) {
                upload.push_back(kvtarchive::fieldResult(
                    "PT-" + std::to_string(i), first + e * 4 - i % 400, e * instruments + i));
            }
            archive->add(kvtarchive::uploadOf(std::move(upload), e));
        }
    } catch (const std::exception& e) {
        std::cerr << "web_archive: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
