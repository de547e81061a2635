#include "archive/copy.h"

namespace kvtarchive {
namespace {

// The SHA-256 of the fingerprints, in the order of their keys.
std::string digestOf(const std::map<std::string, std::string>& fingerprints) {
    std::string text;
    for (const auto& [key, fingerprint] : fingerprints)
        text += key + "\n" + fingerprint + "\n";
    return sha256Hex(std::vector<uint8_t>(text.begin(), text.end()));
}

void copyIntervals(Archive& from, Archive& to, CopyOutcome& outcome) {
    const std::map<std::string, int> own = to.intervals();
    for (const auto& [tag, days] : from.intervals()) {
        const auto it = own.find(tag);
        if (it == own.end()) {
            outcome.intervals += to.setInterval(tag, days) ? 1 : 0;
        } else if (it->second != days) {
            outcome.intervalsKept.push_back(tag + ": " + std::to_string(it->second) +
                                            " days kept, the source has " + std::to_string(days));
        }
    }
}

void verify(Archive& from, Archive& to, CopyOutcome& outcome) {
    const std::map<std::string, std::string> source = from.resultFingerprints();
    const std::map<std::string, std::string> held = to.resultFingerprints();
    size_t missing = 0, different = 0;
    for (const auto& [key, fingerprint] : source) {
        const auto it = held.find(key);
        missing += it == held.end() ? 1 : 0;
        different += it != held.end() && it->second != fingerprint ? 1 : 0;
    }
    outcome.results = source.size();
    outcome.verified = source.size() - missing - different;
    outcome.digest = digestOf(source);
    if (missing + different == 0) return;
    throw ArchiveError("the copy does not check: of the " + std::to_string(source.size()) +
                       " results of the source, the destination lacks " + std::to_string(missing) +
                       " and holds " + std::to_string(different) + " on other records");
}

}  // namespace

CopyOutcome copyArchive(Archive& from, Archive& to,
                        const std::function<void(size_t, size_t)>& progress) {
    CopyOutcome outcome;
    const std::vector<int64_t> uploads = from.uploadIds();
    for (int64_t id : uploads) {
        const std::optional<Upload> upload = from.upload(id);
        if (upload && !upload->results.empty()) {
            const AddOutcome added = to.add(*upload);
            outcome.added += added.added;
            outcome.held += added.held;
        }
        ++outcome.uploads;
        if (progress) progress(outcome.uploads, uploads.size());
    }
    copyIntervals(from, to, outcome);
    verify(from, to, outcome);
    return outcome;
}

}  // namespace kvtarchive
