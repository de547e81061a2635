// The lab file: one hand-edited TOML file that describes the calibration lab: its name,
// address and accreditation, who authorises its certificates, its technicians, its reference
// standards (calibrators and pressure modules, each with its own calibration and accuracy, and
// their earlier certificates), its customers, its instruments and the methods it follows, its
// decision rule, the default archive and serial port, and the calibration intervals of its
// instruments.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kvtlab {

// A stated accuracy: ± (% of reading + % of range).
struct Accuracy {
    double ofReading = 0;
    double ofRange = 0;
};

// A reference standard, known by its serial number, with its own calibration: a calibrator
// (accuracy per function, by the library's function names) or a pressure module (accuracy
// under "pressure", over its range).
struct Standard {
    std::string serial;
    std::string model;
    std::string certificate;  // the number of its own calibration certificate
    std::string calibrated;   // "2025-01-10"
    std::string due;
    std::string calibratedBy;  // the lab that issued that certificate
    std::map<std::string, Accuracy> accuracy;
    double rangeLow = 0, rangeHigh = 0;  // a pressure module's, in its units
    std::string units;                   // a pressure unit name of the library ("bar", "psi")
    // Its earlier certificates, each with what it stated (what it leaves out is this one's).
    std::vector<Standard> past;
};

// Someone who may sign in to the bench page: a name, a role ("technician" or "quality manager")
// and the Argon2id hash of their password ("$argon2id$v=19$..."), which kvtlnk lab passwd writes.
struct User {
    std::string name;
    std::string role;
    std::string passwordHash;
};
extern const char* const kRoles[2];  // "technician", "quality manager"

// A standard's certificate as JSON, without its earlier ones; and back.
nlohmann::ordered_json toJson(const Standard& standard);
Standard standardFromJson(const nlohmann::ordered_json& value);

// Of the certificates of one standard, the one in force on the day ("2025-01-10"): the latest
// calibrated on or before it; nothing when none was.
const Standard* certificateOn(const std::vector<const Standard*>& certificates,
                              const std::string& day);

// An instrument of the lab's customers, by its tag, and what identifies it.
struct InstrumentEntry {
    std::string tag;
    std::string make, model, serialNumber, range, customer;
};

// A customer: its name and address, and the tags of its instruments (shell wildcards).
struct Customer {
    std::string name, address;
    std::vector<std::string> tags;
};

// How verdicts are given: on the reading alone (simple acceptance), or passing only an error
// within the tolerance less the expanded uncertainty (guarded acceptance, w = U).
enum class DecisionRule { Simple, Guarded };

// A calibration interval for the instruments whose tag matches the pattern ("PT-101", "PT-*").
struct Interval {
    std::string pattern;
    int days = 0;
};

// The method of the procedures (tasks) whose name matches the pattern: the lab's reference
// for it ("WI-07 rev. 3").
struct Method {
    std::string pattern;
    std::string reference;
};

constexpr double kDefaultMinimumTur = 4;

struct Lab {
    std::string path;  // the file it was read from; empty when there is none
    std::string name, address, accreditation;
    std::string technician;  // the default technician
    std::vector<std::string> technicians;
    std::string bench;    // this bench's name in the lab; empty for the computer's name
    std::string archive;  // the default records archive; a relative path made the lab file's
    std::string port;     // the default serial port
    std::string certificatePrefix;
    std::string paper;         // "A4" or "letter"; empty for the default
    std::string authorisedBy;  // who authorises the certificates
    DecisionRule rule = DecisionRule::Simple;
    double minimumTur = kDefaultMinimumTur;
    int64_t clockToleranceSeconds = 86400;  // how far before the previous upload a stamp may be
    int windowDays = 7;  // how far from its first result a calibration's results may be
    std::vector<Standard> calibrators;
    std::vector<Standard> modules;
    std::vector<Interval> intervals;
    std::vector<User> users;
    std::vector<InstrumentEntry> instruments;
    std::vector<Customer> customers;
    std::vector<Method> methods;

