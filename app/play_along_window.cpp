#include "app/play_along_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>

#include "app/split_keyboard.h"
#include "chords/chart.h"
#include "chords/chord.h"
#include "pattern/key_names.h"
#include "platform/qt_text.h"

namespace brondel::app {

namespace {

using brondel::chords::TChordSymbol;

constexpr int kIntro1 = 0, kVar1 = 2, kVar2 = 3;
// The pad's chord types, by their printed names: the ones a left hand holds most.
constexpr std::array<std::string_view, 8> kPadTypes = {"",   "m",    "7",   "M7",
                                                       "m7", "m7b5", "dim", "sus4"};
// Roots a chart usually spells with a flat: Db, Eb, Ab, Bb.
constexpr std::array<bool, 12> kFlatRoot = {false, true,  false, true,  false, false,
                                            false, false, true,  false, true,  false};

// The chart's bars as ParseChart counts them: split at "|" and line ends, empty ones left out.
QStringList ChartBars(const QString& text) {
  QStringList bars;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    for (const QString& bar : line.split(QLatin1Char('|'))) {
      if (!bar.trimmed().isEmpty()) bars.push_back(bar.trimmed());
    }
  }
  return bars;
}

QString SectionName(int section) {
  return ToQString(kSectionNames[static_cast<std::size_t>(section)]);
}

}  // namespace

TPlayAlongWindow::TPlayAlongWindow(
    brondel::TPlayback& playback,
    std::function<void(const brondel::TPlayback::TLiveStart&)> startPlay, QWidget* parent)
    : QWidget(parent, Qt::Window), playback_(playback), startPlay_(std::move(startPlay)) {
  setObjectName(QStringLiteral("PlayAlong"));
  setWindowTitle(QStringLiteral("Play along"));
  auto* layout = new QVBoxLayout(this);

  auto* chartRow = new QHBoxLayout;
  chartRow->addWidget(new QLabel(QStringLiteral("Chart:"), this));
  chart_ = new QLineEdit(this);
  chart_->setObjectName(QStringLiteral("ChartField"));
  chart_->setPlaceholderText(QStringLiteral("C | Am | F | G7"));
  chartRow->addWidget(chart_, 1);
  auto* playChart = new QPushButton(QStringLiteral("Play chart"), this);
  playChart->setObjectName(QStringLiteral("PlayChart"));
  connect(playChart, &QPushButton::clicked, this, [this] { PlayChartClicked(); });
  chartRow->addWidget(playChart);
  layout->addLayout(chartRow);
  chartBars_ = new QLabel(this);
  chartBars_->setObjectName(QStringLiteral("ChartBars"));
  chartBars_->setTextFormat(Qt::RichText);
  layout->addWidget(chartBars_);
  chartError_ = new QLabel(this);
  chartError_->setObjectName(QStringLiteral("ChartError"));
  layout->addWidget(chartError_);

  auto* statusRow = new QHBoxLayout;
  chordLabel_ = new QLabel(this);
  chordLabel_->setObjectName(QStringLiteral("ChordShown"));
  sectionLabel_ = new QLabel(this);
  sectionLabel_->setObjectName(QStringLiteral("SectionShown"));
  statusRow->addWidget(chordLabel_);
  statusRow->addWidget(sectionLabel_);
  layout->addLayout(statusRow);

  layout->addWidget(BuildPad());
  layout->addWidget(BuildSections());
  layout->addWidget(BuildSettings());
  layout->addWidget(BuildKeyboard());

  timer_.setInterval(20);
  connect(&timer_, &QTimer::timeout, this, [this] { ShowPlaying(); });
  ShowPlaying();
}

