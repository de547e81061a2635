#include "table.h"

#include <algorithm>

#include "base/charset.h"

namespace kvtcli {

using kvtapp::displayWidth;

Table::Table(std::vector<std::string> headings, std::string align)
    : headings_(std::move(headings)), align_(std::move(align)) {
    align_.resize(headings_.size(), 'l');
}

void Table::add(std::vector<std::string> cells) {
    cells.resize(headings_.size());
    for (std::string& cell : cells)
        cell = visibleText(cell);
    rows_.push_back(std::move(cells));
}

void Table::print(std::ostream& out, const std::string& indent) const {
    std::vector<size_t> widths(headings_.size());
    for (size_t c = 0; c < headings_.size(); ++c) {
        widths[c] = displayWidth(headings_[c]);
        for (const auto& row : rows_)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text = indent;
        for (size_t c = 0; c < cells.size(); ++c) {
            const std::string pad(widths[c] - displayWidth(cells[c]), ' ');
            const bool last = c + 1 == cells.size();
            if (align_[c] == 'r') {
                text += pad + cells[c];
            } else {
                text += cells[c] + (last ? "" : pad);
            }
            if (!last) text += "  ";
        }
        out << text << '\n';
    };
    line(headings_);
    for (const auto& row : rows_)
        line(row);
}

}  // namespace kvtcli