    const Standard* calibrator(const std::string& serial) const;
    // The module one of whose texts, as the calibrator identified it, is its serial number.
    const Standard* module(const std::string& text1, const std::string& text2) const;
    // The interval of an instrument: a key equal to its tag, else the longest pattern that
    // matches it (shell wildcards: * ? [...]); nothing when none does.
    std::optional<int> intervalFor(const std::string& tag) const;
    const User* user(const std::string& name) const;
    const InstrumentEntry* instrument(const std::string& tag) const;
    // A customer by name; the customer whose tags match an instrument's tag (the longest
    // pattern first).
    const Customer* customer(const std::string& name) const;
    const Customer* customerOf(const std::string& tag) const;
    // The method of a procedure by its name, as intervals are found; nothing when none.
    std::optional<std::string> methodFor(const std::string& procedure) const;
};

// "simple acceptance", "guarded acceptance (w = U)".
const char* ruleName(DecisionRule rule);

// What a calibration certificate states that the lab file cannot give: one line each, naming
// the key that would.
std::vector<std::string> certificateGaps(const Lab& lab);

// One thing wrong with the file: the key it concerns ("standards[1].due") and what is wrong.
struct Problem {
    std::string key;
    std::string message;
};

// Reads a lab file's text; every problem found is appended to problems (a syntax error is
// one), and the lab is usable only when there were none.
Lab parseLab(const std::string& text, const std::string& path, std::vector<Problem>& problems);

// The lab file's text with the user's password hash set (and role, when one is given): the line of
// an existing [[users]] table replaced or added, other lines as they were; a new [[users]] table
// at the end for a name not listed, which then needs its role. A problem (the text is not TOML,
// the name's users entry is an inline table, a new user without a role) is an input the caller
// reports: it comes back in problem, and the text is returned unchanged.
std::string withUserPassword(const std::string& text, const std::string& name,
                             const std::string& role, const std::string& hash,
                             std::string& problem);

// Days before a standard's due date from which a check of the lab file reminds of it.
constexpr int kDueSoonDays = 30;

// Where a reference standard's calibration stands on a day: in date, due within kDueSoonDays,
// overdue; unknown when its due date is not a day.
enum class StandardStatus { InDate, DueSoon, Overdue, Unknown };
const char* statusName(StandardStatus status);  // "in date", "due soon", "overdue", "unknown"

// A standard or module of the lab file as it stands on a day: where it is in the file
// ("standards[0]", "modules[1]"), what it is ("calibrator", "pressure module"), its status and
// the days left to its due date (negative once overdue).
struct StandardStanding {
    std::string key;
    std::string kind;
    const Standard* standard = nullptr;
    StandardStatus status = StandardStatus::Unknown;
    int64_t daysLeft = 0;
};
// Every calibrator, then every module, of the lab on the day given ("2025-01-10").
std::vector<StandardStanding> standardsOn(const Lab& lab, const std::string& today);
nlohmann::ordered_json toJson(const StandardStanding& standing);

// What a lab file without problems still asks its lab to see to on the day given ("2025-01-10"):
// each reference standard past its due date, or due within kDueSoonDays; keyed as problems are
// ("standards[0]", "modules[1]").
std::vector<Problem> labWarnings(const Lab& lab, const std::string& today);

// Where the lab file is: the option, else $XDG_CONFIG_HOME/kvtlnk/lab.toml
// (~/.config/kvtlnk/lab.toml without it).
std::string labPath(const std::string& option);

// "180d", "26w", "1y" (365 days), "90": a number of days up to 100 years; nothing otherwise.
std::optional<int> parseInterval(const std::string& text);

// Pascals in one of a pressure unit of the library ("bar", "psi", "in_h2o"); 0 for a name that
// is not one.
double pascalsPer(const std::string& unit);

}  // namespace kvtlab
