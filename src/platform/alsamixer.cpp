#include "platform/alsamixer.h"

#include "platform/alsasupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace sonavell {
namespace {

// An element's volume range; levels are unsigned here, so a range below zero is shifted up by
// its minimum.
struct ElementRange
{
    long minimum = 0;
    long maximum = 0;
    long shift = 0;
};

ElementRange elementRange(snd_mixer_elem_t *elem, bool capture)
{
    ElementRange range;
    capture ? snd_mixer_selem_get_capture_volume_range(elem, &range.minimum, &range.maximum)
            : snd_mixer_selem_get_playback_volume_range(elem, &range.minimum, &range.maximum);
    range.shift = range.minimum < 0 ? -range.minimum : 0;
    return range;
}

constexpr snd_mixer_selem_channel_id_t kFirstChannel = SND_MIXER_SCHN_FRONT_LEFT;

// The element's channels of one direction, in ALSA's channel order.
std::vector<snd_mixer_selem_channel_id_t> channelsOf(snd_mixer_elem_t *elem, bool capture)
{
    std::vector<snd_mixer_selem_channel_id_t> channels;
    for (int c = kFirstChannel; c <= SND_MIXER_SCHN_LAST; ++c) {
        const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
        if (capture ? snd_mixer_selem_has_capture_channel(elem, channel)
                    : snd_mixer_selem_has_playback_channel(elem, channel))
            channels.push_back(channel);
    }
    if (channels.empty())
        channels.push_back(kFirstChannel);
    return channels;
}

} // namespace

struct AlsaMixer::State
{
    alsa::MixerHandle mixer;
    std::vector<snd_mixer_elem_t *> sources;
    snd_mixer_elem_t *enumSelector = nullptr;
    std::vector<snd_mixer_elem_t *> switchSelector; // exclusive capture switches, one per item
    snd_mixer_elem_t *output = nullptr;

    snd_mixer_elem_t *line(int index) const
    {
        if (index == kOutputLine)
            return output;
        return index >= 0 && static_cast<size_t>(index) < sources.size() ? sources[static_cast<size_t>(index)] : nullptr;
    }
};

AlsaMixer::AlsaMixer()
{
    alsa::silenceLibraryMessages();
}

AlsaMixer::AlsaMixer(const QString &ctlName) : m_fixedName(ctlName)
{
    alsa::silenceLibraryMessages();
}

AlsaMixer::~AlsaMixer() = default;

bool AlsaMixer::open(int device)
{
    if (m_state)
        return false;
    QString name = m_fixedName;
    if (name.isEmpty()) {
        name = QStringLiteral("default");
        if (device >= 2) {
            const QList<alsa::CaptureDevice> devices = alsa::captureDevices();
            if (device - 1 >= devices.size()) {
                m_error = QStringLiteral("There is no mixer device %1").arg(device);
                return false;
            }
            name = devices[device - 1].ctlName;
        }
    }
    snd_mixer_t *raw = nullptr;
    int error = snd_mixer_open(&raw, 0);
    if (error < 0) {
        m_error = alsa::errorString(error);
        return false;
    }
    auto state = std::make_unique<State>();
    state->mixer.reset(raw);
    const QByteArray ctl = name.toUtf8();
    if ((error = snd_mixer_attach(raw, ctl.constData())) < 0 || (error = snd_mixer_selem_register(raw, nullptr, nullptr)) < 0
        || (error = snd_mixer_load(raw)) < 0) {
        m_error = QStringLiteral("Cannot open mixer \"%1\": %2").arg(name, alsa::errorString(error));
        return false;
    }

    int switchGroup = -1;
    for (snd_mixer_elem_t *elem = snd_mixer_first_elem(raw); elem; elem = snd_mixer_elem_next(elem)) {
        if (!snd_mixer_selem_is_active(elem))
            continue;
        if (snd_mixer_selem_is_enumerated(elem) && snd_mixer_selem_is_enum_capture(elem)) {
            if (!state->enumSelector)
                state->enumSelector = elem;
            continue;
        }
        if (snd_mixer_selem_has_capture_volume(elem) || snd_mixer_selem_has_capture_switch(elem))
            state->sources.push_back(elem);
        if (snd_mixer_selem_has_capture_switch_exclusive(elem)) {
            const int group = snd_mixer_selem_get_capture_group(elem);
            if (switchGroup < 0)
                switchGroup = group;
            if (group == switchGroup)
                state->switchSelector.push_back(elem);
        }
        if (snd_mixer_selem_has_playback_volume(elem)) {
            const bool master = std::strcmp(snd_mixer_selem_get_name(elem), "Master") == 0;
            if (!state->output || master)
                state->output = elem;
        }
    }
    m_state = std::move(state);
    return true;
}

