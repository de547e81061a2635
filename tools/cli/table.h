// Column-aligned text tables for the terminal.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "base/escape.h"

namespace kvtcli {

// Every text a terminal shows goes through it: a tag text or a file name may hold escape
// sequences.
using kvtapp::visibleText;

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

// Every field of a CSV row goes through it: controls visible, no formula, quoted as needed.
using kvtapp::csvField;

}  // namespace kvtcli
