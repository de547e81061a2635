// Looking things up in a lab file, and where the file is.
#include "lab/lab.h"

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

std::optional<int> Lab::intervalFor(const std::string& tag) const {
    const Interval* best = nullptr;
    for (const Interval& i : intervals) {
        if (i.pattern == tag) return i.days;
        if (kvtapp::platform::matchesPattern(i.pattern, tag) &&
            (!best || i.pattern.size() > best->pattern.size())) {
            best = &i;
        }
    }
    if (!best) return std::nullopt;
    return best->days;
}

const char* const kRoles[2] = {"technician", "quality manager"};

const User* Lab::user(const std::string& name) const {
    for (const User& u : users) {
        if (u.name == name) return &u;
    }
    return nullptr;
}

std::vector<Problem> labWarnings(const Lab& lab, const std::string& today) {
    std::vector<Problem> warnings;
    const std::optional<int64_t> now = kvtapp::dayOfStamp(today);
    for (const auto& [list, key, kind] : {std::tuple(&lab.calibrators, "standards", "calibrator"),
                                          std::tuple(&lab.modules, "modules", "pressure module")}) {
        for (size_t i = 0; i < list->size(); ++i) {
            const Standard& s = (*list)[i];
            const std::optional<int64_t> due = kvtapp::dayOfStamp(s.due);
            if (!now || !due || *due - *now > kDueSoonDays) continue;
            const int64_t days = *due - *now;
            const std::string when =
                days < 0    ? "was due on " + s.due + ", " + std::to_string(-days) + " days ago"
                : days == 0 ? "is due today"
                            : "is due on " + s.due + ", in " + std::to_string(days) + " days";
            warnings.push_back(
                {std::string(key) + "[" + std::to_string(i) + "]",
                 std::string(kind) + " " + s.serial + " " + when +
                     (days < 0 ? ": certificates of calibrations with it since then say so" : "")});
        }
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