void AlsaMixer::close()
{
    m_state.reset();
}

std::optional<MixerLine> AlsaMixer::captureDestination()
{
    if (!m_state || (m_state->sources.empty() && !m_state->enumSelector))
        return std::nullopt;
    int channels = 1;
    for (snd_mixer_elem_t *elem : m_state->sources)
        channels = std::max(channels, static_cast<int>(channelsOf(elem, true).size()));
    return MixerLine{QStringLiteral("Capture"), channels};
}

int AlsaMixer::captureSourceCount()
{
    return m_state ? static_cast<int>(m_state->sources.size()) : 0;
}

std::optional<MixerLine> AlsaMixer::captureSource(int source)
{
    snd_mixer_elem_t *elem = m_state && source >= 0 ? m_state->line(source) : nullptr;
    if (!elem)
        return std::nullopt;
    return MixerLine{QString::fromUtf8(snd_mixer_selem_get_name(elem)), static_cast<int>(channelsOf(elem, true).size())};
}

std::optional<MixerLine> AlsaMixer::outputLine()
{
    if (!m_state || !m_state->output)
        return std::nullopt;
    return MixerLine{QString::fromUtf8(snd_mixer_selem_get_name(m_state->output)),
                     static_cast<int>(channelsOf(m_state->output, false).size())};
}

std::optional<MixerVolume> AlsaMixer::volume(int line)
{
    snd_mixer_elem_t *elem = m_state ? m_state->line(line) : nullptr;
    if (!elem)
        return std::nullopt;
    const bool capture = line != kOutputLine;
    long minimum = 0;
    long maximum = 0;
    bool uniform = false;
    if (capture) {
        if (!snd_mixer_selem_has_capture_volume(elem))
            return std::nullopt;
        snd_mixer_selem_get_capture_volume_range(elem, &minimum, &maximum);
        uniform = snd_mixer_selem_has_capture_volume_joined(elem) || snd_mixer_selem_is_capture_mono(elem);
    } else {
        if (!snd_mixer_selem_has_playback_volume(elem))
            return std::nullopt;
        snd_mixer_selem_get_playback_volume_range(elem, &minimum, &maximum);
        uniform = snd_mixer_selem_has_playback_volume_joined(elem) || snd_mixer_selem_is_playback_mono(elem);
    }
    // Levels are unsigned here; a range below zero is shifted up by its minimum.
    const long shift = minimum < 0 ? -minimum : 0;
    return MixerVolume{static_cast<std::uint32_t>(minimum + shift), static_cast<std::uint32_t>(maximum + shift), uniform};
}

bool AlsaMixer::readVolume(int line, std::span<std::uint32_t> values)
{
    snd_mixer_elem_t *elem = m_state ? m_state->line(line) : nullptr;
    if (!elem || !volume(line) || values.empty())
        return false;
    const bool capture = line != kOutputLine;
    const ElementRange range = elementRange(elem, capture);
    const auto channels = channelsOf(elem, capture);
    for (size_t i = 0; i < values.size(); ++i) {
        long value = 0;
        const auto channel = channels[std::min(i, channels.size() - 1)];
        const int error = capture ? snd_mixer_selem_get_capture_volume(elem, channel, &value)
                                  : snd_mixer_selem_get_playback_volume(elem, channel, &value);
        if (error < 0)
            return false;
        values[i] = static_cast<std::uint32_t>(value + range.shift);
    }
    return true;
}

