// The bytes of the format: header fields at their offsets, time signatures, the layout chosen by
// the extension, and the fields the writer rebuilds.
#include <gtest/gtest.h>

#include "document/rhythm_builder.h"
#include "document/rhythm_format.h"
#include "document/rhythm_writer.h"

namespace brondel {
namespace {

TEST(TimeSignature, DecodesNumeratorAndPowerOfTwo) {
  EXPECT_EQ(TimeSignatureText(0x22), "4/4");
  EXPECT_EQ(TimeSignatureText(0x1B), "3/8");
  EXPECT_EQ(TimeSignatureText(0x00), "0/1");
  EXPECT_EQ(TimeSignatureText(0x63), "12/8");
  EXPECT_EQ(TimeSignatureText(0xFF), "31/128");
}

TEST(RhythmHeader, FieldsReadFromBytesSetOneByOne) {
  TRhythmHeader header;
  header.bytes[0] = 0x34;
  header.bytes[1] = 0x12;
  header.bytes[10] = 120;
  header.bytes[11] = 0x1A;
  const int s = 2;  // Var1
  const int p = 1;  // Bass
  header.bytes[18 + 52 * s] = 0x04;
  header.bytes[18 + 52 * s + 1] = 0x01;
  for (int k = 0; k < 8; ++k)
    header.bytes[20 + 52 * s + 8 * p + k] = static_cast<std::uint8_t>(k + 1);
  header.bytes[60 + 52 * s + 2 * p] = 0xCD;
  header.bytes[60 + 52 * s + 2 * p + 1] = 0xAB;
  header.bytes[538] = 0xFE;
  header.bytes[539] = 0xFF;

  EXPECT_EQ(header.TotalLength(), 0x1234);
  EXPECT_EQ(header.Tempo(), 120);
  EXPECT_EQ(header.TimeSignature(), 0x1A);
  EXPECT_EQ(header.BarCount(s), 0x0104);
  const TPartSettings settings = header.Settings(s, p);
  EXPECT_EQ(settings.Tone(), 1);
  EXPECT_EQ(settings.Bank(), 2);
  EXPECT_EQ(settings.Volume(), 3);
  EXPECT_EQ(settings.Pane(), 4);
  EXPECT_EQ(settings.Reverb(), 5);
  EXPECT_EQ(settings.Chorus(), 6);
  EXPECT_EQ(settings.bytes[7], 8);
  EXPECT_EQ(header.SettingByte(s, p, 2), 3);
  EXPECT_EQ(header.DataOffset(s, p), 0xABCD);
  EXPECT_EQ(header.EndMark(), 0xFFFE);
  // Nothing of another section or part reads those bytes.
  EXPECT_EQ(header.BarCount(s + 1), 0);
  EXPECT_EQ(header.Settings(s, p + 1), TPartSettings{});
  EXPECT_EQ(header.DataOffset(s, p + 1), 0);
}

TEST(RhythmHeader, SettersWriteTheSameBytesTheGettersRead) {
  TRhythmHeader header;
  header.SetBarCount(9, 0x0203);
  header.SetDataOffset(9, 4, 0x0506);
  header.SetSettingByte(9, 4, 5, 77);
  EXPECT_EQ(header.bytes[18 + 52 * 9], 0x03);
  EXPECT_EQ(header.bytes[18 + 52 * 9 + 1], 0x02);
  EXPECT_EQ(header.bytes[60 + 52 * 9 + 8], 0x06);
  EXPECT_EQ(header.bytes[60 + 52 * 9 + 9], 0x05);
  EXPECT_EQ(header.bytes[20 + 52 * 9 + 32 + 5], 77);
  // The last section's last offset ends right before the end mark, which stays untouched.
  EXPECT_EQ(header.EndMark(), 0);
}

TEST(FileLayout, ChosenByTheExactExtension) {
  const TFileLayout ckf = LayoutForFileName("/home/me/rock.ckf");
  EXPECT_EQ(ckf.headerOffset, 64);
  EXPECT_EQ(ckf.dataBase, 604);
  EXPECT_TRUE(ckf.typeTested);

  const TFileLayout z00 = LayoutForFileName("/home/me/rock.z00");
  EXPECT_EQ(z00.headerOffset, 0);
  EXPECT_EQ(z00.dataBase, 540);
  EXPECT_FALSE(z00.typeTested);

  for (const char* other : {"ROCK.CKF", "rock.Z00", "rock.mid", "rock", "rock.ckf.bak",
                            "C:\\rhythms.z00\\rock", "/tmp/rhythms.ckf/rock"}) {
    const TFileLayout layout = LayoutForFileName(other);
    EXPECT_EQ(layout.headerOffset, 64) << other;
    EXPECT_EQ(layout.dataBase, 604) << other;
    EXPECT_FALSE(layout.typeTested) << other;
  }
  EXPECT_EQ(FileExtension("C:\\rhythms\\rock.z00"), ".z00");
  EXPECT_EQ(FileExtension("C:rock.ckf"), ".ckf");
  EXPECT_EQ(FileExtension("C:\\rhythms.z00\\rock"), "");
}

TEST(RhythmWriter, RebuildsOffsetsLengthsAndEndMark) {
  TRhythmBuilder rhythm(100, 0x22);
  rhythm.Part(0, 0, TPartBuilder().Note(0, 36, 100).Note(48, 36, 0).End());  // 3 records + filler
  rhythm.Part(3, 2, TPartBuilder().Note(0, 60, 90).End());                   // 2 records
  TRhythmSlot slot = rhythm.Slot();
  TPartStreams streams = slot.streams;
  TRhythmHeader header;  // offsets, total and end mark all start at 0
  header.SetTempo(100);
  std::array<std::uint8_t, kPrefixSize> prefix{};
  prefix[0] = 0xAA;
  prefix[23] = 0x05;  // a prefix taken from a .z00 header need not hold the type byte
  prefix[63] = 0xBB;

  const std::vector<std::uint8_t> file = BuildCkfFile(header, streams, prefix);

  std::size_t running = 0;
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      EXPECT_EQ(header.DataOffset(s, p), running) << PartItemText(s, p);
      running += streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)].size();
    }
  }
  const std::size_t total = kHeaderSize + running;
  ASSERT_EQ(file.size(), kPrefixSize + total);
  EXPECT_EQ(header.TotalLength(), total);
  EXPECT_EQ(file[64], total & 0xFF);  // little-endian in the header
  EXPECT_EQ(file[65], total >> 8);
  EXPECT_EQ(file[18], total >> 8);  // big-endian in the 64-byte block
  EXPECT_EQ(file[19], total & 0xFF);
  EXPECT_EQ(ReadU16BE(&prefix[18]), total) << "the prefix in memory keeps the new length";
  EXPECT_EQ(header.EndMark(), 0xFFFF);
  EXPECT_EQ(file[64 + 538], 0xFF);
  EXPECT_EQ(file[64 + 539], 0xFF);
  EXPECT_EQ(file[23], kCkfTypeByte);
  EXPECT_EQ(file[0], 0xAA);
  EXPECT_EQ(file[63], 0xBB);
  EXPECT_EQ(file[64 + 10], 100);
  // The first part's data stands right after the header.
  EXPECT_TRUE(std::equal(streams[0][0].begin(), streams[0][0].end(), file.begin() + 604));
}

TEST(RhythmWriter, TooLargeOnlyPastWhatSixteenBitsHold) {
  TPartStreams streams;
  streams[0][0].assign(kMaxTotalLength - kHeaderSize, 0);  // total exactly 65535
  EXPECT_FALSE(TooLargeToSave(streams));
  streams[9][4].assign(1, 0);
  EXPECT_TRUE(TooLargeToSave(streams));
}

}  // namespace
}  // namespace brondel
