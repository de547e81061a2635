// Column-aligned text tables for the terminal.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "base/escape.h"

namespace kvtcli {

// Every text a terminal shows goes through it: a tag text or a file name may hold escape
// sequences.
using kvttools::visibleText;

class Table {
  public:
    // align holds one letter per column: 'l' left, 'r' right (numbers).
    Table(std::vector<std::string> headings, std::string align);

    // The cells are shown with their controls visible.
    void add(std::vector<std::string> cells);
    bool empty() const { return rows_.empty(); }

    // The headings, then one line per row, each line indented.
    void print(std::ostream& out, const std::string& indent = "  ") const;

  private:
    std::vector<std::string> headings_;
    std::string align_;
    std::vector<std::vector<std::string>> rows_;
};

// "1 task", "2 tasks"; many is the plural when it is not the noun and an "s".
inline std::string plural(size_t count, const std::string& noun, const std::string& many = "") {
    return std::to_string(count) + " " + (count == 1 ? noun : many.empty() ? noun + "s" : many);
}

// A whole number with its thousands grouped: "1,048,576".
std::string grouped(uint64_t n);

// Every field of a CSV row goes through it: controls visible, no formula, quoted as needed.
using kvttools::csvField;

}  // namespace kvtcli
