#include "workspace/certificates.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <deque>
#include <filesystem>

#include "base/error.h"
#include "base/numbers.h"
#include "base/platform.h"
#include "base/time.h"

namespace kvtapp {
namespace {

// Certificates rendered and printed at once before they are written and stored.
constexpr size_t kChunk = 16;
// Times the numbers of a batch may be taken by other issues before it gives up.
constexpr int kConflicts = 5;

bool allDigits(const std::string& text) {
    return !text.empty() && text.size() < 16 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

// The calibration a target names: a calibration number, else the last calibration of an
// instrument.
int64_t calibrationOf(kvtarchive::Archive& archive, const std::string& target) {
    const std::optional<int64_t> number = wholeNumber(target, 1, INT64_MAX);
    const int64_t last = archive.lastCalibration(target);
    if (number && archive.calibration(*number)) {
        if (last) {
            throw inputError("\"" + target + "\" is both a calibration number and the tag of an " +
                             "instrument: give the number of its last calibration instead " +
                             "(kvtlnk history " + target + ")");
        }
        return *number;
    }
    if (last) return last;
    throw inputError("the archive holds no " +
                     std::string(number ? "calibration " + target + " and no " : "") +
                     "instrument \"" + target + "\" (kvtlnk archive list names them)");
}

template <typename Call>
auto archived(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const kvtarchive::NumberTaken&) {
        throw;
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
}

InstrumentIdentity identityOf(const kvtlab::InstrumentEntry& e) {
    return {e.make, e.model, e.serialNumber, e.range, e.customer, "", ""};
}

// A certificate to write: a new one, or one in force to print again.
struct Job {
    Calibration calibration;
    std::optional<IssuedCertificate> again;
    Issued issued;
    std::string html;
};

// What differs between the conditions given and those a certificate states; empty when none.
std::string differing(const Conditions& given, const Conditions& held) {
    const auto number = [](double v, const char* unit) {
        return std::isnan(v) ? std::string("none") : fmt::format("{} {}", v, unit);
    };
    if (!std::isnan(given.temperature) && given.temperature != held.temperature) {
        return "the ambient temperature " + number(held.temperature, "°C") + ", not " +
               number(given.temperature, "°C");
    }
    if (!std::isnan(given.humidity) && given.humidity != held.humidity) {
        return "the relative humidity " + number(held.humidity, "%") + ", not " +
               number(given.humidity, "%");
    }
    if (!given.remarks.empty() && given.remarks != held.remarks) {
        return "the remarks \"" + held.remarks + "\", not \"" + given.remarks + "\"";
    }
    return "";
}

// A certificate in force, to print again as it was issued.
Job againJob(const kvtlab::Lab& lab, const IssuedCertificate& c, const Conditions& given) {
    const std::string number = certificateNumber(lab, c.number);
    if (c.document.empty()) {
        throw inputError("certificate " + number +
                         " was issued by an earlier kvtlnk, which did not keep its document: "
                         "issue one that replaces it (--replace " +
                         number + " --reason \"...\")");
    }
    if (kvtarchive::sha256Hex({c.document.begin(), c.document.end()}) != c.sha256) {
        throw inputError("the archive's copy of certificate " + number +
                         " does not match its SHA-256: it was changed after it was issued; "
                         "nothing was written");
    }
    const std::string change = differing(given, c.conditions);
    if (!change.empty()) {
        throw inputError("certificate " + number + " states " + change +
                         ": an issued certificate does not change; issue one that replaces it "
                         "(--replace " +
                         number + " --reason \"...\")");
    }
    Job job;
    job.again = c;
    job.html = c.document;
    job.issued = {c, certificateContentFromJson(nlohmann::json::parse(c.content, nullptr, false)),
                  number, "", true};
    return job;
}

// A calibration that may be certified: it has a day, and that day has come.
Job newJob(Calibration c) {
    const std::optional<int64_t> day = calibrationDay(c);
    if (!day) {
        throw inputError(fmt::format(
            "calibration {} of {} is not certified: its date is not believed ({}); confirm it "
            "first: kvtlnk archive confirm-date {} --date YYYY-MM-DD",
            c.id, c.instrument, dateNote(c), c.id));
    }
    if (*day > today()) {
        throw inputError(fmt::format(
            "calibration {} of {} is dated {}, after today: a certificate is never dated "
            "before its calibration (is this computer's clock right?)",
            c.id, c.instrument, dateOfDay(*day)));
    }
    Job job;
    job.calibration = std::move(c);
    return job;
}

}  // namespace

std::vector<int64_t> calibrationsOf(kvtarchive::Archive& archive,
                                    const std::vector<std::string>& targets,
                                    std::optional<int64_t> since) {
    return archived([&] {
        std::vector<int64_t> ids;
        if (since) ids = archive.calibrationsSince(*since);
        for (const std::string& target : targets) {
            const int64_t id = calibrationOf(archive, target);
            if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
        }
        return ids;
    });
}

StandardCertificates knownStandards(const kvtlab::Lab& lab, kvtarchive::Archive& archive) {
    return [&lab, &archive](const std::string& serial) {
        std::vector<kvtlab::Standard> list;
        for (const auto* standards : {&lab.calibrators, &lab.modules}) {
            for (const kvtlab::Standard& s : *standards) {
                if (s.serial != serial) continue;
                list.push_back(s);
                list.back().past.clear();
                list.insert(list.end(), s.past.begin(), s.past.end());
            }
        }
        for (kvtlab::Standard& kept : archived([&] { return archive.keptStandards(serial); })) {
            const bool listed = std::any_of(list.begin(), list.end(), [&](const auto& s) {
                return s.certificate == kept.certificate;
            });
            if (!listed) list.push_back(std::move(kept));
        }
        return list;
    };
}

void judgeByLab(const Workspace& workspace, kvtarchive::Archive& archive, Calibration& c) {
    judgeCalibration(c, workspace.lab(), knownStandards(workspace.lab(), archive));
}

void judgeResults(const Workspace& workspace, const Calibrator& calibrator,
                  std::vector<Result>& results) {
    const kvtlab::Lab& lab = workspace.lab();
    const StandardCertificates known = [&lab](const std::string& serial) {
        std::vector<kvtlab::Standard> list;
        for (const auto* standards : {&lab.calibrators, &lab.modules}) {
            for (const kvtlab::Standard& s : *standards) {
                if (s.serial != serial) continue;
                list.push_back(s);
                list.insert(list.end(), s.past.begin(), s.past.end());
            }
        }
        return list;
    };
    for (Result& r : results) {
        Calibration one;
        one.date = r.taken;
        one.uploads = {Upload{}};
        one.uploads[0].calibrator = calibrator;
        one.results = {r};
        judgeCalibration(one, lab, known);
        r = one.results[0];
    }
}

int64_t certificateNumberOf(const kvtlab::Lab& lab, const std::string& text) {
    std::string digits = text;
    const std::string& prefix = lab.certificatePrefix;
    if (!prefix.empty() && digits.compare(0, prefix.size(), prefix) == 0)
        digits.erase(0, prefix.size());
    return allDigits(digits) ? std::stoll(digits) : 0;
}

void issueCertificates(const Workspace& workspace, kvtarchive::Archive& archive,
                       const std::vector<int64_t>& calibrations, const IssueRequest& request,
                       const DocumentWriter& write, PdfPrinter& printer,
                       const std::function<void(const Issued&)>& done) {
    const kvtlab::Lab& lab = workspace.lab();
    std::optional<IssuedCertificate> replaced;
    if (!request.replaces.empty()) {
        const int64_t number = certificateNumberOf(lab, request.replaces);
        replaced = number ? archived([&] { return archive.certificate(number); }) : std::nullopt;
        if (!replaced) {
            throw inputError("--replace: the archive holds no certificate \"" + request.replaces +
                             "\"");
        }
        if (replaced->replacedBy) {
            throw inputError(
                fmt::format("certificate {} was replaced already, by {}: replace "
                            "that one",
                            certificateNumber(lab, replaced->number),
                            certificateNumber(lab, replaced->replacedBy)));
        }
        if (request.reason.empty())
            throw inputError("--replace: say why with --reason: the new certificate states it");
    }
    std::vector<Job> jobs;
    for (int64_t id : replaced ? std::vector<int64_t>{replaced->calibration} : calibrations) {
        std::optional<Calibration> c = archived([&] { return archive.calibration(id); });
        if (!c) throw inputError(fmt::format("the archive holds no calibration {}", id));
        if (c->certificate && !replaced) {
            const std::optional<IssuedCertificate> inForce =
                archived([&] { return archive.certificate(c->certificate); });
            jobs.push_back(againJob(lab, *inForce, request.conditions));
        } else {
            jobs.push_back(newJob(std::move(*c)));
        }
    }

    std::vector<kvtlab::Standard> standards = lab.calibrators;
    standards.insert(standards.end(), lab.modules.begin(), lab.modules.end());
    archived([&] { archive.keepStandards(standards); });
    const StandardCertificates known = knownStandards(lab, archive);
    CertificateRequest base;
    base.issued = dateOfDay(today());
    base.conditions = request.conditions;
    if (replaced) {
        Conditions& given = base.conditions;
        if (std::isnan(given.temperature)) given.temperature = replaced->conditions.temperature;
        if (std::isnan(given.humidity)) given.humidity = replaced->conditions.humidity;
        if (given.remarks.empty()) given.remarks = replaced->conditions.remarks;
        base.replaces = certificateNumber(lab, replaced->number);
        base.reason = request.reason;
    }
    base.moduleSerial = request.moduleSerial;
    base.paper = !request.paper.empty() ? request.paper : !lab.paper.empty() ? lab.paper : "A4";
    base.technician = workspace.technician();

    if (request.strict) {
        std::string refused;
        for (const Job& job : jobs) {
            if (job.again) continue;
            const CertificateContent check = gatherCertificate(
                job.calibration, lab,
                archived([&] { return archive.identity(job.calibration.instrument); }), known,
                base);
            if (!check.traceable) {
                refused += fmt::format("\ncalibration {} ({}): {}", job.calibration.id,
                                       job.calibration.instrument, check.traceability);
            }
        }
        if (!refused.empty()) {
            throw inputError(
                "--strict: no certificate was issued, as a reference standard is "
                "not traceable:" +
                refused);
        }
    }
    std::deque<Job*> pending;
    for (Job& job : jobs)
        pending.push_back(&job);
    for (int conflicts = 0; !pending.empty();) {
        std::vector<Job*> chunk(pending.begin(),
                                pending.begin() + long(std::min(kChunk, pending.size())));
        int64_t next = archived([&] { return archive.nextCertificateNumber(); });
        std::vector<std::string> pages;
        for (Job* job : chunk) {
            if (!job->again) {
                const std::string& tag = job->calibration.instrument;
                if (const kvtlab::InstrumentEntry* entry = lab.instrument(tag))
                    archived([&] { return archive.noteLabIdentity(tag, identityOf(*entry)); });
                CertificateRequest r = base;
                r.numberValue = next++;
                r.number = certificateNumber(lab, r.numberValue);
                Issued& issued = job->issued;
                issued.number = r.number;
                // The page is rendered from the content as the archive keeps it, so that both
                // say the same whatever bytes a text held.
                const std::string content = contentText(
                    gatherCertificate(job->calibration, lab,
                                      archived([&] { return archive.identity(tag); }), known, r));
                issued.content = certificateContentFromJson(nlohmann::json::parse(content));
                if (request.vet) request.vet(issued.content);
                job->html = certificateHtml(issued.content);
                IssuedCertificate& c = issued.certificate;
                c.number = r.numberValue;
                c.calibration = job->calibration.id;
                c.issued = r.issued;
                c.issuedAt = utcTime();
                c.issuedBy = platform::userName();
                c.replaces = replaced ? replaced->number : 0;
                c.reason = base.reason;
                c.conditions = r.conditions;
                c.content = content;
                c.document = job->html;
                c.sha256 = kvtarchive::sha256Hex({job->html.begin(), job->html.end()});
            } else if (request.vet) {
                request.vet(job->issued.content);
            }
            pages.push_back(job->html);
        }
        const std::vector<std::string> pdfs =
            request.pdf ? printer.print(pages) : std::vector<std::string>{};
        for (size_t i = 0; i < chunk.size(); ++i) {
            Job& job = *chunk[i];
            job.issued.file = write(job.issued.number, request.pdf ? pdfs[i] : pages[i]);
            if (!job.again) {
                try {
                    archive.storeCertificate(job.issued.certificate);
                } catch (const kvtarchive::ArchiveError& e) {
                    std::error_code ignored;
                    std::filesystem::remove(job.issued.file, ignored);
                    const bool taken = dynamic_cast<const kvtarchive::NumberTaken*>(&e) != nullptr;
                    if (!taken || ++conflicts > kConflicts) throw archiveError(e);
                    break;  // this one and the rest of the chunk again, with numbers from now
                }
            }
            done(job.issued);
            pending.pop_front();
        }
    }
}

}  // namespace kvtapp
