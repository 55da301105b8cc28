#pragma once

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <vector>

namespace sonavell {

// Brings the decoded PCM of a join's inputs, whatever their rates and channel counts, to the
// one target format and gathers it into encoder chunks. The resampler's position and partial
// sums and the bytes waiting for a whole chunk carry over from frame to frame and from file to
// file, so the inputs join without a gap or a repeated sample. Its buffers grow to what a frame
// needs, for any rate ratio. One join, one thread.
class JoinConverter
{
public:
    // channels is 1 or 2.
    JoinConverter(int targetRate, int targetChannels);

    // Appends frames sample frames of interleaved 16-bit PCM at sourceRate with sourceChannels
    // (1 or 2), converted to the target format.
    void append(const std::int16_t *samples, int frames, int sourceRate, int sourceChannels);

    // Hands each whole chunk of chunkBytes waiting to encode, in order; the rest keeps waiting.
    void takeChunks(qsizetype chunkBytes, const std::function<void(const char *chunk)> &encode);
    // The bytes still waiting, zero-padded to one chunk of chunkBytes; empty when none wait.
    QByteArray takePaddedRest(qsizetype chunkBytes);
    qsizetype waitingBytes() const { return m_waiting.size(); }

    // Stereo to mono: ⌈(L + R) / 2⌉.
    static std::int16_t downmix(std::int16_t left, std::int16_t right)
    {
        return static_cast<std::int16_t>((left + right + 1) >> 1);
    }

private:
    void adaptTo(int sourceRate, int sourceChannels);
    void resample(const std::int16_t *samples, int frames, int channels);

    int m_targetRate;
    int m_targetChannels;
    int m_sourceRate = 0;
    int m_sourceChannels = 0;
    // Area-weighted resampler: one input sample is targetRate wide, one output sample
    // sourceRate wide; phase is how much of the current output sample is covered.
    std::int64_t m_phase = 0;
    std::int64_t m_sums[2] = {0, 0};
    std::vector<std::int16_t> m_resampled;
    QByteArray m_waiting;
};

} // namespace sonavell