QWidget* TPlayAlongWindow::BuildPad() {
  auto* pad = new QWidget(this);
  pad->setObjectName(QStringLiteral("ChordPad"));
  auto* grid = new QGridLayout(pad);
  grid->setSpacing(2);
  for (int root = 0; root < chords::kPitchClasses; ++root) {
    for (std::size_t type = 0; type < kPadTypes.size(); ++type) {
      const std::string name =
          std::string(chords::PitchClassName(root, kFlatRoot[static_cast<std::size_t>(root)])) +
          std::string(kPadTypes[type]);
      const std::optional<TChordSymbol> chord = chords::ParseChordSymbol(name);
      auto* button = new QPushButton(ToQString(name), pad);
      button->setObjectName(QStringLiteral("Pad") + ToQString(name));
      connect(button, &QPushButton::clicked, this, [this, chord] { ChordClicked(*chord); });
      grid->addWidget(button, static_cast<int>(type), root);
    }
  }
  auto* noChord = new QPushButton(QStringLiteral("N.C."), pad);
  noChord->setObjectName(QStringLiteral("PadN.C."));
  noChord->setToolTip(QStringLiteral("No chord: bass and chords silent, the drums play on"));
  connect(noChord, &QPushButton::clicked, this, [this] { ChordClicked(std::nullopt); });
  grid->addWidget(noChord, static_cast<int>(kPadTypes.size()), 0, 1, 2);
  return pad;
}

QWidget* TPlayAlongWindow::BuildSections() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  const auto add = [&](const char* text, std::function<void()> action) {
    auto* button = new QPushButton(QString::fromLatin1(text), row);
    button->setObjectName(QStringLiteral("Section") + QString::fromLatin1(text).remove(' '));
    connect(button, &QPushButton::clicked, this, std::move(action));
    layout->addWidget(button);
  };
  add("Intro", [this] { SectionClicked(kIntro1, true); });
  add("Var1", [this] { SectionClicked(kVar1, true); });
  add("Var2", [this] { SectionClicked(kVar2, true); });
  add("Fill", [this] { SectionClicked(chords::kAskFill, false); });
  add("Ending", [this] { SectionClicked(chords::kAskEnding, false); });
  add("Sync start", [this] { SyncStartClicked(); });
  add("Stop", [this] { Q_EMIT StopClicked(); });
  return row;
}

