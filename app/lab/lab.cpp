// Looking things up in a lab file, and where the file is.
#include "lab/lab.h"

#include <algorithm>
#include <string_view>
#include <tuple>

#include "base/numbers.h"
#include "base/platform.h"
#include "base/time.h"

namespace kvtlab {

const Standard* Lab::calibrator(const std::string& serial) const {
    for (const Standard& s : calibrators) {
        if (s.serial == serial) return &s;
    }
    return nullptr;
}

const Standard* Lab::module(const std::string& text1, const std::string& text2) const {
    for (const Standard& m : modules) {
        if (m.serial == text1 || m.serial == text2) return &m;
    }
    return nullptr;
}

namespace {

// Of the entries, the one whose pattern is the text, else the one with the longest pattern
// that matches it (shell wildcards: * ? [...]); nothing when none does.
template <typename Entry, typename Patterns>
const Entry* bestMatch(const std::vector<Entry>& entries, const std::string& text,
                       Patterns patternsOf) {
    const Entry* best = nullptr;
    size_t length = 0;
    for (const Entry& e : entries) {
        for (const std::string& pattern : patternsOf(e)) {
            if (pattern == text) return &e;
            if (kvtapp::platform::matchesPattern(pattern, text) &&
                (!best || pattern.size() > length)) {
                best = &e;
                length = pattern.size();
            }
        }
    }
    return best;
}

}  // namespace

std::optional<int> Lab::intervalFor(const std::string& tag) const {
    const Interval* best =
        bestMatch(intervals, tag, [](const Interval& i) { return std::vector{i.pattern}; });
    if (!best) return std::nullopt;
    return best->days;
}

const InstrumentEntry* Lab::instrument(const std::string& tag) const {
    for (const InstrumentEntry& i : instruments) {
        if (i.tag == tag) return &i;
    }
    return nullptr;
}

const Customer* Lab::customer(const std::string& name) const {
    for (const Customer& c : customers) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

const Customer* Lab::customerOf(const std::string& tag) const {
    return bestMatch(customers, tag, [](const Customer& c) { return c.tags; });
}

std::optional<std::string> Lab::methodFor(const std::string& procedure) const {
    const Method* best =
        bestMatch(methods, procedure, [](const Method& m) { return std::vector{m.pattern}; });
    if (!best) return std::nullopt;
    return best->reference;
}

std::vector<std::string> certificateGaps(const Lab& lab) {
    std::vector<std::string> gaps;
    const auto need = [&](bool given, const char* what) {
        if (!given) gaps.push_back(what);
    };
    need(!lab.name.empty(), "the lab's name ([lab] name)");
    need(!lab.address.empty(), "the lab's address ([lab] address)");
    need(!lab.authorisedBy.empty(), "who authorises the certificates ([lab] authorised_by)");
    need(!lab.methods.empty(), "the lab's reference for the method ([methods])");
    const bool customer = !lab.customers.empty() ||
                          std::any_of(lab.instruments.begin(), lab.instruments.end(),
                                      [](const InstrumentEntry& i) { return !i.customer.empty(); });
    need(customer, "the customer ([[customers]], or customer in [[instruments]])");
    need(!lab.calibrators.empty(),
         "the reference standards and their certificates, for traceability ([[standards]])");
    const bool accuracy = std::all_of(lab.calibrators.begin(), lab.calibrators.end(),
                                      [](const Standard& s) { return !s.accuracy.empty(); });
    need(accuracy, "the uncertainty: the calibrators' accuracies ([[standards]] accuracy)");
    return gaps;
}

const char* ruleName(DecisionRule rule) {
    return rule == DecisionRule::Guarded ? "guarded acceptance (w = U)" : "simple acceptance";
}

nlohmann::ordered_json toJson(const Standard& s) {
    nlohmann::ordered_json accuracy = nlohmann::ordered_json::object();
    for (const auto& [function, a] : s.accuracy)
        accuracy[function] = {a.ofReading, a.ofRange};
    return {{"serial", s.serial},
            {"model", s.model},
            {"certificate", s.certificate},
            {"calibrated", s.calibrated},
            {"due", s.due},
            {"calibratedBy", s.calibratedBy},
            {"accuracy", accuracy},
            {"range", {s.rangeLow, s.rangeHigh}},
            {"units", s.units}};
}

Standard standardFromJson(const nlohmann::ordered_json& v) {
    Standard s;
    const auto text = [&](const char* key) {
        const auto at = v.find(key);
        return at != v.end() && at->is_string() ? at->get<std::string>() : std::string();
    };
    s.serial = text("serial");
    s.model = text("model");
    s.certificate = text("certificate");
    s.calibrated = text("calibrated");
    s.due = text("due");
    s.calibratedBy = text("calibratedBy");
    s.units = text("units");
    const auto pair = [](const nlohmann::ordered_json& a, double& first, double& second) {
        if (!a.is_array() || a.size() != 2 || !a[0].is_number() || !a[1].is_number()) return false;
        first = a[0].get<double>();
        second = a[1].get<double>();
        return true;
    };
    if (v.contains("range")) pair(v["range"], s.rangeLow, s.rangeHigh);
    if (v.contains("accuracy") && v["accuracy"].is_object()) {
        for (const auto& [function, a] : v["accuracy"].items()) {
            Accuracy value;
            if (pair(a, value.ofReading, value.ofRange)) s.accuracy[function] = value;
        }
    }
    return s;
}

const Standard* certificateOn(const std::vector<const Standard*>& certificates,
                              const std::string& day) {
    const Standard* found = nullptr;
    for (const Standard* s : certificates) {
        if (s->calibrated <= day && (!found || s->calibrated > found->calibrated)) found = s;
    }
    return found;
}

const char* const kRoles[2] = {"technician", "quality manager"};

const User* Lab::user(const std::string& name) const {
    for (const User& u : users) {
        if (u.name == name) return &u;
    }
    return nullptr;
}

const char* statusName(StandardStatus status) {
    switch (status) {
        case StandardStatus::InDate:
            return "in date";
        case StandardStatus::DueSoon:
            return "due soon";
        case StandardStatus::Overdue:
            return "overdue";
        default:
            return "unknown";
    }
}

std::vector<StandardStanding> standardsOn(const Lab& lab, const std::string& today) {
    std::vector<StandardStanding> list;
    const std::optional<int64_t> now = kvtapp::dayOfStamp(today);
    for (const auto& [standards, key, kind] :
         {std::tuple(&lab.calibrators, "standards", "calibrator"),
          std::tuple(&lab.modules, "modules", "pressure module")}) {
        for (size_t i = 0; i < standards->size(); ++i) {
            const Standard& s = (*standards)[i];
            StandardStanding standing{std::string(key) + "[" + std::to_string(i) + "]", kind, &s};
            const std::optional<int64_t> due = kvtapp::dayOfStamp(s.due);
            if (now && due) {
                standing.daysLeft = *due - *now;
                standing.status = standing.daysLeft < 0               ? StandardStatus::Overdue
                                  : standing.daysLeft <= kDueSoonDays ? StandardStatus::DueSoon
                                                                      : StandardStatus::InDate;
            }
            list.push_back(standing);
        }
    }
    return list;
}

nlohmann::ordered_json toJson(const StandardStanding& standing) {
    nlohmann::ordered_json value = toJson(*standing.standard);
    value["kind"] = standing.kind;
    value["status"] = statusName(standing.status);
    value["daysLeft"] = standing.status == StandardStatus::Unknown
                            ? nlohmann::ordered_json(nullptr)
                            : nlohmann::ordered_json(standing.daysLeft);
    return value;
}

std::vector<Problem> labWarnings(const Lab& lab, const std::string& today) {
    std::vector<Problem> warnings;
    for (const StandardStanding& s : standardsOn(lab, today)) {
        if (s.status != StandardStatus::Overdue && s.status != StandardStatus::DueSoon) continue;
        const int64_t days = s.daysLeft;
        const std::string& due = s.standard->due;
        const std::string when =
            days < 0    ? "was due on " + due + ", " + std::to_string(-days) + " days ago"
            : days == 0 ? "is due today"
                        : "is due on " + due + ", in " + std::to_string(days) + " days";
        warnings.push_back(
            {s.key,
             s.kind + " " + s.standard->serial + " " + when +
                 (days < 0 ? ": certificates of calibrations with it since then say so" : "")});
    }
    return warnings;
}

std::string labPath(const std::string& option) {
    if (!option.empty()) return option;
    return kvtapp::platform::configFolder() + "/kvtlnk/lab.toml";
}

std::optional<int> parseInterval(const std::string& text) {
    const struct {
        char unit;
        int days;
    } units[] = {{'d', 1}, {'w', 7}, {'y', 365}};
    std::string_view number = text;
    int factor = 1;
    for (const auto& u : units) {
        if (!text.empty() && text.back() == u.unit) {
            number.remove_suffix(1);
            factor = u.days;
        }
    }
    const std::optional<int64_t> n = kvtapp::wholeNumber(number, 0, 100 * 365 / factor);
    if (!n) return std::nullopt;
    return static_cast<int>(*n * factor);
}

double pascalsPer(const std::string& unit) {
    static const struct {
        const char* name;
        double pascals;
    } kUnits[] = {{"psi", 6894.757293168},
                  {"bar", 1e5},
                  {"kpa", 1e3},
                  {"mm_hg", 133.322387415},
                  {"in_hg", 3386.388640341},
                  {"in_h2o", 249.08891},
                  {"ft_h2o", 2989.06692}};
    for (const auto& u : kUnits) {
        if (unit == u.name) return u.pascals;
    }
    return 0;
}

}  // namespace kvtlab
