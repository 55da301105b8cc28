#include "core/record/silencedetector.h"

#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"

#include <algorithm>

namespace sonavell {

SilenceDetector::Action SilenceDetector::onBuffer(const std::int16_t *samples, std::uint32_t byteCount)
{
    if (byteCount == 0)
        return Action::None;
    const std::int32_t level = bufferLevel(samples, byteCount);
    m_silentBytes += byteCount;
    m_levelSum += level;
    // The mean level of the buffers since the last sound. A buffer that is sound on its own
    // counts too: after a long silent stretch the mean alone would hardly move, and the encoder
    // writes such a buffer to the file as sound.
    const auto average = static_cast<std::int32_t>(m_levelSum / (m_silentBytes / byteCount));
    const int sensitivity = m_settings.sensitivity();
    if (!isSilent(level, sensitivity) || !isSilent(average, sensitivity)) {
        m_silentBytes = 0;
        m_levelSum = 0;
        m_heard = true;
        return Action::None;
    }
    const bool newFile = m_settings.silenceAction() == 1;
    const int limit = newFile ? m_settings.newFileAfterSeconds() : m_settings.stopAfterSeconds();
    const auto bytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_silentBytes, UINT32_MAX));
    if (limit < silentSeconds(m_format, bytes) && m_settings.silenceEnabled() && m_heard) {
        m_silentBytes = 0;
        m_levelSum = 0;
        return newFile ? Action::NewFile : Action::Stop;
    }
    return Action::None;
}

} // namespace sonavell
