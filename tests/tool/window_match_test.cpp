// The tool against the window itself: for every example rhythm opened through File > Open, the
// buffers that double-clicking each section and each part queues, what "Save as" writes, and
// what "Play all" plays, compared with render, preview, resave and export-midi --play-all.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>

#include "app/ckf.h"
#include "tests/app/fake_dialogs.h"
#include "tests/support/test_files.h"
#include "tests/tool/smf_reader.h"
#include "tests/tool/tool_test_support.h"
#include "tools/queue_capture.h"

namespace brondel {
namespace {

using test::FileBytes;
using test::RunTool;

class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_tool";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const kQt = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

class ToolMatchesWindow : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    form_ = std::make_unique<brondel::app::TForm1>(midi_, &dialogs_);
    dialogs_.openAnswers.push_back(GetParam());
    form_->Open1Click();
    ASSERT_TRUE(dialogs_.shown.empty());
  }
  void TearDown() override { form_.reset(); }

  // The buffers that a command of the window queued.
  std::vector<TEventBuffer> QueuedBy(const std::function<void()>& command) {
    const auto before = static_cast<std::ptrdiff_t>(midi_.Queued().size());
    command();
    return {midi_.Queued().begin() + before, midi_.Queued().end()};
  }

  test::TTempDir dir_;
  // The window's device keeps every buffer queued and hands it back as soon as it is started.
  tool::TQueueCapture midi_;
  TFakeDialogs dialogs_;
  std::unique_ptr<brondel::app::TForm1> form_;
};

TEST_P(ToolMatchesWindow, RenderIsWhatASectionDoubleClickQueues) {
  for (int s = 0; s < kSectionCount; ++s) {
    form_->Controls().mainFile.sectionList->setCurrentRow(s);
    const auto queued = QueuedBy([&] { form_->ListBox2DblClick(); });
    ASSERT_EQ(queued.size(), 1u);
    const std::string out = dir_.File("render.bin");
    ASSERT_EQ(RunTool({"render", GetParam(), std::to_string(s), "-o", out}).status, 0);
    EXPECT_TRUE(test::SameStreamEvents(queued.front(), FileBytes(out))) << "section " << s;
  }
}

TEST_P(ToolMatchesWindow, PreviewIsWhatAPartDoubleClickQueues) {
  for (int s = 0; s < kSectionCount; ++s) {
    for (int p = 0; p < kPartCount; ++p) {
      form_->Controls().mainFile.sectionList->setCurrentRow(s);
      form_->Controls().mainFile.partList->setCurrentRow(p);
      dialogs_.shown.clear();
      const auto queued = QueuedBy([&] { form_->ListBox1DblClick(); });
      const std::string out = dir_.File("preview.bin");
      std::filesystem::remove(out);
      const auto run =
          RunTool({"preview", GetParam(), std::to_string(s), std::to_string(p), "-o", out});
      if (!dialogs_.shown.empty()) {  // the window said "This part is empty!" and queued nothing
        EXPECT_TRUE(queued.empty());
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(dialogs_.shown.front().text), std::string::npos) << run.err;
        continue;
      }
      ASSERT_EQ(queued.size(), 1u);
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_TRUE(test::SameStreamEvents(queued.front(), FileBytes(out))) << PartItemText(s, p);
    }
  }
}

TEST_P(ToolMatchesWindow, ResaveIsWhatSaveAsWritesRightAfterTheOpen) {
  const std::string saved = dir_.File("window.ckf");
  dialogs_.saveAnswers.push_back(saved);
  form_->Saveas1Click();
  ASSERT_TRUE(dialogs_.shown.empty());
  const std::string out = dir_.File("tool.ckf");
  ASSERT_EQ(RunTool({"resave", GetParam(), "-o", out}).status, 0);
  EXPECT_FALSE(FileBytes(saved).empty());
  EXPECT_EQ(FileBytes(out), FileBytes(saved));
}

// The eleven buffers of "Play all" one after the other: every message the window sends is in
// the exported file, on its part's track at its tick.
TEST_P(ToolMatchesWindow, PlayAllExportHoldsWhatPlayAllPlays) {
  const auto queued = QueuedBy([&] { form_->Button5Click(); });
  ASSERT_EQ(queued.size(), 11u);
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> sent;
  std::uint32_t tick = 0;
  for (const TEventBuffer& buffer : queued) {
    for (std::size_t at = 0; at < buffer.size(); at += kStreamEventSize) {
      tick += static_cast<std::uint32_t>(buffer[at] | buffer[at + 1] << 8 | buffer[at + 2] << 16 |
                                         buffer[at + 3] << 24);
      const bool one = (buffer[at + 8] & 0xF0) == 0xC0;
      std::vector<std::uint8_t> bytes{buffer[at + 8], buffer[at + 9]};
      if (!one) bytes.push_back(buffer[at + 10]);
      if (std::all_of(bytes.begin() + 1, bytes.end(), [](std::uint8_t b) { return b < 128; })) {
        sent.emplace_back(tick, bytes);
      }
    }
  }
  const std::string out = dir_.File("all.mid");
  ASSERT_EQ(RunTool({"export-midi", GetParam(), "--play-all", "-o", out}).status, 0);
  const test::TSmf smf = test::ParseSmf(FileBytes(out));
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> exported;
  for (const auto& track : smf.tracks) {
    for (const auto& event : track.ChannelMessages())
      exported.emplace_back(event.tick, event.bytes);
  }
  // Tracks split the messages by part; ordered by tick and part, both lists are the same.
  auto byTickThenChannel = [](const auto& a, const auto& b) {
    return std::make_pair(a.first, a.second[0] & 0x0F) <
           std::make_pair(b.first, b.second[0] & 0x0F);
  };
  std::stable_sort(sent.begin(), sent.end(), byTickThenChannel);
  std::stable_sort(exported.begin(), exported.end(), byTickThenChannel);
  EXPECT_EQ(exported, sent);
  EXPECT_EQ(smf.tracks.back().EndTick(), tick);
}

INSTANTIATE_TEST_SUITE_P(Examples, ToolMatchesWindow,
                         ::testing::ValuesIn(test::ExampleRhythmPaths()), test::ExampleTestName);

}  // namespace
}  // namespace brondel
