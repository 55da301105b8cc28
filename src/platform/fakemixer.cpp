#include "platform/fakemixer.h"

namespace sonavell {

void FakeMixer::addSource(const QString &name, std::uint32_t minimum, std::uint32_t maximum,
                          std::uint32_t level, int channels, bool uniform)
{
    Line line{name, channels, MixerVolume{minimum, maximum, uniform}, {}, 0};
    line.values.assign(uniform ? 1 : static_cast<size_t>(channels), level);
    m_sources.append(line);
}

void FakeMixer::addSourceWithoutVolume(const QString &name, int channels)
{
    m_sources.append(Line{name, channels, std::nullopt, {}, 0});
}

void FakeMixer::setSelector(MixerSelector::Kind kind, const QStringList &items, int checked, bool uniform)
{
    m_selector = MixerSelector{kind, uniform, items};
    const int channels = selectorChannels();
    m_selectorValues.assign(static_cast<size_t>(items.size() * channels), 0);
    if (checked >= 0)
        for (int c = 0; c < channels; ++c)
            m_selectorValues[static_cast<size_t>(checked * channels + c)] = 1;
}

void FakeMixer::setOutput(std::uint32_t minimum, std::uint32_t maximum, std::uint32_t level, int channels,
                          bool uniform)
{
    m_hasOutput = true;
    m_output = Line{QStringLiteral("Master"), channels, MixerVolume{minimum, maximum, uniform}, {}, 0};
    m_output.values.assign(uniform ? 1 : static_cast<size_t>(channels), level);
}

void FakeMixer::setCaptureDestination(bool present, int channels)
{
    m_hasDestination = present;
    m_destinationChannels = channels;
    if (m_selector)
        setSelector(m_selector->kind, m_selector->items, checkedItem(), m_selector->uniform);
}

int FakeMixer::selectorChannels() const
{
    return !m_selector || m_selector->uniform ? 1 : m_destinationChannels;
}

int FakeMixer::checkedItem() const
{
    if (!m_selector)
        return -1;
    const int channels = selectorChannels();
    int checked = -1;
    for (int i = 0; i < m_selector->items.size(); ++i)
        if (m_selectorValues[static_cast<size_t>(i * channels)] != 0)
            checked = i;
    return checked;
}

int FakeMixer::totalWrites() const
{
    int writes = m_selectorWrites + m_output.writes;
    for (const Line &line : m_sources)
        writes += line.writes;
    return writes;
}

bool FakeMixer::open(int device)
{
    if (m_openFails || m_open)
        return false;
    m_open = true;
    m_device = device;
    ++m_openCount;
    return true;
}

void FakeMixer::close()
{
    m_open = false;
}

std::optional<MixerLine> FakeMixer::captureDestination()
{
    if (!m_open || !m_hasDestination)
        return std::nullopt;
    return MixerLine{QStringLiteral("Capture"), m_destinationChannels};
}

int FakeMixer::captureSourceCount()
{
    return m_open && m_hasDestination ? static_cast<int>(m_sources.size()) : 0;
}

std::optional<MixerLine> FakeMixer::captureSource(int source)
{
    if (!m_open || source < 0 || source >= m_sources.size())
        return std::nullopt;
    return MixerLine{m_sources[source].name, m_sources[source].channels};
}

std::optional<MixerLine> FakeMixer::outputLine()
{
    if (!m_open || !m_hasOutput)
        return std::nullopt;
    return MixerLine{m_output.name, m_output.channels};
}

FakeMixer::Line *FakeMixer::line(int line)
{
    if (!m_open)
        return nullptr;
    if (line == kOutputLine)
        return m_hasOutput ? &m_output : nullptr;
    return line >= 0 && line < m_sources.size() ? &m_sources[line] : nullptr;
}

std::optional<MixerVolume> FakeMixer::volume(int index)
{
    Line *l = line(index);
    return l ? l->volume : std::nullopt;
}

bool FakeMixer::readVolume(int index, std::span<std::uint32_t> values)
{
    Line *l = line(index);
    if (!l || !l->volume || values.size() != l->values.size())
        return false;
    std::copy(l->values.begin(), l->values.end(), values.begin());
    return true;
}

bool FakeMixer::writeVolume(int index, std::span<const std::uint32_t> values)
{
    Line *l = line(index);
    if (!l || !l->volume || values.size() != l->values.size())
        return false;
    l->values.assign(values.begin(), values.end());
    ++l->writes;
    return true;
}

std::optional<MixerSelector> FakeMixer::captureSelector()
{
    if (!m_open || !m_hasDestination)
        return std::nullopt;
    return m_selector;
}

bool FakeMixer::readSelector(std::span<std::uint32_t> values)
{
    if (!m_open || !m_selector || values.size() != m_selectorValues.size())
        return false;
    std::copy(m_selectorValues.begin(), m_selectorValues.end(), values.begin());
    return true;
}

bool FakeMixer::writeSelector(std::span<const std::uint32_t> values)
{
    if (!m_open || !m_selector || values.size() != m_selectorValues.size())
        return false;
    m_selectorValues.assign(values.begin(), values.end());
    ++m_selectorWrites;
    return true;
}

} // namespace sonavell
