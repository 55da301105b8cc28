#include "core/record/recordmixer.h"

#include <algorithm>
#include <vector>

namespace sonavell {

std::atomic<std::int32_t> mixerDevice{1};

namespace {

// Keeps the mixer open for the length of one operation.
class OpenMixer
{
public:
    explicit OpenMixer(Mixer &mixer) : m_mixer(mixer), m_open(mixer.open(mixerDevice.load())) {}
    ~OpenMixer()
    {
        if (m_open)
            m_mixer.close();
    }
    OpenMixer(const OpenMixer &) = delete;
    OpenMixer &operator=(const OpenMixer &) = delete;
    explicit operator bool() const { return m_open; }

private:
    Mixer &m_mixer;
    bool m_open;
};

} // namespace

// The recording line's list control with its values read: `channels` values per item.
struct RecordMixer::Selector
{
    MixerSelector control;
    int channels = 1;
    std::vector<std::uint32_t> values;
};

bool RecordMixer::listSources(QList<RecordSource> &sources)
{
    sources.clear();
    OpenMixer open(m_mixer);
    if (!open || !m_mixer.captureDestination())
        return false;
    const int count = m_mixer.captureSourceCount();
    for (int s = 0; s < count; ++s) {
        const std::optional<MixerLine> line = m_mixer.captureSource(s);
        const std::optional<MixerVolume> volume = line ? m_mixer.volume(s) : std::nullopt;
        if (!volume)
            continue;
        std::vector<std::uint32_t> values(volume->uniform ? 1 : static_cast<size_t>(std::max(line->channels, 1)));
        const std::uint32_t level = m_mixer.readVolume(s, values) ? values.front() : volume->minimum;
        sources.append(RecordSource{line->name, volume->minimum, volume->maximum, level, s});
    }
    return true;
}

// Must be called with the mixer open.
bool RecordMixer::readSelector(Selector &selector)
{
    const std::optional<MixerLine> destination = m_mixer.captureDestination();
    if (!destination)
        return false;
    const std::optional<MixerSelector> control = m_mixer.captureSelector();
    if (!control)
        return false;
    selector.control = *control;
    selector.channels = control->uniform ? 1 : std::max(destination->channels, 1);
    selector.values.assign(static_cast<size_t>(control->items.size() * selector.channels), 0);
    return m_mixer.readSelector(selector.values);
}

int RecordMixer::currentSource()
{
    QList<RecordSource> sources;
    listSources(sources);
    OpenMixer open(m_mixer);
    Selector selector;
    if (!open || !readSelector(selector))
        return 0;
    int checked = -1;
    for (int item = 0; item < selector.control.items.size(); ++item)
        if (selector.values[static_cast<size_t>(item * selector.channels)] != 0)
            checked = item;
    if (checked < 0)
        return 0;
    int row = checked;
    for (int i = 0; i < sources.size(); ++i) {
        if (sources[i].name == selector.control.items[checked]) {
            row = i;
            break;
        }
    }
    return row >= 0 && row < kMaxRows ? row : 0;
}

void RecordMixer::selectSource(int row)
{
    QList<RecordSource> sources;
    listSources(sources);
    OpenMixer open(m_mixer);
    Selector selector;
    if (!open || !readSelector(selector))
        return;
    const QStringList &items = selector.control.items;
    int target = row;
    if (row >= 0 && row < sources.size()) {
        const qsizetype named = items.indexOf(sources[row].name);
        if (named >= 0)
            target = static_cast<int>(named);
    }
    // A row with no item of its own would leave a single-select control with nothing chosen.
    if (target < 0 || target >= items.size())
        return;
    const auto first = [&](int item) { return static_cast<size_t>(item * selector.channels); };
    const auto last = [&](int item) { return first(item) + static_cast<size_t>(selector.channels - 1); };
    for (int item = 0; item < items.size(); ++item) {
        if (item == target) {
            selector.values[first(item)] = 1;
            selector.values[last(item)] = 1;
        } else if (selector.control.isSingleSelect()) {
            selector.values[first(item)] = 0;
            selector.values[last(item)] = 0;
        }
    }
    m_mixer.writeSelector(selector.values);
}

// Puts `level` into the first and last channel of the line's volume control. Mixer open.
void RecordMixer::writeLevel(int line, std::uint32_t level)
{
    const std::optional<MixerVolume> volume = m_mixer.volume(line);
    if (!volume)
        return;
    const std::optional<MixerLine> info = line == Mixer::kOutputLine ? m_mixer.outputLine() : m_mixer.captureSource(line);
    const int channels = volume->uniform || !info ? 1 : std::max(info->channels, 1);
    std::vector<std::uint32_t> values(static_cast<size_t>(channels));
    if (!m_mixer.readVolume(line, values))
        return;
    values.front() = level;
    values.back() = level;
    m_mixer.writeVolume(line, values);
}

void RecordMixer::setSourceLevel(int row, std::uint32_t level)
{
    QList<RecordSource> sources;
    if (!listSources(sources) || row < 0 || row >= sources.size())
        return;
    OpenMixer open(m_mixer);
    if (open && m_mixer.captureDestination())
        writeLevel(sources[row].sourceLine, level);
}

OutputLine RecordMixer::outputLine()
{
    OpenMixer open(m_mixer);
    if (!open)
        return {};
    const std::optional<MixerLine> line = m_mixer.outputLine();
    const std::optional<MixerVolume> volume = line ? m_mixer.volume(Mixer::kOutputLine) : std::nullopt;
    if (!volume)
        return {};
    std::vector<std::uint32_t> values(volume->uniform ? 1 : static_cast<size_t>(std::max(line->channels, 1)));
    OutputLine output{volume->minimum, volume->maximum, volume->minimum};
    if (m_mixer.readVolume(Mixer::kOutputLine, values))
        output.level = values.front();
    return output;
}

void RecordMixer::setOutputLevel(std::uint32_t level)
{
    OpenMixer open(m_mixer);
    if (open && m_mixer.outputLine())
        writeLevel(Mixer::kOutputLine, level);
}

} // namespace sonavell
