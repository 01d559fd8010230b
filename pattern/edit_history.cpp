#include "pattern/edit_history.h"

#include <algorithm>
#include <set>
#include <utility>

namespace brondel {

std::optional<TEditHistory::TByteChange> TEditHistory::Difference(const std::uint8_t* before,
                                                                  std::size_t beforeSize,
                                                                  const std::uint8_t* after,
                                                                  std::size_t afterSize) {
  const std::size_t shorter = std::min(beforeSize, afterSize);
  std::size_t head = 0;
  while (head < shorter && before[head] == after[head]) ++head;
  if (head == shorter && beforeSize == afterSize) return std::nullopt;
  std::size_t tail = 0;
  while (tail < shorter - head && before[beforeSize - 1 - tail] == after[afterSize - 1 - tail]) {
    ++tail;
  }
  return TByteChange{
      head, {before + head, before + beforeSize - tail}, {after + head, after + afterSize - tail}};
}

bool TEditHistory::Record(std::string name, const TRhythmSlot& before, const TRhythmSlot& after) {
  TStep step;
  step.name = std::move(name);
  step.header = Difference(before.header.bytes.data(), before.header.bytes.size(),
                           after.header.bytes.data(), after.header.bytes.size());
  for (int section = 0; section < kSectionCount; ++section) {
    for (int part = 0; part < kPartCount; ++part) {
      const TPartStream& was =
          before.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
      const TPartStream& is =
          after.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)];
      if (auto change = Difference(was.data(), was.size(), is.data(), is.size())) {
        step.streams.push_back({section, part, std::move(*change)});
      }
    }
  }
  if (!step.header && step.streams.empty()) return false;
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
  if (saved_ && *saved_ > done_) saved_.reset();
  steps_.push_back(std::move(step));
  ++done_;
  if (steps_.size() > kMaxUndoSteps) {
    steps_.pop_front();
    --done_;
    if (saved_) saved_ = *saved_ == 0 ? std::nullopt : std::optional(*saved_ - 1);
  }
  return true;
}

std::string TEditHistory::UndoName() const {
  return CanUndo() ? steps_[done_ - 1].name : std::string();
}

std::string TEditHistory::RedoName() const {
  return CanRedo() ? steps_[done_].name : std::string();
}

THistoryChange TEditHistory::Apply(const TStep& step, TRhythmSlot& slot, bool undo) {
  THistoryChange change{step.name, {}, step.header.has_value()};
  if (step.header) {
    const std::vector<std::uint8_t>& then = undo ? step.header->before : step.header->after;
    std::copy(then.begin(), then.end(),
              slot.header.bytes.begin() + static_cast<std::ptrdiff_t>(step.header->at));
    slot.numerator = TimeSignatureNumerator(slot.header.TimeSignature());
    slot.denominator = TimeSignatureDenominator(slot.header.TimeSignature());
  }
  std::set<int> sections;
  for (const TStreamChange& stream : step.streams) {
    TPartStream& bytes = slot.streams[static_cast<std::size_t>(stream.section)]
                                     [static_cast<std::size_t>(stream.part)];
    const std::vector<std::uint8_t>& now = undo ? stream.bytes.after : stream.bytes.before;
    const std::vector<std::uint8_t>& then = undo ? stream.bytes.before : stream.bytes.after;
    const auto at = bytes.begin() + static_cast<std::ptrdiff_t>(stream.bytes.at);
    const auto rest = bytes.erase(at, at + static_cast<std::ptrdiff_t>(now.size()));
    bytes.insert(rest, then.begin(), then.end());
    sections.insert(stream.section);
  }
  for (const int section : sections) {
    slot.eventCounts[static_cast<std::size_t>(section)] = CountSectionEvents(slot, section);
  }
  change.sections.assign(sections.begin(), sections.end());
  return change;
}

std::optional<THistoryChange> TEditHistory::Undo(TRhythmSlot& slot) {
  if (!CanUndo()) return std::nullopt;
  --done_;
  return Apply(steps_[done_], slot, true);
}

std::optional<THistoryChange> TEditHistory::Redo(TRhythmSlot& slot) {
  if (!CanRedo()) return std::nullopt;
  ++done_;
  return Apply(steps_[done_ - 1], slot, false);
}

void TEditHistory::Reset(bool saved) {
  steps_.clear();
  done_ = 0;
  saved_ = saved ? std::optional<std::size_t>(0) : std::nullopt;
}

std::size_t TEditHistory::MemoryBytes() const {
  std::size_t bytes = sizeof(*this);
  const auto changeBytes = [](const TByteChange& change) {
    return change.before.capacity() + change.after.capacity();
  };
  for (const TStep& step : steps_) {
    bytes += sizeof(TStep) + step.name.capacity() + step.streams.capacity() * sizeof(TStreamChange);
    if (step.header) bytes += changeBytes(*step.header);
    for (const TStreamChange& stream : step.streams) bytes += changeBytes(stream.bytes);
  }
  return bytes;
}

}  // namespace brondel
