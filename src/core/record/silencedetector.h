#pragma once

#include "core/settings/waveformat.h"

#include <cstdint>

namespace sonavell {

class RecorderSettings;

// The long-silence rule of a recording: after sound has been heard, a silent stretch longer
// than the settings' limit asks for the recording to stop or to go on in a new file. One per
// recording; fed on the capture callback thread with every buffer that is not paused. The
// silence settings are read live at every buffer; they are not owned and outlive the detector.
class SilenceDetector
{
public:
    enum class Action { None, Stop, NewFile };

    SilenceDetector(const WaveFormat &format, const RecorderSettings &settings)
        : m_format(format), m_settings(settings)
    {
    }

    Action onBuffer(const std::int16_t *samples, std::uint32_t byteCount);
    bool hasHeardSound() const { return m_heard; }

private:
    WaveFormat m_format;
    const RecorderSettings &m_settings;
    std::uint64_t m_silentBytes = 0; // 64-bit: a silent start may last for many hours
    std::int64_t m_levelSum = 0;
    bool m_heard = false;
};

} // namespace sonavell
