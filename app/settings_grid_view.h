// The settings grid as the document's routines see it: cell texts by column and row.
#pragma once

#include <string>

#include "document/settings_grid.h"

class QTableWidget;

namespace brondel::app {

/// The cells of the window's settings grid (`StringGrid1`), read and written as text.
class TSettingsGridView : public ISettingsGrid {
 public:
  /// A view of `grid`, which must outlive it and hold an item in every cell.
  explicit TSettingsGridView(QTableWidget* grid) : grid_(grid) {}
  std::string Cell(int column, int row) const override;
  void SetCell(int column, int row, const std::string& text) override;

 private:
  QTableWidget* grid_;
};

}  // namespace brondel::app
