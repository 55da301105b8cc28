#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace sonavell {

// Some devices (the desktop sound server's ALSA plugin among them) drop captured audio without
// ever reporting an overrun. This compares the frames actually received with the frames the
// clock says should have arrived; the largest shortfall beyond the device's own buffering is
// the audio that went missing.
class LostTimeMeter
{
public:
    // slackFrames: what the device may legitimately hold back (its buffer size).
    void start(std::uint64_t nowNs, std::uint32_t rate, std::uint64_t slackFrames)
    {
        m_startNs = nowNs;
        m_rate = rate;
        m_slack = slackFrames;
        m_received = 0;
        m_lost = 0;
    }

    void addFrames(std::uint64_t frames, std::uint64_t nowNs)
    {
        m_received += frames;
        const std::uint64_t elapsedNs = nowNs > m_startNs ? nowNs - m_startNs : 0;
        // Split to keep the product inside 64 bits for recordings of any length.
        const std::uint64_t expected = elapsedNs / 1000000000u * m_rate
            + elapsedNs % 1000000000u * m_rate / 1000000000u;
        if (expected > m_received + m_slack)
            m_lost = std::max(m_lost, expected - m_received - m_slack);
    }

    std::uint64_t lostFrames() const { return m_lost; }
    std::uint64_t lostMilliseconds() const { return m_rate ? m_lost * 1000 / m_rate : 0; }

private:
    std::uint64_t m_startNs = 0;
    std::uint32_t m_rate = 0;
    std::uint64_t m_slack = 0;
    std::uint64_t m_received = 0;
    std::uint64_t m_lost = 0;
};

// What a failed ALSA read or write means for the stream (errors are negative errno values).
enum class StreamFailure {
    TryAgain,   // nothing available yet
    Overrun,    // data was lost; prepare and go on
    Suspended,  // the system slept; resume
    DeviceGone, // unplugged or otherwise unusable: end with what was captured
};

inline StreamFailure classifyStreamFailure(int error)
{
    switch (-error) {
    case EAGAIN:
    case EINTR:
        return StreamFailure::TryAgain;
    case EPIPE:
        return StreamFailure::Overrun;
    case ESTRPIPE:
        return StreamFailure::Suspended;
    default:
        return StreamFailure::DeviceGone;
    }
}

} // namespace sonavell
