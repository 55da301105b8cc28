#pragma once

#include "core/settings/waveformat.h"

#include <atomic>
#include <cstdint>

namespace sonavell {

// The level slider position of the chosen record source, written by the record-source panel.
// Read by the capture and encode threads for the silence threshold.
extern std::atomic<std::int32_t> recordLevel;

// Mean absolute sample value of a buffer of signed 16-bit samples (channels not told apart).
std::int32_t bufferLevel(const void *samples, std::uint32_t byteCount);

// The current threshold, from recordLevel and the settings' sensitivity at every call.
std::int32_t silenceThreshold();

// A level strictly below the threshold is silent; a level equal to it is sound.
bool isSilent(std::int32_t level);

// Whole seconds that byte count plays for in the given format.
std::int32_t silentSeconds(const WaveFormat &format, std::uint32_t bytes);

} // namespace sonavell
