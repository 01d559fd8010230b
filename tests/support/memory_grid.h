// A settings grid kept in memory, standing in for the window's table in document tests.
#pragma once

#include <array>
#include <string>

#include "document/settings_grid.h"

namespace brondel::test {

class TMemoryGrid : public ISettingsGrid {
 public:
  std::string Cell(int column, int row) const override { return cells_.at(Index(column, row)); }
  void SetCell(int column, int row, const std::string& text) override {
    cells_.at(Index(column, row)) = text;
  }
  /// The cell of setting k of part p, as the user would type into it.
  void Type(int part, int k, const std::string& text) { SetCell(k + 1, part + 1, text); }
  std::string Value(int part, int k) const { return Cell(k + 1, part + 1); }

 private:
  static std::size_t Index(int column, int row) {
    return static_cast<std::size_t>(row * kGridColumns + column);
  }
  std::array<std::string, kGridColumns * kGridRows> cells_;
};

}  // namespace brondel::test