bool AlsaMixer::writeVolume(int line, std::span<const std::uint32_t> values)
{
    snd_mixer_elem_t *elem = m_state ? m_state->line(line) : nullptr;
    if (!elem || !volume(line) || values.empty())
        return false;
    const bool capture = line != kOutputLine;
    const ElementRange range = elementRange(elem, capture);
    auto level = [&range](std::uint32_t value) {
        return std::clamp(static_cast<long>(value) - range.shift, range.minimum, range.maximum);
    };
    if (values.size() == 1) {
        return (capture ? snd_mixer_selem_set_capture_volume_all(elem, level(values[0]))
                        : snd_mixer_selem_set_playback_volume_all(elem, level(values[0]))) >= 0;
    }
    const auto channels = channelsOf(elem, capture);
    for (size_t i = 0; i < values.size() && i < channels.size(); ++i) {
        const int error = capture ? snd_mixer_selem_set_capture_volume(elem, channels[i], level(values[i]))
                                  : snd_mixer_selem_set_playback_volume(elem, channels[i], level(values[i]));
        if (error < 0)
            return false;
    }
    return true;
}

std::optional<MixerSelector> AlsaMixer::captureSelector()
{
    if (!m_state)
        return std::nullopt;
    if (snd_mixer_elem_t *elem = m_state->enumSelector) {
        QStringList items;
        const int count = snd_mixer_selem_get_enum_items(elem);
        for (int i = 0; i < count; ++i) {
            char name[64] = {};
            snd_mixer_selem_get_enum_item_name(elem, static_cast<unsigned>(i), sizeof name - 1, name);
            items.append(QString::fromUtf8(name));
        }
        return MixerSelector{MixerSelector::Kind::Multiplexer, true, items};
    }
    if (m_state->switchSelector.empty())
        return std::nullopt;
    QStringList items;
    for (snd_mixer_elem_t *elem : m_state->switchSelector)
        items.append(QString::fromUtf8(snd_mixer_selem_get_name(elem)));
    return MixerSelector{MixerSelector::Kind::Multiplexer, true, items};
}

bool AlsaMixer::readSelector(std::span<std::uint32_t> values)
{
    if (!m_state)
        return false;
    if (snd_mixer_elem_t *elem = m_state->enumSelector) {
        unsigned item = 0;
        if (snd_mixer_selem_get_enum_item(elem, kFirstChannel, &item) < 0)
            return false;
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = i == item ? 1 : 0;
        return true;
    }
    if (values.size() != m_state->switchSelector.size())
        return false;
    for (size_t i = 0; i < values.size(); ++i) {
        int on = 0;
        snd_mixer_selem_get_capture_switch(m_state->switchSelector[i], kFirstChannel, &on);
        values[i] = on ? 1 : 0;
    }
    return true;
}

bool AlsaMixer::writeSelector(std::span<const std::uint32_t> values)
{
    if (!m_state)
        return false;
    if (snd_mixer_elem_t *elem = m_state->enumSelector) {
        for (size_t i = 0; i < values.size(); ++i) {
            if (values[i] != 0) {
                for (int c = kFirstChannel; c <= SND_MIXER_SCHN_LAST; ++c)
                    snd_mixer_selem_set_enum_item(elem, static_cast<snd_mixer_selem_channel_id_t>(c), static_cast<unsigned>(i));
                return true;
            }
        }
        return false;
    }
    if (values.size() != m_state->switchSelector.size())
        return false;
    // Switches off first: turning one on may turn the others off by itself.
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i] == 0)
            snd_mixer_selem_set_capture_switch_all(m_state->switchSelector[i], 0);
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i] != 0)
            snd_mixer_selem_set_capture_switch_all(m_state->switchSelector[i], 1);
    return true;
}

} // namespace sonavell
