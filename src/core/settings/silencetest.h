#pragma once

#include "core/settings/waveformat.h"

#include <atomic>
#include <cstdint>

namespace sonavell {

// The level slider position of the chosen record source, written by the record-source panel.
// Read by the capture and encode threads for the silence threshold.
extern std::atomic<std::int32_t> recordLevel;
// The range of that slider as the mixer reports it; a maximum not above the minimum means
// unknown (no panel yet, or the command line), and recordLevel is then read as a percentage.
extern std::atomic<std::int32_t> recordLevelMinimum;
extern std::atomic<std::int32_t> recordLevelMaximum;

// Sets the three together, as the record-source panel does after every exchange.
void setRecordLevel(std::int32_t position, std::int32_t minimum, std::int32_t maximum);
// recordLevel as a percentage of its range, 0..100.
double recordLevelPercent();

// Mean absolute sample value of a buffer of signed 16-bit samples (channels not told apart).
std::int32_t bufferLevel(const void *samples, std::uint32_t byteCount);

// The current threshold, from the record level's place in its range and the sensitivity
// (the settings' 1..1000): about 330..372 on any mixer.
std::int32_t silenceThreshold(int sensitivity);

// A level strictly below the threshold is silent; a level equal to it is sound.
bool isSilent(std::int32_t level, int sensitivity);

// Whole seconds that byte count plays for in the given format.
std::int32_t silentSeconds(const WaveFormat &format, std::uint32_t bytes);

} // namespace sonavell
