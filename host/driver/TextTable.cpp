#include "host/driver/TextTable.h"

#include <algorithm>

#include "host/driver/Formatting.h"

namespace zu {
namespace host {

TextTable::TextTable(std::vector<std::string> headers, std::string indent)
    : headers_(std::move(headers)), indent_(std::move(indent)), right_(headers_.size(), false) {}

void TextTable::AlignRight(size_t column) {
  if (column < right_.size())
    right_[column] = true;
}

void TextTable::Add(std::vector<std::string> row) {
  row.resize(headers_.size());
  rows_.push_back(std::move(row));
}

void TextTable::Print(std::ostream& out) const {
  std::vector<size_t> widths(headers_.size(), 0);
  for (size_t c = 0; c < headers_.size(); ++c)
    widths[c] = TextWidth(headers_[c]);
  for (const auto& row : rows_)
    for (size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], TextWidth(row[c]));
  PrintRow(out, headers_, widths);
  for (const auto& row : rows_)
    PrintRow(out, row, widths);
}

void TextTable::PrintRow(std::ostream& out, const std::vector<std::string>& row,
                         const std::vector<size_t>& widths) const {
  std::string line = indent_;
  for (size_t c = 0; c < row.size(); ++c) {
    std::string padding(widths[c] - TextWidth(row[c]), ' ');
    bool last = c + 1 == row.size();
    if (right_[c])
      line += padding + row[c];
    else
      line += row[c] + (last ? std::string() : padding);
    if (!last)
      line += "  ";
  }
  // Trailing blanks of empty last cells help nobody.
  line.erase(line.find_last_not_of(' ') + 1);
  out << line << "\n";
}

}  // namespace host
}  // namespace zu
