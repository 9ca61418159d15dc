// Rows of texts printed as columns aligned on the widest cell, widths
// counted in characters of UTF-8.
#pragma once

#include <string>
#include <vector>

namespace zelkctl {

class TextTable {
  public:
    explicit TextTable(std::vector<std::string> header);
    // Cells past the header's count are dropped; missing ones are empty.
    void AddRow(std::vector<std::string> cells);
    // Header and rows, one line each, cells left-aligned two blanks apart,
    // no blanks at the ends of the lines.
    std::string Text() const;

  private:
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace zelkctl
