#include "app/settings_grid_view.h"

#include <QTableWidget>

#include "platform/qt_text.h"

namespace brondel::app {

std::string TSettingsGridView::Cell(int column, int row) const {
  const QTableWidgetItem* item = grid_->item(row, column);
  return item == nullptr ? std::string() : item->text().toStdString();
}

void TSettingsGridView::SetCell(int column, int row, const std::string& text) {
  grid_->item(row, column)->setText(ToQString(text));
}

}  // namespace brondel::app
