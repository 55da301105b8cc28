#include "core/settings/silencetest.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace sonavell {

std::atomic<std::int32_t> recordLevel{0};
std::atomic<std::int32_t> recordLevelMinimum{0};
std::atomic<std::int32_t> recordLevelMaximum{0};

void setRecordLevel(std::int32_t position, std::int32_t minimum, std::int32_t maximum)
{
    recordLevelMinimum.store(minimum, std::memory_order_relaxed);
    recordLevelMaximum.store(maximum, std::memory_order_relaxed);
    recordLevel.store(position, std::memory_order_relaxed);
}

double recordLevelPercent()
{
    const double level = recordLevel.load(std::memory_order_relaxed);
    const double minimum = recordLevelMinimum.load(std::memory_order_relaxed);
    const double maximum = recordLevelMaximum.load(std::memory_order_relaxed);
    const double percent = maximum > minimum ? (level - minimum) * 100.0 / (maximum - minimum) : level;
    return std::clamp(percent, 0.0, 100.0);
}

std::int32_t bufferLevel(const void *samples, std::uint32_t byteCount)
{
    const std::uint32_t count = byteCount / 2;
    if (count == 0)
        return 0;
    const auto *bytes = static_cast<const unsigned char *>(samples);
    std::int64_t sum = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::int16_t s;
        std::memcpy(&s, bytes + 2 * i, 2);
        // -32768 counts as 32768, every other value as itself.
        const std::int32_t v = ((s + 0x7FFF) & 0xFFFF) - 0x7FFF;
        sum += std::abs(v);
    }
    return static_cast<std::int32_t>(sum / count);
}

std::int32_t silenceThreshold(int sensitivity)
{
    // The record level nudges the threshold up by at most 2.4 (slider at the top); sensitivity
    // moves it between 330 and 370. Taking the level as a share of the mixer's range keeps a
    // sound server's 0..65536 volume from lifting the threshold above quiet speech (-30 dBFS is
    // a mean level of about 700).
    const double level = recordLevelPercent();
    const double offset = (level - 10.0) * static_cast<double>(0.023655094f);
    const float low = static_cast<float>(offset + 330.0);
    const float high = static_cast<float>(offset + 370.0);
    double fraction = (sensitivity - 1) * 0.001;
    if (fraction > 1.0)
        fraction = 1.0;
    return static_cast<std::int32_t>(low + fraction * (high - low));
}

bool isSilent(std::int32_t level, int sensitivity)
{
    return level < silenceThreshold(sensitivity);
}

std::int32_t silentSeconds(const WaveFormat &format, std::uint32_t bytes)
{
    if (format.samplesPerSec == 0 || format.channels == 0)
        return 0;
    std::uint32_t seconds = bytes / format.samplesPerSec / format.channels;
    if (format.bitsPerSample == 16)
        seconds /= 2;
    return static_cast<std::int32_t>(seconds);
}

} // namespace sonavell
