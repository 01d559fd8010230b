// The stream-event buffer as the engine reads it (the record layout and DecodeStreamEvents are in
// platform/midi_service.h), the messages that end a note, and the length of a tick.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <cstdint>
#include <optional>

#include "platform/midi/engine/midi_clock.h"
#include "platform/midi_service.h"

namespace brondel::platform {

/// The channel message in an event word (status + data1 * 256 + data2 * 65536, high byte 0);
/// nothing when it is not a short channel message or a data byte it uses is above 127.
std::optional<MidiMessage> DecodeShortMessage(std::uint32_t event);
/// True for a message that ends a note: a note-off, or a note-on of velocity 0. Silencing a
/// device never drops one, so that no note is left sounding.
bool EndsANote(const MidiMessage& message);

/// The length of `ticks` ticks at `division` ticks per quarter note: 500,000 / division us each,
/// to the nearest microsecond.
MidiMicros TicksToMicros(std::uint64_t ticks, std::uint32_t division);
/// The whole ticks that fit in `micros` at `division` ticks per quarter note.
std::uint64_t MicrosToTicks(MidiMicros micros, std::uint32_t division);

}  // namespace brondel::platform
