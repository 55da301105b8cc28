#pragma once

#include "core/audio/mixer.h"

#include <QList>

#include <optional>
#include <vector>

namespace sonavell {

// An in-memory mixer for tests and for running without a sound card. Every line, control and
// value is scripted; writes are counted so a test can tell that nothing was written.
class FakeMixer : public Mixer
{
public:
    struct Line
    {
        QString name;
        int channels = 1;
        std::optional<MixerVolume> volume;   // none: the line has no volume control
        std::vector<std::uint32_t> values;   // one per channel, or one when uniform
        int writes = 0;
    };

    // Scripting.
    // A source with a volume control of minimum..maximum at `level` on every channel.
    void addSource(const QString &name, std::uint32_t minimum = 0, std::uint32_t maximum = 65535,
                   std::uint32_t level = 0, int channels = 2, bool uniform = true);
    void addSourceWithoutVolume(const QString &name, int channels = 2);
    // A list control with these items; `checked` is the item whose value is 1 (-1: none).
    void setSelector(MixerSelector::Kind kind, const QStringList &items, int checked, bool uniform = true);
    void setOutput(std::uint32_t minimum, std::uint32_t maximum, std::uint32_t level, int channels = 2,
                   bool uniform = false);
    void setCaptureDestination(bool present, int channels = 2);
    void setOpenFails(bool fails) { m_openFails = fails; }

    // Observation.
    Line &source(int index) { return m_sources[index]; }
    Line &output() { return m_output; }
    std::vector<std::uint32_t> &selectorValues() { return m_selectorValues; }
    int selectorWrites() const { return m_selectorWrites; }
    int totalWrites() const;
    int openCount() const { return m_openCount; }
    bool isOpen() const { return m_open; }
    int openedDevice() const { return m_device; }
    // The item whose first value is nonzero, last one winning; -1 with none.
    int checkedItem() const;

    bool open(int device) override;
    void close() override;
    std::optional<MixerLine> captureDestination() override;
    int captureSourceCount() override;
    std::optional<MixerLine> captureSource(int source) override;
    std::optional<MixerLine> outputLine() override;
    std::optional<MixerVolume> volume(int line) override;
    bool readVolume(int line, std::span<std::uint32_t> values) override;
    bool writeVolume(int line, std::span<const std::uint32_t> values) override;
    std::optional<MixerSelector> captureSelector() override;
    bool readSelector(std::span<std::uint32_t> values) override;
    bool writeSelector(std::span<const std::uint32_t> values) override;

private:
    Line *line(int line);
    int selectorChannels() const;

    QList<Line> m_sources;
    Line m_output{QStringLiteral("Master"), 2, std::nullopt, {}, 0};
    bool m_hasOutput = false;
    bool m_hasDestination = true;
    int m_destinationChannels = 2;
    std::optional<MixerSelector> m_selector;
    std::vector<std::uint32_t> m_selectorValues;
    int m_selectorWrites = 0;
    bool m_openFails = false;
    bool m_open = false;
    int m_openCount = 0;
    int m_device = -1;
};

} // namespace sonavell
