// "Update parameters": the tempo and the grid's cells go into the header under their rules;
// the grid shows a section's settings.
#include <gtest/gtest.h>

#include "document/apply_settings.h"
#include "document/rhythm_builder.h"
#include "document/settings_grid.h"
#include "tests/support/memory_grid.h"
#include "tests/support/rhythm_text.h"

namespace brondel {
namespace {

using test::SameHeader;
using test::TMemoryGrid;

/// A header whose settings differ in every section, part and setting, all below 128.
TRhythmHeader DistinctSettings() {
  TRhythmHeader header;
  header.SetTempo(100);
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      for (int k = 0; k < kParamCount; ++k) {
        header.SetSettingByte(s, p, k, static_cast<std::uint8_t>(s * 12 + p * 2 + k % 2));
      }
      header.SetSettingByte(s, p, 6, static_cast<std::uint8_t>(200 + s));  // not shown
    }
  }
  return header;
}

TEST(ShowPartSettings, FillsEveryCellOfTheSection) {
  TRhythmHeader header = DistinctSettings();
  header.SetSettingByte(5, 4, 2, 200);
  header.SetSettingByte(5, 0, 0, 0);
  TMemoryGrid grid;
  grid.SetCell(3, 3, "typed");
  ShowPartSettings(grid, header, 5);
  EXPECT_EQ(grid.Cell(0, 0), "Fill2");
  const char* headings[] = {"Tone", "Bank", "Volume", "Pane", "Reverb", "Chorus"};
  for (int k = 0; k < kParamCount; ++k) EXPECT_EQ(grid.Cell(k + 1, 0), headings[k]);
  const char* parts[] = {"Drums", "Bass", "Chord1", "Chord2", "Chord3"};
  for (int p = 0; p < kPartCount; ++p) {
    EXPECT_EQ(grid.Cell(0, p + 1), parts[p]);
    for (int k = 0; k < kParamCount; ++k) {
      EXPECT_EQ(grid.Value(p, k), std::to_string(header.SettingByte(5, p, k)));
    }
  }
  EXPECT_EQ(grid.Value(4, 2), "200");
  EXPECT_EQ(grid.Value(0, 0), "0");
}

TEST(StrToInt, TakesWholeDecimalNumbersOnly) {
  EXPECT_EQ(StrToInt("127"), 127);
  EXPECT_EQ(StrToInt("-5"), -5);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt(" 42 "), 42);
  EXPECT_EQ(StrToInt("007"), 7);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", " ", "abc", "12a", "1 2", "0x10", "+-1", "--1", "1.5", "+",
                          "2147483648", "99999999999"}) {
    EXPECT_THROW(StrToInt(bad), EConvertError) << "'" << bad << "'";
  }
}

TEST(StrToInt, MessageNamesTheText) {
  try {
    StrToInt("abc");
    FAIL() << "no exception";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
  }
  try {
    StrToInt("");
    FAIL() << "no exception";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'' is not a valid integer value");
  }
}

TEST(ApplyTempoText, StoresElevenTo249) {
  for (const char* text : {"11", "249", "120"}) {
    TRhythmHeader header;
    header.SetTempo(96);
    std::string typed = text;
    EXPECT_TRUE(ApplyTempoText(header, typed)) << text;
    EXPECT_EQ(header.Tempo(), std::stoi(text));
    EXPECT_EQ(typed, text) << "the box keeps the typed text";
  }
}

TEST(ApplyTempoText, RefusesEverythingElseAndShowsTheStoredTempo) {
  for (const char* text : {"10", "250", "300", "266", "256", "-5", "0", "-247"}) {
    TRhythmHeader header;
    header.SetTempo(96);
    std::string typed = text;
    EXPECT_FALSE(ApplyTempoText(header, typed)) << text;
    EXPECT_EQ(header.Tempo(), 96) << text;
    EXPECT_EQ(typed, "96") << text;
  }
}

TEST(ApplyTempoText, NotANumberThrowsBeforeAnyChange) {
  TRhythmHeader header;
  header.SetTempo(96);
  const TRhythmHeader before = header;
  std::string typed = "abc";
  EXPECT_THROW(ApplyTempoText(header, typed), EConvertError);
  EXPECT_EQ(typed, "abc");
  EXPECT_TRUE(SameHeader(header, before));
}

