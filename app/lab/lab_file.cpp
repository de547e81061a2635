// Reading a lab file: TOML through toml++, then every key checked, each problem noted with the
// key it concerns rather than stopping at the first.
#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <initializer_list>

#include "kvtlnk/kvtlnk.h"
#include "lab/lab.h"

namespace kvtlab {
namespace {

// "2025-01-10": ISO dates, which compare as texts in the order of the calendar.
std::string dateText(const toml::date& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

bool isFunction(const std::string& name) {
#define KVTLAB_FUNCTION(function, unit) function,
    static const char* const kFunctions[] = {KVTLNK_FUNCTIONS(KVTLAB_FUNCTION)};
#undef KVTLAB_FUNCTION
    return name != "none" &&
           std::find(std::begin(kFunctions), std::end(kFunctions), name) != std::end(kFunctions);
}

// "path.key", with a key that is not a bare TOML key in quotes.
std::string member(const std::string& path, const std::string& key) {
    const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
    const std::string k = bare ? key : "\"" + key + "\"";
    return path.empty() ? k : path + "." + k;
}

// A records archive named by a relative path is beside the lab file, wherever the tool runs;
// a URI or an absolute path is taken as it is.
std::string besideFile(const std::string& archive, const std::string& file) {
    const std::filesystem::path named(archive);
    if (archive.empty() || named.is_absolute() || archive.find("://") != std::string::npos ||
        archive.rfind("file:", 0) == 0 || archive == ":memory:") {
        return archive;
    }
    return (std::filesystem::path(file).parent_path() / named).string();
}

class Reader {
  public:
    explicit Reader(std::vector<Problem>& problems) : problems_(problems) {}

    void problem(const std::string& key, const std::string& message, const toml::node* at) {
        std::string text = message;
        if (at && at->source().begin.line > 0)
            text += " (line " + std::to_string(at->source().begin.line) + ")";
        problems_.push_back({key, text});
    }

    // Every key of the table but the known ones is a problem.
    void onlyKnown(const toml::table& t, const std::string& path,
                   std::initializer_list<const char*> known) {
        for (auto&& [key, node] : t) {
            const std::string k(key.str());
            if (std::find(known.begin(), known.end(), k) != known.end()) continue;
            std::string list;
            for (const char* name : known)
                list += (list.empty() ? "" : ", ") + std::string(name);
            problem(member(path, k), "is not a key of the lab file here; known: " + list, &node);
        }
    }

    // A text without control characters (lines apart, where they are allowed).
    std::string text(const toml::table& t, const std::string& path, const char* key,
                     bool required = false, bool lines = false) {
        const toml::node* n = t.get(key);
        if (!n) {
            if (required) problem(member(path, key), "is missing", nullptr);
            return "";
        }
        if (!n->is_string()) {
            problem(member(path, key), "must be a text in double quotes", n);
            return "";
        }
        const std::string value = **n->as_string();
        for (unsigned char c : value) {
            if (c < 0x20 && !(lines && c == '\n')) {
                problem(member(path, key), "holds a control character", n);
                return "";
            }
        }
        if (required && value.empty()) problem(member(path, key), "is empty", n);
        return value;
    }

    std::vector<std::string> texts(const toml::table& t, const std::string& path, const char* key) {
        std::vector<std::string> list;
        const toml::node* n = t.get(key);
        if (!n) return list;
        const toml::array* a = n->as_array();
        if (!a) {
            problem(member(path, key), "must be a list of texts: [\"A. Tester\", ...]", n);
            return list;
        }
        for (size_t i = 0; i < a->size(); ++i) {
            const toml::node& e = *a->get(i);
            if (e.is_string()) {
                list.push_back(**e.as_string());
            } else {
                problem(member(path, key) + "[" + std::to_string(i) + "]", "must be a text", &e);
            }
        }
        return list;
    }

    std::string date(const toml::table& t, const std::string& path, const char* key) {
        const toml::node* n = t.get(key);
        if (!n) {
            problem(member(path, key), "is missing", nullptr);
        } else if (!n->is_date()) {
            problem(member(path, key), "must be a date without quotes, such as 2025-01-10", n);
        } else {
            return dateText(**n->as_date());
        }
        return "";
    }

    // A number within the bounds.
    std::optional<double> number(const toml::table& t, const std::string& path, const char* key,
                                 double low, double high) {
        const toml::node* n = t.get(key);
        if (!n) return std::nullopt;
        const std::optional<double> v = n->value<double>();
        if (!n->is_number() || !v || !(*v >= low && *v <= high)) {
            problem(member(path, key),
                    "must be a number from " + shortNumber(low) + " to " + shortNumber(high), n);
            return std::nullopt;
        }
        return v;
    }

    // A time in days in quotes ("7d", "1w"), within the bound.
    std::optional<int> days(const toml::table& t, const std::string& path, const char* key,
                            int most) {
        const toml::node* n = t.get(key);
        if (!n) return std::nullopt;
        const std::optional<std::string> text = n->value<std::string>();
        const std::optional<int> value = text ? parseInterval(*text) : std::nullopt;
        if (!n->is_string() || !value || *value > most) {
            problem(
                member(path, key),
                "must be days in quotes (\"7d\", \"1w\"), up to " + std::to_string(most) + " days",
                n);
            return std::nullopt;
        }
        return value;
    }

    // A list of tables, each read by one; a problem for anything else.
    template <typename Read>
    void tables(const toml::table& root, const char* key, Read one) {
        const toml::node* n = root.get(key);
        if (!n) return;
        const toml::array* list = n->as_array();
        if (!list) {
            problem(key, std::string("must be a list of tables: [[") + key + "]]", n);
            return;
        }
        for (size_t i = 0; i < list->size(); ++i) {
            const std::string path = std::string(key) + "[" + std::to_string(i) + "]";
            const toml::table* t = list->get(i)->as_table();
            if (t) {
                one(*t, path);
            } else {
                problem(path, "must be a table", list->get(i));
            }
        }
    }

    // [% of reading, % of range], both 0 or more and below 100.
    std::optional<Accuracy> accuracy(const toml::node& n, const std::string& key) {
        const toml::array* a = n.as_array();
        if (!a || a->size() != 2 || !a->get(0)->is_number() || !a->get(1)->is_number()) {
            problem(key, "must be [% of reading, % of range], such as [0.02, 0.005]", &n);
            return std::nullopt;
        }
        const Accuracy value{*a->get(0)->value<double>(), *a->get(1)->value<double>()};
        for (double v : {value.ofReading, value.ofRange}) {
            if (!(v >= 0 && v < 100)) {
                problem(key, "holds a percentage outside 0 to 100", &n);
                return std::nullopt;
            }
        }
        return value;
    }

  private:
    std::vector<Problem>& problems_;
};

void readLabTable(Reader& read, const toml::table& t, Lab& lab) {
    read.onlyKnown(t, "lab",
                   {"name", "address", "accreditation", "technician", "technicians", "bench",
                    "archive", "port", "certificate_prefix", "paper", "authorised_by",
                    "decision_rule", "minimum_tur", "clock_tolerance", "calibration_window"});
    lab.name = read.text(t, "lab", "name", true);
    lab.address = read.text(t, "lab", "address", false, true);
    lab.accreditation = read.text(t, "lab", "accreditation");
    lab.technician = read.text(t, "lab", "technician");
    lab.technicians = read.texts(t, "lab", "technicians");
    lab.bench = read.text(t, "lab", "bench");
    lab.archive = besideFile(read.text(t, "lab", "archive"), lab.path);
    lab.port = read.text(t, "lab", "port");
    lab.certificatePrefix = read.text(t, "lab", "certificate_prefix");
    lab.paper = read.text(t, "lab", "paper");
    if (!lab.paper.empty() && lab.paper != "A4" && lab.paper != "letter")
        read.problem("lab.paper", "must be \"A4\" or \"letter\"", t.get("paper"));
    lab.authorisedBy = read.text(t, "lab", "authorised_by");
    const std::string rule = read.text(t, "lab", "decision_rule");
    if (rule == "guarded") {
        lab.rule = DecisionRule::Guarded;
    } else if (!rule.empty() && rule != "simple") {
        read.problem("lab.decision_rule",
                     "must be \"simple\" (the verdict on the reading) or \"guarded\" (pass only "
                     "within the tolerance less the uncertainty)",
                     t.get("decision_rule"));
    }
    lab.minimumTur = read.number(t, "lab", "minimum_tur", 1, 100).value_or(kDefaultMinimumTur);
    if (auto days = read.days(t, "lab", "clock_tolerance", 365))
        lab.clockToleranceSeconds = int64_t(*days) * 86400;
    if (auto days = read.days(t, "lab", "calibration_window", 90)) lab.windowDays = *days;
    const auto& list = lab.technicians;
    if (!lab.technician.empty() && !list.empty() &&
        std::find(list.begin(), list.end(), lab.technician) == list.end()) {
        read.problem("lab.technician", "\"" + lab.technician + "\" is not among lab.technicians",
                     t.get("technician"));
    }
}

// The parts a calibrator and a pressure module share.
Standard readStandard(Reader& read, const toml::table& t, const std::string& path) {
    Standard s;
    s.serial = read.text(t, path, "serial", true);
    s.model = read.text(t, path, "model");
    s.certificate = read.text(t, path, "certificate", true);
    s.calibrated = read.date(t, path, "calibrated");
    s.due = read.date(t, path, "due");
    s.calibratedBy = read.text(t, path, "calibrated_by");
    if (!s.calibrated.empty() && !s.due.empty() && s.due <= s.calibrated)
        read.problem(member(path, "due"), "must come after calibrated", t.get("due"));
    return s;
}

// The earlier certificates of a standard ([[standards.past]]): each what the standard was
// then, the parts it leaves out as now; each calibrated before the one after it.
void readPast(Reader& read, const toml::table& t, const std::string& path, Standard& s,
              void (*accuracy)(Reader&, const toml::table&, const std::string&, Standard&)) {
    read.tables(t, "past", [&](const toml::table& entry, const std::string& at) {
        const std::string where = path + "." + at;
        read.onlyKnown(entry, where,
                       {"certificate", "calibrated", "due", "calibrated_by", "accuracy"});
        Standard earlier = s;
        earlier.past.clear();
        earlier.certificate = read.text(entry, where, "certificate", true);
        earlier.calibrated = read.date(entry, where, "calibrated");
        earlier.due = read.date(entry, where, "due");
        earlier.calibratedBy = read.text(entry, where, "calibrated_by");
        if (!earlier.calibrated.empty() && !earlier.due.empty() &&
            earlier.due <= earlier.calibrated)
            read.problem(member(where, "due"), "must come after calibrated", entry.get("due"));
        if (!earlier.calibrated.empty() && earlier.calibrated >= s.calibrated) {
            read.problem(member(where, "calibrated"),
                         "must come before the standard's own calibrated " + s.calibrated,
                         entry.get("calibrated"));
        }
        if (entry.get("accuracy")) {
            earlier.accuracy.clear();
            accuracy(read, entry, where, earlier);
        }
        s.past.push_back(std::move(earlier));
    });
}

void calibratorAccuracy(Reader& read, const toml::table& t, const std::string& path, Standard& s) {
    const toml::node* n = t.get("accuracy");
    if (!n) return;
    const toml::table* functions = n->as_table();
    if (!functions) {
        read.problem(member(path, "accuracy"),
                     "must be a table of functions: { dcv = [0.02, 0.005], ... }", n);
        return;
    }
    for (auto&& [key, value] : *functions) {
        const std::string function(key.str());
        const std::string field = member(member(path, "accuracy"), function);
        if (!isFunction(function)) {
            read.problem(field, "is not a function of the calibrator (current, dcv, tc, ...)",
                         &value);
        } else if (auto a = read.accuracy(value, field)) {
            s.accuracy[function] = *a;
        }
    }
}

void readCalibrator(Reader& read, const toml::table& t, const std::string& path, Lab& lab) {
    read.onlyKnown(t, path,
                   {"serial", "model", "certificate", "calibrated", "due", "calibrated_by",
                    "accuracy", "past"});
    Standard s = readStandard(read, t, path);
    calibratorAccuracy(read, t, path, s);
    readPast(read, t, path, s, calibratorAccuracy);
    lab.calibrators.push_back(std::move(s));
}

void moduleAccuracy(Reader& read, const toml::table& t, const std::string& path, Standard& m) {
    if (const toml::node* n = t.get("accuracy")) {
        if (auto a = read.accuracy(*n, member(path, "accuracy"))) m.accuracy["pressure"] = *a;
    }
}

void readModule(Reader& read, const toml::table& t, const std::string& path, Lab& lab) {
    read.onlyKnown(t, path,
                   {"serial", "model", "certificate", "calibrated", "due", "calibrated_by", "range",
                    "units", "accuracy", "past"});
    Standard m = readStandard(read, t, path);
    m.units = read.text(t, path, "units", true);
    if (!m.units.empty() && pascalsPer(m.units) == 0) {
        read.problem(member(path, "units"),
                     "\"" + m.units + "\" is not a pressure unit (psi, bar, kpa, mm_hg, in_hg, " +
                         "in_h2o, ft_h2o)",
                     t.get("units"));
    }
    const toml::node* range = t.get("range");
    const toml::array* ends = range ? range->as_array() : nullptr;
    if (!ends || ends->size() != 2 || !ends->get(0)->is_number() || !ends->get(1)->is_number() ||
        !(*ends->get(0)->value<double>() < *ends->get(1)->value<double>())) {
        read.problem(
            member(path, "range"),
            range ? "must be [low, high], low below high" : "is missing: [low, high] in its units",
            range);
    } else {
        m.rangeLow = *ends->get(0)->value<double>();
        m.rangeHigh = *ends->get(1)->value<double>();
    }
    moduleAccuracy(read, t, path, m);
    readPast(read, t, path, m, moduleAccuracy);
    lab.modules.push_back(std::move(m));
}

// [[standards]] and [[modules]]: lists of tables, each serial number once.
void readStandards(Reader& read, const toml::table& root, const char* key, Lab& lab,
                   void (*one)(Reader&, const toml::table&, const std::string&, Lab&)) {
    const toml::node* n = root.get(key);
    if (!n) return;
    const toml::array* list = n->as_array();
    if (!list) {
        read.problem(key, std::string("must be a list of tables: [[") + key + "]]", n);
        return;
    }
    std::vector<Standard>& standards =
        std::string(key) == "modules" ? lab.modules : lab.calibrators;
    for (size_t i = 0; i < list->size(); ++i) {
        const std::string path = std::string(key) + "[" + std::to_string(i) + "]";
        const toml::table* t = list->get(i)->as_table();
        if (!t) {
            read.problem(path, "must be a table", list->get(i));
            continue;
        }
        one(read, *t, path, lab);
        const std::string& serial = standards.back().serial;
        for (size_t j = 0; !serial.empty() && j + 1 < standards.size(); ++j) {
            if (standards[j].serial == serial) {
                read.problem(member(path, "serial"),
                             "\"" + serial + "\" is listed already at " + key + "[" +
                                 std::to_string(j) + "]",
                             t->get("serial"));
            }
        }
    }
}

void readIntervals(Reader& read, const toml::table& t, Lab& lab) {
    for (auto&& [key, value] : t) {
        const std::string pattern(key.str());
        const std::string field = member("intervals", pattern);
        const std::optional<std::string> text = value.value<std::string>();
        const std::optional<int> days = text ? parseInterval(*text) : std::nullopt;
        if (!days || pattern.empty()) {
            read.problem(field,
                         "must be an interval in quotes: days (\"180d\"), weeks (\"26w\") or "
                         "years (\"1y\"), up to 100 years",
                         &value);
            continue;
        }
        lab.intervals.push_back({pattern, *days});
    }
}

void readInstruments(Reader& read, const toml::table& root, Lab& lab) {
    read.tables(root, "instruments", [&](const toml::table& t, const std::string& path) {
        read.onlyKnown(t, path, {"tag", "make", "model", "serial", "range", "customer"});
        InstrumentEntry i;
        i.tag = read.text(t, path, "tag", true);
        i.make = read.text(t, path, "make");
        i.model = read.text(t, path, "model");
        i.serialNumber = read.text(t, path, "serial");
        i.range = read.text(t, path, "range");
        i.customer = read.text(t, path, "customer");
        if (!i.tag.empty() && lab.instrument(i.tag)) {
            read.problem(member(path, "tag"), "\"" + i.tag + "\" is listed already", t.get("tag"));
        }
        lab.instruments.push_back(std::move(i));
    });
}

void readCustomers(Reader& read, const toml::table& root, Lab& lab) {
    read.tables(root, "customers", [&](const toml::table& t, const std::string& path) {
        read.onlyKnown(t, path, {"name", "address", "tags"});
        Customer c;
        c.name = read.text(t, path, "name", true);
        c.address = read.text(t, path, "address", false, true);
        c.tags = read.texts(t, path, "tags");
        if (!c.name.empty() && lab.customer(c.name)) {
            read.problem(member(path, "name"), "\"" + c.name + "\" is listed already",
                         t.get("name"));
        }
        lab.customers.push_back(std::move(c));
    });
    for (size_t i = 0; i < lab.instruments.size(); ++i) {
        const std::string& name = lab.instruments[i].customer;
        if (name.empty() || lab.customer(name) || lab.customers.empty()) continue;
        read.problem("instruments[" + std::to_string(i) + "].customer",
                     "\"" + name + "\" is not among the [[customers]]", nullptr);
    }
}

void readMethods(Reader& read, const toml::table& t, Lab& lab) {
    for (auto&& [key, value] : t) {
        const std::string pattern(key.str());
        const std::optional<std::string> text = value.value<std::string>();
        if (!value.is_string() || !text || text->empty() || pattern.empty()) {
            read.problem(member("methods", pattern),
                         "must be the lab's reference for the procedure in quotes (\"WI-07 rev. "
                         "3\")",
                         &value);
            continue;
        }
        lab.methods.push_back({pattern, *text});
    }
}

// [[users]]: who may sign in to the bench page, each name once, with a role and a password hash
// of the form kvtlnk lab passwd writes.
void readUsers(Reader& read, const toml::table& root, Lab& lab) {
    read.tables(root, "users", [&](const toml::table& t, const std::string& path) {
        read.onlyKnown(t, path, {"name", "role", "password_hash"});
        User u{read.text(t, path, "name", true), read.text(t, path, "role", true),
               read.text(t, path, "password_hash", true)};
        if (!u.role.empty() && u.role != kRoles[0] && u.role != kRoles[1]) {
            read.problem(member(path, "role"), "must be \"technician\" or \"quality manager\"",
                         t.get("role"));
        }
        if (!u.passwordHash.empty() && u.passwordHash.rfind("$argon2id$", 0) != 0) {
            read.problem(member(path, "password_hash"),
                         "is not an Argon2id hash: set it with kvtlnk lab passwd " + u.name,
                         t.get("password_hash"));
        }
        if (!u.name.empty() && lab.user(u.name)) {
            read.problem(member(path, "name"), "\"" + u.name + "\" is listed twice", t.get("name"));
        }
        lab.users.push_back(std::move(u));
    });
}

}  // namespace

Lab parseLab(const std::string& text, const std::string& path, std::vector<Problem>& problems) {
    Lab lab;
    lab.path = path;
    Reader read(problems);
    toml::table root;
    try {
        root = toml::parse(text, path);
    } catch (const toml::parse_error& e) {
        problems.push_back({"line " + std::to_string(e.source().begin.line),
                            "not TOML: " + std::string(e.description())});
        return lab;
    }
    read.onlyKnown(root, "",
                   {"lab", "standards", "modules", "intervals", "instruments", "customers",
                    "methods", "users"});
    if (const toml::node* n = root.get("lab")) {
        if (const toml::table* t = n->as_table()) {
            readLabTable(read, *t, lab);
        } else {
            read.problem("lab", "must be a table: [lab]", n);
        }
    }
    readStandards(read, root, "standards", lab, readCalibrator);
    readStandards(read, root, "modules", lab, readModule);
    if (const toml::node* n = root.get("intervals")) {
        if (const toml::table* t = n->as_table()) {
            readIntervals(read, *t, lab);
        } else {
            read.problem("intervals", "must be a table: [intervals]", n);
        }
    }
    readInstruments(read, root, lab);
    readCustomers(read, root, lab);
    if (const toml::node* n = root.get("methods")) {
        if (const toml::table* t = n->as_table()) {
            readMethods(read, *t, lab);
        } else {
            read.problem("methods", "must be a table: [methods]", n);
        }
    }
    readUsers(read, root, lab);
    return lab;
}

}  // namespace kvtlab
