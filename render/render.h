// Turning a section or a single part into a stream-event buffer: 12-byte records (delta ticks,
// stream id 0, short message) with the set-up block first.
#pragma once

#include <cstdint>
#include <vector>

#include "document/rhythm_slot.h"
#include "platform/midi_service.h"
#include "render/part_mix.h"

namespace brondel {

/// One timed MIDI message while a section is put together.
struct TRenderEvent {
  std::uint32_t Time = 0;  // ticks from the section start; after sorting, ticks since the previous
  std::uint8_t Status = 0;
  std::uint8_t Data1 = 0;
  std::uint8_t Data2 = 0;
};

/// The stream-event buffer: records of kStreamEventSize bytes (dwDeltaTime, dwStreamID, dwEvent),
/// little-endian, as the MIDI service plays them.
using TEventBuffer = std::vector<std::uint8_t>;
using platform::kStreamEventSize;

/// The time division a slot's buffers play at: its tempo byte as the stream's ticks per quarter
/// note (a tick of 500,000 / T us).
std::uint32_t StreamTimeDivision(const TRhythmSlot& slot);

/// Appends one short-message record.
void AppendStreamEvent(TEventBuffer& buffer, std::uint32_t delta, std::uint8_t status,
                       std::uint8_t data1, std::uint8_t data2);

/// The exchange sort by Time that defines the buffers: for j = 0..n-2, for i = j+1..n-1,
/// exchanges events i and j when i's Time is less than j's. Not stable: buffers keep the order
/// it gives equal times. O(n^2); the reference the faster sorts are checked against.
void ExchangeSortLoop(std::vector<TRenderEvent>& events);

/// Leaves the events exactly as ExchangeSortLoop does, event for event, computed from where the
/// events of each time stand: O(n log n), plus turns of rows of equal times that are never more
/// than the loop's exchanges. Fewer than 2^32 events.
void ExchangeSortDirect(std::vector<TRenderEvent>& events);

/// Below this many events the loop's few comparisons beat ExchangeSortDirect's set-up.
inline constexpr std::size_t kShortSortLimit = 40;

/// ExchangeSortLoop's result the fastest way: the loop itself below kShortSortLimit events,
/// ExchangeSortDirect from there on.
void ExchangeSortByTime(std::vector<TRenderEvent>& events);

/// The events of section 0-9 of a slot in the order they are generated, each at its time from
/// the section's start: the 30 set-up events at 0, then part by part one event per record
/// whose byte 1 is not 0xFF, at the part's 16-bit running time. `events` is replaced by them.
void CollectSectionEvents(const TRhythmSlot& slot, int section, std::vector<TRenderEvent>& events);

/// The events of section 0-9 of a slot in the order its buffer plays them: CollectSectionEvents,
/// then ExchangeSortByTime; each keeps its time from the section's start. `events` is replaced.
void SortedSectionEvents(const TRhythmSlot& slot, int section, std::vector<TRenderEvent>& events);

/// Renders section 0-9 of a slot: the 30 set-up events, one event per record whose byte 1 is not
/// 0xFF, the exchange sort, deltas; `events` (the slot's render-event array) is replaced by them.
/// The parts `mix` leaves silent keep their events' places, each as an empty record (event 0),
/// which sends nothing: the sort's order of equal times depends on every event, so the parts
/// that sound are played exactly as in the whole section, and the section keeps its length.
/// With every part audible the buffer is the section's own.
void RenderSectionEvents(const TRhythmSlot& slot, int section, std::vector<TRenderEvent>& events,
                         TEventBuffer& buffer, const TPartMix& mix = {});

/// Builds the buffer of a part preview: six set-up records, then the part's events in record
/// order, a wait record replacing the pending delay.
void RenderPartPreview(const TRhythmSlot& slot, int section, int part, TEventBuffer& buffer);

/// Builds the buffer of an audition: part 0-4's six set-up records of section 0-9 (its sound),
/// then `key` at `velocity` on the part's channel, ended `ticks` later.
void RenderAudition(const TRhythmSlot& slot, int section, int part, std::uint8_t key,
                    std::uint8_t velocity, std::uint32_t ticks, TEventBuffer& buffer);

/// A tick of a buffer and the tick of the section at which the same moment of music stands.
struct TTickPair {
  std::uint64_t buffer = 0;
  std::uint32_t section = 0;

  friend bool operator==(const TTickPair&, const TTickPair&) = default;
};

/// Where the events of a part preview's buffer (RenderPartPreview's) stand in the section: (0, 0),
/// then one pair per event after the set-up, its buffer tick and its record's running time. The
/// two differ where waits follow one another (the preview counts the last, the section all).
std::vector<TTickPair> PartPreviewTicks(const TRhythmSlot& slot, int section, int part);

}  // namespace brondel