QWidget* TPlayAlongWindow::BuildSettings() {
  auto* box = new QWidget(this);
  box->setObjectName(QStringLiteral("PartSettings"));
  auto* grid = new QGridLayout(box);
  grid->addWidget(new QLabel(QStringLiteral("Break point"), box), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Invert"), box), 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("Retrigger"), box), 0, 3);
  for (int part = chords::kBassPart; part < kPartCount; ++part) {
    const auto p = static_cast<std::size_t>(part);
    const QString name = ToQString(kPartNames[p]);
    grid->addWidget(new QLabel(name, box), part, 0);
    breakPoints_[p] = new QComboBox(box);
    breakPoints_[p]->setObjectName(QStringLiteral("BreakPoint") + name);
    for (int pitch = 0; pitch < chords::kPitchClasses; ++pitch) {
      breakPoints_[p]->addItem(ToQString(chords::PitchClassName(pitch)));
    }
    breakPoints_[p]->setCurrentIndex(settings_[p].breakPoint);
    inverts_[p] = new QCheckBox(box);
    inverts_[p]->setObjectName(QStringLiteral("Invert") + name);
    inverts_[p]->setChecked(settings_[p].invert);
    // The bass always moves by the break point.
    inverts_[p]->setEnabled(part != chords::kBassPart);
    retriggers_[p] = new QCheckBox(box);
    retriggers_[p]->setObjectName(QStringLiteral("Retrigger") + name);
    retriggers_[p]->setChecked(settings_[p].retrigger);
    grid->addWidget(breakPoints_[p], part, 1);
    grid->addWidget(inverts_[p], part, 2);
    grid->addWidget(retriggers_[p], part, 3);
    connect(breakPoints_[p], &QComboBox::currentIndexChanged, this, [this] { SettingsChanged(); });
    connect(inverts_[p], &QCheckBox::toggled, this, [this] { SettingsChanged(); });
    connect(retriggers_[p], &QCheckBox::toggled, this, [this] { SettingsChanged(); });
  }
  return box;
}

QPushButton* TPlayAlongWindow::PadButton(const QString& name) const {
  return findChild<QPushButton*>(QStringLiteral("Pad") + name);
}

QPushButton* TPlayAlongWindow::Button(const QString& text) const {
  if (text == QStringLiteral("Play chart"))
    return findChild<QPushButton*>(QStringLiteral("PlayChart"));
  return findChild<QPushButton*>(QStringLiteral("Section") + QString(text).remove(' '));
}

void TPlayAlongWindow::ChordClicked(const TChordSymbol& chord) {
  playback_.Live().SetChord(chord);
  ShowPlaying();
}

bool TPlayAlongWindow::Playing() {
  return playback_.LiveNow().has_value();
}

void TPlayAlongWindow::SectionClicked(int section, bool startsPlay) {
  if (Playing()) {
    playback_.Live().AskSection(section);
  } else if (startsPlay) {
    Start({.section = section, .syncStart = false, .play = settings_, .chart = std::nullopt});
  }
}

void TPlayAlongWindow::SyncStartClicked() {
  // As on a keyboard: pressed while the rhythm plays, it stops it and waits for the next chord;
  // pressed while it waits, it stops waiting.
  if (const std::optional<brondel::TLiveState> live = playback_.LiveNow()) {
    playback_.Stop();
    if (live->waiting) return;
  }
  Start({.section = kVar1, .syncStart = true, .play = settings_, .chart = std::nullopt});
}

void TPlayAlongWindow::PlayChartClicked() {
  const chords::TChartRead read = chords::ParseChart(chart_->text().toStdString());
  chartError_->setText(ToQString(read.error));
  if (!read.error.empty() || read.chart.bars.empty()) return;
  if (Playing()) playback_.Stop();
  chartPlaying_ = read.chart;
  Start({.section = kVar1, .syncStart = false, .play = settings_, .chart = read.chart});
}

void TPlayAlongWindow::Start(brondel::TPlayback::TLiveStart start) {
  start.play = settings_;
  timer_.start();
  startPlay_(start);  // returns once the play has ended
  // The stream ended the melody's notes with the play; the keys held play nothing more.
  if (keyboard_) keyboard_->ReleaseAll();
  chartPlaying_.reset();
  ShowPlaying();
}

void TPlayAlongWindow::SettingsChanged() {
  for (int part = chords::kBassPart; part < kPartCount; ++part) {
    const auto p = static_cast<std::size_t>(part);
    settings_[p].breakPoint = breakPoints_[p]->currentIndex();
    settings_[p].invert = part != chords::kBassPart && inverts_[p]->isChecked();
    settings_[p].retrigger = retriggers_[p]->isChecked();
  }
  playback_.Live().SetPlaySettings(settings_);
}

void TPlayAlongWindow::ShowPlaying() {
  const std::optional<brondel::TLiveState> live = playback_.LiveNow();
  // A play waiting for its first chord has none yet: the chord shown is the one asked last.
  const TChordSymbol chord = live && !live->waiting ? live->chord : playback_.Live().Chord();
  chordLabel_->setText(QStringLiteral("Chord: ") + ToQString(chords::ChordSymbolName(chord)));
  QString section = QStringLiteral("stopped");
  int sounding = -1;
  int chartBar = -1;
  if (live && live->waiting) {
    section = QStringLiteral("waiting for a chord");
  } else if (live && live->place) {
    sounding = live->place->section;
    chartBar = live->place->chartBar;
    section = SectionName(sounding);
  } else if (live) {
    section = QStringLiteral("starting");
  }
  if (live && live->askedSection) {
    const int asked = *live->askedSection;
    section +=
        QStringLiteral(", next: ") + (asked == chords::kAskFill     ? QStringLiteral("Fill")
                                      : asked == chords::kAskEnding ? QStringLiteral("Ending")
                                                                    : SectionName(asked));
  }
  sectionLabel_->setText(QStringLiteral("Section: ") + section);
  if (sounding >= 0 && sounding != sectionShown_) Q_EMIT SectionSounding(sounding);
  sectionShown_ = sounding;
  if (chartBar != chartBarShown_) {
    chartBarShown_ = chartBar;
    QStringList bars = ChartBars(chart_->text());
    for (int b = 0; b < bars.size(); ++b) {
      bars[b] = bars[b].toHtmlEscaped();
      if (chartPlaying_ && b == chartBar) {
        bars[b] = QStringLiteral("<b><u>") + bars[b] + QStringLiteral("</u></b>");
      }
    }
    chartBars_->setText(bars.join(QStringLiteral(" | ")));
  }
  ShowKeyboard();
  if (!live && !isVisible()) timer_.stop();
}

void TPlayAlongWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ListInputs();
  timer_.start();
}

void TPlayAlongWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!Playing()) timer_.stop();
}

QWidget* TPlayAlongWindow::BuildKeyboard() {
  auto* box = new QWidget(this);
  box->setObjectName(QStringLiteral("MidiKeyboard"));
  auto* layout = new QGridLayout(box);
  layout->addWidget(new QLabel(QStringLiteral("MIDI input:"), box), 0, 0);
  inputChoice_ = new QComboBox(box);
  inputChoice_->setObjectName(QStringLiteral("MidiInput"));
  inputChoice_->addItem(QStringLiteral("(none)"));
  connect(inputChoice_, &QComboBox::activated, this, [this](int index) { InputChosen(index); });
  layout->addWidget(inputChoice_, 0, 1, 1, 3);
  inputStatus_ = new QLabel(box);
  inputStatus_->setObjectName(QStringLiteral("InputStatus"));
  layout->addWidget(inputStatus_, 0, 4, 1, 2);

  splitLabel_ = new QLabel(box);
  splitLabel_->setObjectName(QStringLiteral("SplitShown"));
  layout->addWidget(splitLabel_, 1, 0);
  splitKeyboard_ = new TSplitKeyboard(
      [this](int key) {
        if (keyboard_) keyboard_->SetSplitKey(key);
        ShowKeyboard();
      },
      box);
  layout->addWidget(splitKeyboard_, 1, 1, 1, 4);
  learn_ = new QPushButton(QStringLiteral("Learn"), box);
  learn_->setObjectName(QStringLiteral("LearnSplit"));
  learn_->setToolTip(QStringLiteral("The next key pressed becomes the split point"));
  connect(learn_, &QPushButton::clicked, this, [this] {
    if (keyboard_) keyboard_->LearnSplit();
    ShowKeyboard();
  });
  layout->addWidget(learn_, 1, 5);

  memory_ = new QCheckBox(QStringLiteral("Memory"), box);
  memory_->setObjectName(QStringLiteral("Memory"));
  memory_->setToolTip(QStringLiteral("The chord stays when the left hand lets go"));
  memory_->setChecked(true);
  connect(memory_, &QCheckBox::toggled, this, [this](bool on) {
    if (keyboard_) keyboard_->SetMemory(on);
  });
  layout->addWidget(memory_, 2, 0);
  fingering_ = new QComboBox(box);
  fingering_->setObjectName(QStringLiteral("Fingering"));
  fingering_->addItems({QStringLiteral("Fingered"), QStringLiteral("One finger")});
  connect(fingering_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (keyboard_) {
      keyboard_->SetFingering(index == 1 ? chords::TFingering::kOneFinger
                                         : chords::TFingering::kFingered);
    }
  });
  layout->addWidget(fingering_, 2, 1);
  layout->addWidget(new QLabel(QStringLiteral("Melody program:"), box), 2, 2);
  melodyTone_ = new QSpinBox(box);
  melodyTone_->setObjectName(QStringLiteral("MelodyTone"));
  melodyTone_->setRange(1, 128);  // as a player counts General MIDI's programs
  melodyTone_->setToolTip(QStringLiteral("The General MIDI program the right hand plays with"));
  connect(melodyTone_, &QSpinBox::valueChanged, this, [this](int program) {
    if (keyboard_) keyboard_->SetMelodyTone(program - 1);
  });
  layout->addWidget(melodyTone_, 2, 3);

  // The program change that asks for each section (none: -1), and the key that does (none by
  // default: a mapped key plays nothing else).
  auto* sections = new QHBoxLayout;
  auto* sectionKeys = new QHBoxLayout;
  sectionKeys->addWidget(new QLabel(QStringLiteral("Keys:"), box));
  sections->addWidget(new QLabel(QStringLiteral("Program changes:"), box));
  static constexpr std::array<const char*, 5> kButtonNames = {"Intro", "Var1", "Var2", "Fill",
                                                              "Ending"};
  for (std::size_t b = 0; b < kButtonNames.size(); ++b) {
    const QString name = QString::fromLatin1(kButtonNames[b]);
    auto* program = new QSpinBox(box);
    program->setObjectName(QStringLiteral("Program") + name);
    program->setRange(-1, 127);
    program->setSpecialValueText(QStringLiteral("none"));
    program->setValue(static_cast<int>(b));  // the defaults: 0 to 4
    program->setToolTip(QStringLiteral("The program change that asks for ") + name);
    connect(program, &QSpinBox::valueChanged, this, [this] { SectionProgramsChanged(); });
    sections->addWidget(new QLabel(name, box));
    sections->addWidget(program);
    sectionPrograms_[b] = program;
    auto* key = new QSpinBox(box);
    key->setObjectName(QStringLiteral("Key") + name);
    key->setRange(-1, 127);
    key->setSpecialValueText(QStringLiteral("none"));
    key->setValue(-1);
    key->setToolTip(QStringLiteral("The key (0 to 127, middle C 60) that asks for ") + name);
    connect(key, &QSpinBox::valueChanged, this, [this] { SectionProgramsChanged(); });
    sectionKeys->addWidget(new QLabel(name, box));
    sectionKeys->addWidget(key);
    sectionKeys_[b] = key;
  }
  sections->addStretch(1);
  sectionKeys->addStretch(1);
  layout->addLayout(sections, 3, 0, 1, 6);
  layout->addLayout(sectionKeys, 4, 0, 1, 6);
  box->setEnabled(false);
  return box;
}

