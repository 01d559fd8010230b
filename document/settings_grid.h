// The settings grid as the document sees it: 7 x 6 cells of text. Row 0 and column 0 hold the
// headings; the cell at column k + 1, row p + 1 holds settings byte k of part p.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "document/rhythm_format.h"

namespace brondel {

inline constexpr int kGridColumns = kParamCount + 1;
inline constexpr int kGridRows = kPartCount + 1;

/// The grid's cell texts; the window implements it over its table widget.
class ISettingsGrid {
 public:
  virtual ~ISettingsGrid() = default;
  /// The text of a cell, as shown or as typed.
  virtual std::string Cell(int column, int row) const = 0;
  /// Replaces the text of a cell.
  virtual void SetCell(int column, int row, const std::string& text) = 0;
};

/// Fills every cell: the section's name in the corner, the headings, and the settings bytes 0-5
/// of the section's five parts as unsigned decimal numbers.
void ShowPartSettings(ISettingsGrid& grid, const TRhythmHeader& header, int section);

/// A text that is not a whole number; what() is "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& text);
};

/// Converts a decimal text (optional sign, blanks around it allowed) to a signed 32-bit value;
/// throws EConvertError for anything else, the empty text and out-of-range numbers included.
std::int32_t StrToInt(const std::string& text);

}  // namespace brondel
