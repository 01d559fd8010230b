// The stream-event buffer as the engine reads it: 12-byte records of delta ticks, stream id and
// event, copied into a list of events with absolute tick times.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/midi/midi_device.h"

namespace brondel::platform {

/// Size of one stream-event record: delta ticks, stream id, event (each u32, little-endian).
inline constexpr std::size_t kStreamEventSize = 12;

/// One queued event: its tick from the buffer's start and the message it sends, if any.
struct StreamEvent {
  std::uint64_t tick = 0;
  std::optional<MidiMessage> message;  // empty: the event keeps its place in time, sends nothing
};

/// The channel message in an event word (status + data1 * 256 + data2 * 65536, high byte 0);
/// nothing when it is not a short channel message or a data byte it uses is above 127.
std::optional<MidiMessage> DecodeShortMessage(std::uint32_t event);

/// Copies a buffer of stream events; nullopt when its length is not a whole number of records.
std::optional<std::vector<StreamEvent>> DecodeStreamEvents(std::span<const std::uint8_t> bytes);

/// The length of `ticks` ticks at `division` ticks per quarter note: 500,000 / division us each.
MidiMicros TicksToMicros(std::uint64_t ticks, std::uint32_t division);

}  // namespace brondel::platform
