#pragma once

#include <cstdint>

namespace sonavell {

// The 18-byte PCM format record kept in the settings file and in WAV files:
// tag (1 = PCM), channels, samples per second, average bytes per second,
// block alignment, bits per sample, extra size.
struct WaveFormat
{
    std::uint16_t formatTag = 1;
    std::uint16_t channels = 2;
    std::uint32_t samplesPerSec = 44100;
    std::uint32_t avgBytesPerSec = 44100;
    std::uint16_t blockAlign = 1;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t extraSize = 0;

    static constexpr int kSerializedSize = 18;

    // Block alignment and byte rate as PCM requires them for the channels, rate and sample width.
    WaveFormat normalizedPcm() const
    {
        WaveFormat pcm = *this;
        pcm.blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
        pcm.avgBytesPerSec = samplesPerSec * pcm.blockAlign;
        return pcm;
    }

    friend bool operator==(const WaveFormat &, const WaveFormat &) = default;
};

} // namespace sonavell
