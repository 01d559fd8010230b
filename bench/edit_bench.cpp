// The pattern editor's costs: one edit of a busy section, from the operation to the document
// updated and the section's pattern built anew (what the window then paints), and its undo and
// redo. The goal is a frame: under 16 ms. Two sections:
//  - "20000 notes": four parts of 5,000 notes each ended by their key's next note-on (no
//    note-offs: 60,000 bytes, the most notes a section holds), and a Bass part of 64 notes that
//    the edit moves; every edit reads, sorts and arranges all of the section's events.
//  - "10800 notes": the largest section the editor itself writes (every note with its
//    note-off): 10,800 notes in Bass, whose three notes the edit moves, so the whole part is
//    encoded and arranged anew.
// HistoryMemory: 1,000 steps on a rhythm of 65,535 bytes, the most a file holds, and the bytes
// the history keeps for them: "Move 3 notes" (a step as a user mostly makes it), and Transpose
// of the whole 10,800-note part (the most one step can change: every record of the part, so
// the step keeps the part's bytes twice, as they were and as they became).
#include <benchmark/benchmark.h>

#include "bench/busy_sections.h"
#include "pattern/section_edit.h"

namespace {

using namespace brondel;
using namespace bench;

TRhythmSlot Busy(int which) {
  return which == 0 ? TwentyThousandNotes() : LargestWrittenSection();
}

// Three Bass notes in the middle of the section.
TSelection MiddleBassNotes(const TSectionNotes& notes) {
  const TNoteList& bass = notes.parts[1];
  TSelection selection;
  for (std::size_t i = bass.size() / 2; i < bass.size() / 2 + 3; ++i) {
    selection.push_back(IdOf(1, bass[i]));
  }
  return selection;
}

// One edit as the window makes it: the operation on the notes it shows, the document written
// and recorded, the pattern built anew.
void MoveThree(TRhythmSlot& slot, TEditHistory& history, std::int64_t ticks) {
  const TSectionNotes notes = ReadSectionNotes(slot, kSection);
  const TEditOutcome outcome =
      ApplySectionEdit(slot, kSection, MoveNotes(notes, MiddleBassNotes(notes), ticks, 0), history);
  if (outcome.refusal) throw std::runtime_error(*outcome.refusal);
  benchmark::DoNotOptimize(BuildSectionPattern(slot, kSection));
}

void BM_Edit(benchmark::State& state) {
  TRhythmSlot slot = Busy(static_cast<int>(state.range(0)));
  TEditHistory history;
  state.counters["notes"] = static_cast<double>(BuildSectionPattern(slot, kSection).notes.size());
  for (auto _ : state) {
    MoveThree(slot, history, 1);
    state.PauseTiming();
    history.Undo(slot);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Edit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_UndoRedo(benchmark::State& state) {
  TRhythmSlot slot = Busy(static_cast<int>(state.range(0)));
  TEditHistory history;
  MoveThree(slot, history, 1);
  const bool undo = state.range(1) == 0;
  for (auto _ : state) {
    if (undo) {
      history.Undo(slot);
    } else {
      history.Redo(slot);
    }
    benchmark::DoNotOptimize(BuildSectionPattern(slot, kSection));
    state.PauseTiming();
    if (undo) {
      history.Redo(slot);
    } else {
      history.Undo(slot);
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UndoRedo)
    ->ArgNames({"section", "redo"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

// The whole Bass part a semitone up or down: every one of its records changes.
void TransposeBass(TRhythmSlot& slot, TEditHistory& history, int keys) {
  const TEditOutcome outcome = ApplySectionEdit(
      slot, kSection, TransposePart(ReadSectionNotes(slot, kSection), 1, keys), history);
  if (outcome.refusal) throw std::runtime_error(*outcome.refusal);
}

// 1,000 steps on the largest rhythm a file holds: the section of 10,800 notes with the rest of
// the 65,535 bytes in other sections. Argument 0: "Move 3 notes"; 1: Transpose of the part.
void BM_HistoryMemory(benchmark::State& state) {
  TRhythmSlot start = LargestWrittenSection();
  TPartBuilder filler;
  while (TotalLength(start.streams) + filler.Records().size() + 2 * kRecordSize <=
         kMaxTotalLength) {
    filler.Wait(0);
  }
  start.streams[0][4] = filler.Records();
  const bool wholePart = state.range(0) == 1;
  for (auto _ : state) {
    TRhythmSlot slot = start;
    TEditHistory history;
    for (std::size_t step = 0; step < kMaxUndoSteps; ++step) {
      if (wholePart) {
        TransposeBass(slot, history, step % 2 == 0 ? 1 : -1);
      } else {
        MoveThree(slot, history, step % 2 == 0 ? 12 : -12);
      }
    }
    state.counters["part_bytes"] = static_cast<double>(slot.streams[kSection][1].size());
    state.counters["rhythm_bytes"] = static_cast<double>(TotalLength(slot.streams));
    state.counters["steps"] = static_cast<double>(history.StepCount());
    state.counters["history_bytes"] = static_cast<double>(history.MemoryBytes());
  }
}
BENCHMARK(BM_HistoryMemory)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
