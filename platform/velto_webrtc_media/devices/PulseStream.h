// What capture and playout share: the stream format and the opening of a
// stream on a connection of its own.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "AudioDevice.h"
#include "PulseConnection.h"

namespace velto_media {

constexpr std::chrono::milliseconds kPulseTimeout{3000};
constexpr uint32_t kAudioBlockBytes = kAudioBlockSamples * sizeof(int16_t);

// A new stream called `name` on the connection (lock held) in the engine's
// format: 48 kHz, mono, signed 16-bit little-endian. Null on failure.
pa_stream* newAudioStream(PulseConnection& connection, const char* name);

// Waits (lock held) until the stream is ready or has failed; true when ready.
bool waitUntilReady(PulseConnection& connection, pa_stream* stream);

// Detaches every callback from the stream, disconnects and releases it (lock held).
void closeStream(pa_stream* stream);

// Closes `stream` under its connection's lock, after which none of its
// callbacks runs or will, then drops the connection; both end null.
void closeStreamAndConnection(std::unique_ptr<PulseConnection>& connection, pa_stream*& stream);

}  // namespace velto_media
