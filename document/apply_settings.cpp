#include "document/apply_settings.h"

namespace brondel {

bool ApplyTempoText(TRhythmHeader& header, std::string& tempoText) {
  const std::int32_t tempo = StrToInt(tempoText);
  // The whole number is tested: 300 is refused, not taken as its low eight bits.
  if (tempo >= kMinTempo && tempo <= kMaxTempo) {
    header.SetTempo(static_cast<std::uint8_t>(tempo));
    return true;
  }
  tempoText = std::to_string(header.Tempo());
  return false;
}

void ApplyGridCell(TRhythmHeader& header, ISettingsGrid& grid, int section, int part, int k) {
  const std::int32_t value = StrToInt(grid.Cell(k + 1, part + 1));
  // Negative numbers are refused like 128 and more, rather than stored as their low bits.
  if (value < 0 || value > kMaxSettingValue) {
    grid.SetCell(k + 1, part + 1, std::to_string(header.SettingByte(section, part, k)));
    return;
  }
  header.SetSettingByte(section, part, k, static_cast<std::uint8_t>(value));
}

void ApplyGridRow(TRhythmHeader& header, ISettingsGrid& grid, int section, int part) {
  for (int k = 0; k < kParamCount; ++k) ApplyGridCell(header, grid, section, part, k);
}

void ApplyGridToSection(TRhythmHeader& header, ISettingsGrid& grid, int section) {
  for (int p = 0; p < kPartCount; ++p) ApplyGridRow(header, grid, section, p);
}

void ApplyGridToSections(TRhythmHeader& header, ISettingsGrid& grid, bool allSections,
                         int selectedSection) {
  if (allSections) {
    for (int s = 0; s < kSectionCount; ++s) ApplyGridToSection(header, grid, s);
  } else if (selectedSection >= 0 && selectedSection < kSectionCount) {
    ApplyGridToSection(header, grid, selectedSection);
  }
}

}  // namespace brondel