void TPlayAlongWindow::SectionProgramsChanged() {
  if (!keyboard_) return;
  chords::TSectionMap map = keyboard_->Sections();
  map.programs.clear();
  map.keys.clear();
  for (std::size_t b = 0; b < sectionPrograms_.size(); ++b) {
    // A program or key given to two sections asks for the later one.
    const auto button = static_cast<chords::TSectionButton>(b);
    if (const int program = sectionPrograms_[b]->value(); program >= 0) {
      map.programs[program] = button;
    }
    if (const int key = sectionKeys_[b]->value(); key >= 0) map.keys[key] = button;
  }
  keyboard_->SetSections(std::move(map));
}

void TPlayAlongWindow::SetInputs(brondel::platform::IMidiInputService& inputs) {
  keyboard_ = std::make_unique<brondel::TKeyboardPlay>(inputs, playback_.LiveControl());
  keyboard_->SetMemory(memory_->isChecked());
  keyboard_->SetMelodyTone(melodyTone_->value() - 1);
  SectionProgramsChanged();
  findChild<QWidget*>(QStringLiteral("MidiKeyboard"))->setEnabled(true);
  // The devices are asked for when the window shows, not at the program's start.
  if (isVisible()) ListInputs();
  ShowKeyboard();
}

void TPlayAlongWindow::ListInputs() {
  if (!keyboard_) return;
  const QString chosen = inputChoice_->currentText();
  inputChoice_->clear();
  inputChoice_->addItem(QStringLiteral("(none)"));
  for (const std::string& name : keyboard_->DeviceNames()) inputChoice_->addItem(ToQString(name));
  const int kept = keyboard_->IsOpen() ? inputChoice_->findText(chosen) : 0;
  inputChoice_->setCurrentIndex(kept < 0 ? 0 : kept);
}

void TPlayAlongWindow::InputChosen(int index) {
  if (!keyboard_) return;
  inputStatus_->clear();
  if (index <= 0) {
    keyboard_->Close();
    return;
  }
  // The list as shown is the service's last list: the ids match.
  if (const std::optional<std::string> refusal =
          keyboard_->Open(static_cast<std::uint32_t>(index - 1))) {
    inputStatus_->setText(ToQString(*refusal));
    inputChoice_->setCurrentIndex(0);
  }
}

void TPlayAlongWindow::ShowKeyboard() {
  if (!keyboard_) return;
  const int split = keyboard_->SplitKey();
  splitKeyboard_->SetSplitKey(split);
  const bool learning = keyboard_->Learning();
  splitLabel_->setText(learning ? QStringLiteral("Split: press a key")
                                : QStringLiteral("Split: ") + ToQString(brondel::NoteName(split)));
  if (const std::optional<std::string> lost = keyboard_->TakeLost()) {
    // Reported once; the play goes on without the device.
    inputStatus_->setText(inputChoice_->currentText() + QStringLiteral(" went away: ") +
                          ToQString(*lost));
    keyboard_->Close();
    inputChoice_->setCurrentIndex(0);
  }
}

}  // namespace brondel::app
