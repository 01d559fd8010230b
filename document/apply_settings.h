// "Update parameters": the typed tempo and the grid's values go into the main file's header.
// A refused number puts the stored value back into its box or cell; a text that is not a
// number throws EConvertError, leaving everything stored before it in effect.
#pragma once

#include <cstdint>
#include <string>

#include "document/rhythm_format.h"
#include "document/settings_grid.h"

namespace brondel {

inline constexpr std::int32_t kMinTempo = 11;
inline constexpr std::int32_t kMaxTempo = 249;
/// Settings bytes hold MIDI data values: 0 to 127.
inline constexpr std::int32_t kMaxSettingValue = 127;

/// Stores the typed tempo when it lies in 11-249 and returns true; otherwise leaves the tempo,
/// sets `tempoText` to the stored tempo in decimal and returns false. Throws EConvertError
/// before changing anything when the text is not a number.
bool ApplyTempoText(TRhythmHeader& header, std::string& tempoText);

/// Reads the cell of setting k of a part into the section: 0-127 is stored; any other number
/// is refused and the cell shows the stored value again. Throws EConvertError.
void ApplyGridCell(TRhythmHeader& header, ISettingsGrid& grid, int section, int part, int k);

/// ApplyGridCell for the six settings of one part's row, in column order.
void ApplyGridRow(TRhythmHeader& header, ISettingsGrid& grid, int section, int part);

/// ApplyGridRow for parts 0 to 4 of one section.
void ApplyGridToSection(TRhythmHeader& header, ISettingsGrid& grid, int section);

/// The grid into all ten sections in order ("Change param in all"), or into `selectedSection`
/// only (nothing when it is -1). A refused cell is reset from the first section, whose value
/// then goes to the others.
void ApplyGridToSections(TRhythmHeader& header, ISettingsGrid& grid, bool allSections,
                         int selectedSection);

}  // namespace brondel
