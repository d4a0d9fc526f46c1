#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zu {
namespace host {

// A readable table: a header line, then the rows, columns padded to their widest cell. Widths
// count characters, not bytes, so UTF-8 names line up. Columns marked right-aligned are padded
// on the left (numbers).
class TextTable {
 public:
  explicit TextTable(std::vector<std::string> headers, std::string indent = std::string());
  // Pads the column on the left instead of the right.
  void AlignRight(size_t column);
  // A row; missing cells are empty, extra cells are dropped.
  void Add(std::vector<std::string> row);
  size_t Rows() const { return rows_.size(); }
  void Print(std::ostream& out) const;

 private:
  void PrintRow(std::ostream& out, const std::vector<std::string>& row,
                const std::vector<size_t>& widths) const;

  std::vector<std::string> headers_;
  std::string indent_;
  std::vector<bool> right_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace host
}  // namespace zu
