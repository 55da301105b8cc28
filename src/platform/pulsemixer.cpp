#include "platform/pulsemixer.h"

#include <algorithm>

namespace sonavell {

PulseMixer::PulseMixer(std::shared_ptr<PulseContext> context) : m_context(std::move(context)) {}

bool PulseMixer::open(int)
{
    if (m_open || !m_context->isConnected())
        return false;
    m_sources = m_context->sources();
    m_current = m_context->recordingSource();
    const auto current = std::find_if(m_sources.begin(), m_sources.end(),
                                      [&](const PulseSource &source) { return source.name == m_current; });
    if (current != m_sources.end() && current - m_sources.begin() >= kMaxSources)
        std::rotate(m_sources.begin(), current, current + 1);
    if (m_sources.size() > kMaxSources)
        m_sources.resize(kMaxSources);
    m_sink = m_context->playbackSink();
    m_open = true;
    return true;
}

void PulseMixer::close()
{
    m_open = false;
    m_sources.clear();
    m_sink.reset();
}

std::optional<MixerLine> PulseMixer::captureDestination()
{
    if (!m_open)
        return std::nullopt;
    int channels = 1;
    for (const PulseSource &source : m_sources)
        channels = std::max(channels, source.channels);
    return MixerLine{QStringLiteral("Capture"), channels};
}

int PulseMixer::captureSourceCount()
{
    return static_cast<int>(m_sources.size());
}

std::optional<MixerLine> PulseMixer::captureSource(int source)
{
    if (source < 0 || source >= m_sources.size())
        return std::nullopt;
    return MixerLine{m_sources[source].description, m_sources[source].channels};
}

std::optional<MixerLine> PulseMixer::outputLine()
{
    if (!m_sink)
        return std::nullopt;
    return MixerLine{m_sink->description, m_sink->channels};
}

std::optional<MixerVolume> PulseMixer::volume(int line)
{
    const bool exists = line == kOutputLine ? m_sink.has_value() : line >= 0 && line < m_sources.size();
    if (!exists)
        return std::nullopt;
    return MixerVolume{PulseContext::kVolumeMuted, PulseContext::kVolumeNorm, true};
}

bool PulseMixer::readVolume(int line, std::span<std::uint32_t> values)
{
    if (!volume(line) || values.empty())
        return false;
    std::fill(values.begin(), values.end(), line == kOutputLine ? m_sink->volume : m_sources[line].volume);
    return true;
}

bool PulseMixer::writeVolume(int line, std::span<const std::uint32_t> values)
{
    if (!volume(line) || values.empty())
        return false;
    const std::uint32_t level = std::min(*std::max_element(values.begin(), values.end()), PulseContext::kVolumeNorm);
    if (line == kOutputLine) {
        if (!m_context->setSinkVolume(m_sink->index, level))
            return false;
        m_sink->volume = level;
        return true;
    }
    if (!m_context->setSourceVolume(m_sources[line].index, level))
        return false;
    m_sources[line].volume = level;
    return true;
}

std::optional<MixerSelector> PulseMixer::captureSelector()
{
    if (!m_open || m_sources.isEmpty())
        return std::nullopt;
    QStringList items;
    for (const PulseSource &source : m_sources)
        items.append(source.description);
    return MixerSelector{MixerSelector::Kind::SingleSelect, true, items};
}

bool PulseMixer::readSelector(std::span<std::uint32_t> values)
{
    if (values.size() != static_cast<size_t>(m_sources.size()))
        return false;
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = m_sources[static_cast<qsizetype>(i)].name == m_current ? 1 : 0;
    return true;
}

bool PulseMixer::writeSelector(std::span<const std::uint32_t> values)
{
    if (values.size() != static_cast<size_t>(m_sources.size()))
        return false;
    const auto chosen = std::find_if(values.begin(), values.end(), [](std::uint32_t value) { return value != 0; });
    if (chosen == values.end())
        return false;
    const QString name = m_sources[chosen - values.begin()].name;
    if (!m_context->chooseSource(name))
        return false;
    m_current = name;
    return true;
}

void PulseMixer::setLinesChanged(std::function<void()> callback)
{
    m_context->setLinesChanged(std::move(callback));
}

} // namespace sonavell
