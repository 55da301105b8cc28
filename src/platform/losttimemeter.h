#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace sonavell {

// Some devices (the desktop sound server's ALSA plugin among them) drop captured audio without
// ever reporting an overrun. This compares the frames actually received, plus those the device
// still holds for us, with the frames the clock says should have arrived; the shortfall beyond
// a little scheduling slack is audio missing from the stream. A late reader is not a loss as
// long as the device kept the audio, and audio once lost never comes back, so the count only
// grows.
class LostTimeMeter
{
public:
    // slackFrames: what may be on its way without the device counting it as available (a period
    // or two); a device that cannot say what it holds passes its buffer size.
    void start(std::uint64_t nowNs, std::uint32_t rate, std::uint64_t slackFrames)
    {
        m_startNs = nowNs;
        m_rate = rate;
        m_slack = slackFrames;
        m_received = 0;
        m_lost = 0;
    }

    // availableFrames: what the device has captured that is not read yet.
    void addFrames(std::uint64_t frames, std::uint64_t nowNs, std::uint64_t availableFrames = 0)
    {
        m_received += frames;
        const std::uint64_t elapsedNs = nowNs > m_startNs ? nowNs - m_startNs : 0;
        // Split to keep the product inside 64 bits for recordings of any length.
        const std::uint64_t expected = elapsedNs / 1000000000u * m_rate
            + elapsedNs % 1000000000u * m_rate / 1000000000u;
        const std::uint64_t have = m_received + availableFrames;
        if (expected > have + m_slack)
            m_lost = std::max(m_lost, expected - have - m_slack);
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