TEST(ApplyGridCell, StoresUpTo127AndResetsTheCellOtherwise) {
  TRhythmHeader header = DistinctSettings();
  header.SetSettingByte(3, 2, 4, 55);
  TMemoryGrid grid;
  ShowPartSettings(grid, header, 3);
  grid.Type(2, 4, "127");
  ApplyGridCell(header, grid, 3, 2, 4);
  EXPECT_EQ(header.SettingByte(3, 2, 4), 127);
  EXPECT_EQ(grid.Value(2, 4), "127");

  for (const char* refused : {"128", "255", "256", "-1", "-128"}) {
    grid.Type(2, 4, refused);
    ApplyGridCell(header, grid, 3, 2, 4);
    EXPECT_EQ(header.SettingByte(3, 2, 4), 127) << refused;
    EXPECT_EQ(grid.Value(2, 4), "127") << refused;
  }
  grid.Type(2, 4, "0");
  ApplyGridCell(header, grid, 3, 2, 4);
  EXPECT_EQ(header.SettingByte(3, 2, 4), 0);
}

TEST(ApplyGridToSections, ChangeInAllWritesTheGridIntoEverySection) {
  TRhythmHeader header = DistinctSettings();
  const TRhythmHeader before = header;
  TMemoryGrid grid;
  ShowPartSettings(grid, header, 2);  // Var1 shown
  grid.Type(1, 2, "99");
  grid.Type(4, 5, "200");  // refused: reset to Intro1's value, which then goes everywhere
  ApplyGridToSections(header, grid, true, 2);

  const std::string intro1Chorus = std::to_string(before.SettingByte(0, 4, 5));
  EXPECT_EQ(grid.Value(4, 5), intro1Chorus);
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      for (int k = 0; k < kParamCount; ++k) {
        EXPECT_EQ(std::to_string(header.SettingByte(s, p, k)), grid.Value(p, k))
            << kSectionNames[static_cast<std::size_t>(s)] << " " << p << " " << k;
      }
    }
    // Bytes 6 and 7 are never touched.
    EXPECT_EQ(header.Settings(s, 1).bytes[6], before.Settings(s, 1).bytes[6]);
  }
  EXPECT_EQ(header.SettingByte(7, 1, 2), 99);
  EXPECT_EQ(header.SettingByte(0, 4, 5), before.SettingByte(0, 4, 5));
  EXPECT_EQ(header.SettingByte(9, 4, 5), before.SettingByte(0, 4, 5));
}

TEST(ApplyGridToSections, UntickedChangesTheSelectedSectionOnly) {
  TRhythmHeader header = DistinctSettings();
  const TRhythmHeader before = header;
  TMemoryGrid grid;
  ShowPartSettings(grid, header, 6);
  grid.Type(0, 0, "12");
  grid.Type(3, 3, "130");
  ApplyGridToSections(header, grid, false, 6);

  TRhythmHeader expected = before;
  expected.SetSettingByte(6, 0, 0, 12);
  EXPECT_TRUE(SameHeader(header, expected));
  EXPECT_EQ(grid.Value(3, 3), std::to_string(before.SettingByte(6, 3, 3)));

  ApplyGridToSections(header, grid, false, -1);  // no section selected
  EXPECT_TRUE(SameHeader(header, expected));
}

TEST(ApplyGridToSections, NotANumberStopsWithEarlierCellsInEffect) {
  TRhythmHeader header = DistinctSettings();
  const TRhythmHeader before = header;
  TMemoryGrid grid;
  ShowPartSettings(grid, header, 0);
  for (int p = 0; p < kPartCount; ++p) {
    for (int k = 0; k < kParamCount; ++k) grid.Type(p, k, "77");
  }
  grid.Type(2, 3, "x");  // Chord1, Pane
  EXPECT_THROW(ApplyGridToSections(header, grid, true, 0), EConvertError);

  // Intro1: Drums, Bass and Chord1's Tone to Volume took the typed value; the rest did not.
  TRhythmHeader expected = before;
  for (int p = 0; p < 2; ++p) {
    for (int k = 0; k < kParamCount; ++k) expected.SetSettingByte(0, p, k, 77);
  }
  for (int k = 0; k < 3; ++k) expected.SetSettingByte(0, 2, k, 77);
  EXPECT_TRUE(SameHeader(header, expected));
}

TEST(ApplyGridToSections, AfterAnImportOpenTheShownValuesGoIntoIntro1) {
  // The grid still shows Var2 when an import open selects Intro1 in the main file's list.
  const TRhythmHeader before = DistinctSettings();
  TRhythmHeader header = before;
  TMemoryGrid grid;
  ShowPartSettings(grid, header, 3);
  ApplyGridToSections(header, grid, false, 0);
  for (int p = 0; p < kPartCount; ++p) {
    for (int k = 0; k < kParamCount; ++k) {
      EXPECT_EQ(header.SettingByte(0, p, k), before.SettingByte(3, p, k))
          << "Var2's shown values are now Intro1's";
    }
  }
  EXPECT_EQ(header.SettingByte(0, 2, 6), before.SettingByte(0, 2, 6));
  EXPECT_EQ(header.Settings(3, 2), before.Settings(3, 2));
}

}  // namespace
}  // namespace brondel
