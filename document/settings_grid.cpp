#include "document/settings_grid.h"

#include <charconv>
#include <string_view>

namespace brondel {

void ShowPartSettings(ISettingsGrid& grid, const TRhythmHeader& header, int section) {
  grid.SetCell(0, 0, std::string(kSectionNames[static_cast<std::size_t>(section)]));
  for (int k = 0; k < kParamCount; ++k) {
    grid.SetCell(k + 1, 0, std::string(kParamNames[static_cast<std::size_t>(k)]));
  }
  for (int p = 0; p < kPartCount; ++p) {
    grid.SetCell(0, p + 1, std::string(kPartNames[static_cast<std::size_t>(p)]));
    for (int k = 0; k < kParamCount; ++k) {
      grid.SetCell(k + 1, p + 1, std::to_string(header.SettingByte(section, p, k)));
    }
  }
}

EConvertError::EConvertError(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

std::int32_t StrToInt(const std::string& text) {
  std::string_view digits(text);
  const auto first = digits.find_first_not_of(" \t");
  const auto last = digits.find_last_not_of(" \t");
  if (first == std::string_view::npos) throw EConvertError(text);
  digits = digits.substr(first, last - first + 1);
  // from_chars takes a minus sign but no plus sign.
  if (digits.size() > 1 && digits.front() == '+' && digits[1] != '-') digits.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc{} || end != digits.data() + digits.size()) throw EConvertError(text);
  return value;
}

}  // namespace brondel
