#include "document/rhythm_format.h"

#include <algorithm>
#include <cctype>

namespace brondel {

const std::array<std::string_view, kSectionCount> kSectionNames = {
    "Intro1", "Intro2", "Var1", "Var2", "Fill1", "Fill2", "Fill3", "Fill4", "End1", "End2"};
const std::array<std::string_view, kPartCount> kPartNames = {"Drums", "Bass", "Chord1", "Chord2",
                                                             "Chord3"};
const std::array<std::string_view, kParamCount> kParamNames = {"Tone", "Bank",   "Volume",
                                                               "Pane", "Reverb", "Chorus"};

std::string PartItemText(int section, int part) {
  return std::string(kSectionNames[static_cast<std::size_t>(section)]) + ":" +
         std::string(kPartNames[static_cast<std::size_t>(part)]);
}

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

template <std::size_t N>
std::optional<int> IndexNamed(std::string_view name, const std::array<std::string_view, N>& names) {
  const auto found = std::find_if(names.begin(), names.end(),
                                  [&](std::string_view entry) { return SameLetters(entry, name); });
  if (found == names.end()) return std::nullopt;
  return static_cast<int>(found - names.begin());
}

}  // namespace

std::optional<int> SectionNamed(std::string_view name) {
  return IndexNamed(name, kSectionNames);
}

std::optional<int> PartNamed(std::string_view name) {
  return IndexNamed(name, kPartNames);
}

std::uint16_t ReadU16LE(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
void WriteU16LE(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value & 0xFF);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}
std::uint16_t ReadU16BE(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
void WriteU16BE(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value >> 8);
  p[1] = static_cast<std::uint8_t>(value & 0xFF);
}

TPartSettings TRhythmHeader::Settings(int section, int part) const {
  TPartSettings s;
  const auto* from = &bytes[SettingOffset(section, part, 0)];
  std::copy(from, from + kPartSettingsSize, s.bytes.begin());
  return s;
}

void TRhythmHeader::SetSettings(int section, int part, const TPartSettings& settings) {
  std::copy(settings.bytes.begin(), settings.bytes.end(), &bytes[SettingOffset(section, part, 0)]);
}

std::uint8_t TimeSignatureNumerator(std::uint8_t sig) {
  return static_cast<std::uint8_t>(sig >> 3);
}

std::uint8_t TimeSignaturePower(std::uint8_t sig) {
  return static_cast<std::uint8_t>(sig & 7u);
}

std::uint8_t TimeSignatureDenominator(std::uint8_t sig) {
  return static_cast<std::uint8_t>(1u << TimeSignaturePower(sig));
}

std::uint8_t TimeSignatureByte(std::uint8_t numerator, std::uint8_t power) {
  return static_cast<std::uint8_t>(numerator << 3 | power);
}

std::string TimeSignatureText(std::uint8_t sig) {
  return std::to_string(TimeSignatureNumerator(sig)) + "/" +
         std::to_string(TimeSignatureDenominator(sig));
}

std::string FileExtension(std::string_view path) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos) return {};
  // A separator after the dot means the dot belongs to a folder name, not to the file.
  if (path.find_first_of("\\:/", dot) != std::string_view::npos) return {};
  return std::string(path.substr(dot));
}

bool IsZ00FileName(std::string_view path) {
  return FileExtension(path) == ".z00";
}

TFileLayout LayoutForFileName(std::string_view path) {
  if (IsZ00FileName(path)) return TFileLayout{0, 540, false};
  return TFileLayout{64, 604, FileExtension(path) == ".ckf"};
}

}  // namespace brondel
