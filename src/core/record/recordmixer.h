#pragma once

#include "core/audio/mixer.h"

#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

namespace sonavell {

// The mixer device every record-source operation opens: 1 at start-up, set by the record setup
// dialog to the chosen record device's position in its list plus 1. Not kept in the settings.
extern std::atomic<std::int32_t> mixerDevice;

// One input that can feed the recording line and has a volume control.
struct RecordSource
{
    QString name;
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    std::uint32_t level = 0; // the volume control's first channel
    int sourceLine = 0;      // the mixer source it was listed from; inputs without volume are skipped
};

// The output (speakers) line's volume control.
struct OutputLine
{
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    std::uint32_t level = 0;
};

// The recorder's access to the sound card's mixer. Each operation opens mixer device
// `mixerDevice`, works and closes it again; nothing is cached between calls.
// The mixer is not owned and must outlive this object. User-interface thread only.
class RecordMixer
{
public:
    static constexpr int kMaxRows = 8;

    explicit RecordMixer(Mixer &mixer) : m_mixer(mixer) {}

    // False when there is no mixer or it has no recording line.
    bool listSources(QList<RecordSource> &sources);
    // The row (0..7) of the input the recording line takes its sound from; 0 when unknown.
    int currentSource();
    void selectSource(int row);
    void setSourceLevel(int row, std::uint32_t level);
    OutputLine outputLine();
    void setOutputLevel(std::uint32_t level);
    // See Mixer::setLinesChanged.
    void setLinesChanged(std::function<void()> callback) { m_mixer.setLinesChanged(std::move(callback)); }

private:
    struct Selector;
    bool readSelector(Selector &selector);
    void writeLevel(int line, std::uint32_t level);

    Mixer &m_mixer;
};

} // namespace sonavell
