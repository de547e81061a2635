// Looking things up in a lab file, and where the file is.
#include "lab/lab.h"
#include "base/platform.h"

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

std::string labPath(const std::string& option) {
    if (!option.empty()) return option;
    return kvtapp::platform::configFolder() + "/kvtlnk/lab.toml";
}

std::optional<int> parseInterval(const std::string& text) {
    const struct {
        char unit;
        int days;
    } units[] = {{'d', 1}, {'w', 7}, {'y', 365}};
    size_t used = 0;
    long long n = -1;
    try {
        n = std::stoll(text, &used);
    } catch (const std::exception&) {
    }
    int factor = used == text.size() ? 1 : 0;
    for (const auto& u : units) {
        if (used + 1 == text.size() && text[used] == u.unit) factor = u.days;
    }
    if (n < 0 || factor == 0 || n > 100 * 365 / factor || text[0] == '+' || text[0] == ' ') {
        return std::nullopt;
    }
    return static_cast<int>(n * factor);
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
