#include "core/record/recordsourcepanel.h"
#include "core/settings/recordersettings.h"
#include "platform/audiobackend.h"
#include "platform/pulseaudioinput.h"
#include "platform/pulseaudiooutput.h"
#include "platform/pulsecontext.h"
#include "platform/pulsemixer.h"

#include "pulsedaemon.h"
#include "testsupport.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace sonavell {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr std::uint32_t kFrameBytes = 4;

// Keeps every delivered buffer in order and queues it again, as the capture engine does.
class CaptureClient : public AudioInputClient
{
public:
    explicit CaptureClient(AudioInput &input) : m_input(input) {}

    void onAudioInput(Event event, AudioInputBuffer *buffer) override
    {
        std::lock_guard lock(m_mutex);
        if (event == Event::DeviceLost) {
            m_lost = true;
        } else if (m_requeue && buffer->bytesRecorded > 0) {
            m_captured.append(reinterpret_cast<const char *>(buffer->data), buffer->bytesRecorded);
            m_requeueFailed |= !m_input.queue(*buffer);
        }
        m_changed.notify_all();
    }

    // The server runs on its own clock; the generous limit only keeps a broken run from hanging.
    bool waitForBytes(qsizetype bytes)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 60s, [&] { return m_captured.size() >= bytes || m_lost; })
               && m_captured.size() >= bytes;
    }
    bool waitForLoss()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 60s, [&] { return m_lost; });
    }
    void stopRequeueing()
    {
        std::lock_guard lock(m_mutex);
        m_requeue = false;
    }
    QByteArray captured()
    {
        std::lock_guard lock(m_mutex);
        return m_captured;
    }
    qsizetype size()
    {
        std::lock_guard lock(m_mutex);
        return m_captured.size();
    }
    bool requeueFailed()
    {
        std::lock_guard lock(m_mutex);
        return m_requeueFailed;
    }

private:
    AudioInput &m_input;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QByteArray m_captured;
    bool m_requeue = true;
    bool m_lost = false;
    bool m_requeueFailed = false;
};

struct Ring
{
    explicit Ring(std::uint32_t bytes, int count = 5)
        : memory(static_cast<size_t>(count), std::vector<std::uint8_t>(bytes))
    {
        for (auto &block : memory)
            buffers.push_back(AudioInputBuffer{block.data(), bytes, 0, false, false});
    }
    bool queueAll(AudioInput &input)
    {
        for (AudioInputBuffer &buffer : buffers)
            if (!input.prepare(buffer) || !input.queue(buffer))
                return false;
        return true;
    }
    std::vector<std::vector<std::uint8_t>> memory;
    std::vector<AudioInputBuffer> buffers;
};

WaveFormat stereo()
{
    WaveFormat format;
    format.channels = kChannels;
    format.samplesPerSec = kRate;
    return format.normalizedPcm();
}

// A tone in captured 16-bit PCM: where samples first and last rise above the threshold, the
// peak, and how many seconds of a sine of `amplitude` the energy amounts to (which a gap from a
// busy player's underrun leaves alone).
struct ToneSpan
{
    qsizetype firstFrame = -1;
    qsizetype lastFrame = -1;
    int peak = 0;
    double energy = 0;
    double seconds() const { return firstFrame < 0 ? 0.0 : double(lastFrame - firstFrame + 1) / kRate; }
    double sineSeconds(int amplitude) const { return energy / (amplitude * double(amplitude) / 2) / kChannels / kRate; }
};

ToneSpan findTone(const QByteArray &pcm, int threshold)
{
    ToneSpan span;
    const qsizetype samples = pcm.size() / 2;
    for (qsizetype i = 0; i < samples; ++i) {
        std::int16_t sample = 0;
        std::memcpy(&sample, pcm.constData() + i * 2, 2);
        const int level = std::abs(int(sample));
        span.energy += double(sample) * sample;
        if (level <= threshold)
            continue;
        const qsizetype frame = i / kChannels;
        if (span.firstFrame < 0)
            span.firstFrame = frame;
        span.lastFrame = frame;
        span.peak = std::max(span.peak, level);
    }
    return span;
}

class PulseTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(daemon.start(&error)) << error.toStdString();
        context = PulseContext::connect(daemon.server(), &error);
        ASSERT_TRUE(context) << error.toStdString();
    }

    QString defaultSource() const
    {
        QString out;
        daemon.pactl({QStringLiteral("get-default-source")}, &out);
        return out.trimmed();
    }

    int rowNamed(RecordSourcePanel &panel, const QString &caption)
    {
        for (int i = 0; i < panel.count(); ++i)
            if (panel.row(i).caption == caption)
                return i;
        return -1;
    }

    // paplay of raw PCM into the test sink; true when it played to the end.
    bool play(const QByteArray &pcm)
    {
        const QString raw = folder.file(QStringLiteral("tone.raw"));
        if (!test::writeAll(raw, pcm))
            return false;
        QProcess paplay;
        paplay.start(QStringLiteral("paplay"),
                     {QStringLiteral("--server=%1").arg(daemon.server()),
                      QStringLiteral("--device=%1").arg(QString::fromLatin1(test::PulseDaemon::kSinkName)),
                      QStringLiteral("--raw"), QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                      QStringLiteral("--channels=%1").arg(kChannels), raw});
        return paplay.waitForFinished(60000) && paplay.exitStatus() == QProcess::NormalExit && paplay.exitCode() == 0;
    }

    test::PulseDaemon daemon;
    test::TempFolder folder;
    std::shared_ptr<PulseContext> context;
};

const QString kMonitorCaption = QStringLiteral("Monitor of %1").arg(QString::fromLatin1(test::PulseDaemon::kSinkDescription));

TEST_F(PulseTest, RowsListThePipeSourceThenTheSinkMonitorWithTheServersDefaultChosen)
{
    PulseMixer mixer(context);
    RecordSourcePanel panel(mixer);
    panel.create();
    panel.initialise();

    ASSERT_EQ(panel.count(), 2);
    EXPECT_EQ(panel.row(0).caption, QString::fromLatin1(test::PulseDaemon::kPipeDescription));
    EXPECT_EQ(panel.row(1).caption, kMonitorCaption);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(panel.row(i).minimum, 0u);
        EXPECT_EQ(panel.row(i).maximum, 65536u);
    }
    const QList<PulseSource> sources = context->sources();
    ASSERT_EQ(sources.size(), 2);
    EXPECT_EQ(sources[panel.chosen()].name, defaultSource());
}

TEST_F(PulseTest, ChosenRowsSliderSetsTheSourceVolumeSeenByPactlAndLeavesTheDefaultAlone)
{
    const QString defaultBefore = defaultSource();
    PulseMixer mixer(context);
    RecordSourcePanel panel(mixer);
    panel.create();
    panel.initialise();
    const int monitor = rowNamed(panel, kMonitorCaption);
    ASSERT_GE(monitor, 0);

    panel.radioClicked(monitor);
    panel.sliderMoved(monitor, 32768);

    QString volume;
    ASSERT_EQ(daemon.pactl({QStringLiteral("get-source-volume"),
                            QString::fromLatin1(test::PulseDaemon::kSinkName) + QStringLiteral(".monitor")},
                           &volume),
              0);
    EXPECT_TRUE(volume.contains(QRegularExpression(QStringLiteral("front-left: 32768 .*front-right: 32768 "))))
        << volume.toStdString();
    EXPECT_EQ(context->recordingSource(), QString::fromLatin1(test::PulseDaemon::kSinkName) + QStringLiteral(".monitor"));
    EXPECT_EQ(defaultSource(), defaultBefore);
    // A fresh listing shows the level the server now has.
    panel.load();
    EXPECT_EQ(panel.row(monitor).position, 32768u);
    EXPECT_EQ(panel.chosen(), monitor);
}

TEST_F(PulseTest, ToneIntoTheSinkIsRecordedFromTheMonitorRowAtItsLevelAndLength)
{
    PulseAudioInput input(context);
    const QList<PulseSource> sources = context->sources();
    ASSERT_EQ(sources.size(), 2);
    ASSERT_TRUE(input.chooseDevice(1));
    ASSERT_EQ(input.chosenDevice(), 1);

    CaptureClient client(input);
    ASSERT_TRUE(input.open(input.chosenDevice(), stereo(), &client)) << input.errorText().toStdString();
    Ring ring(4608);
    ASSERT_TRUE(ring.queueAll(input));
    ASSERT_TRUE(input.start()) << input.errorText().toStdString();
    EXPECT_EQ(context->recordingSource(), sources[1].name);

    constexpr int kAmplitude = 16000;
    // The sink drops the first moments a new player sends to an idle sink (about one fragment
    // of the monitor's latency; parec sees the same), so the tone follows a lead-in of silence.
    ASSERT_TRUE(play(test::constantPcm(kRate, kChannels, 0.3, 0) + test::sinePcm(kRate, kChannels, 1.0, 441, kAmplitude)));
    // What the monitor still holds of the tone arrives within the next few fragments.
    ASSERT_TRUE(client.waitForBytes(client.size() + kRate * kFrameBytes / 2));
    client.stopRequeueing();
    ASSERT_TRUE(input.reset());
    EXPECT_TRUE(input.close());
    EXPECT_FALSE(client.requeueFailed());

    const ToneSpan tone = findTone(client.captured(), kAmplitude / 4);
    ASSERT_GE(tone.firstFrame, 0) << "no tone was recorded";
    EXPECT_NEAR(tone.sineSeconds(kAmplitude), 1.0, 0.01);
    EXPECT_GE(tone.seconds(), 0.99);
    EXPECT_NEAR(tone.peak, kAmplitude, kAmplitude / 100);
    EXPECT_EQ(input.overrunCount(), 0u);
}

// Counts the output's handed-back buffers.
class PlayedCounter : public AudioOutputClient
{
public:
    void onAudioOutput(Event event, AudioOutputBuffer *) override
    {
        std::lock_guard lock(m_mutex);
        m_done += event == Event::BufferDone ? 1 : 0;
        m_changed.notify_all();
    }
    bool waitFor(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 60s, [&] { return m_done >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_done = 0;
};

TEST_F(PulseTest, OutputPlaysIntoTheDefaultSinkAtItsLevelAndReportsThePosition)
{
    PulseAudioInput input(context);
    ASSERT_TRUE(input.chooseDevice(1));
    CaptureClient capture(input);
    ASSERT_TRUE(input.open(input.chosenDevice(), stereo(), &capture)) << input.errorText().toStdString();
    Ring ring(4608);
    ASSERT_TRUE(ring.queueAll(input));
    ASSERT_TRUE(input.start()) << input.errorText().toStdString();

    constexpr int kAmplitude = 12000;
    // A lead-in of silence, as for paplay: an idle sink drops the first moments of a new stream.
    const QByteArray pcm = test::constantPcm(kRate, kChannels, 0.3, 0) + test::sinePcm(kRate, kChannels, 1.0, 441, kAmplitude);
    constexpr int kParts = 13;
    std::vector<QByteArray> parts;
    std::vector<AudioOutputBuffer> buffers;
    const qsizetype partSize = pcm.size() / kParts / kFrameBytes * kFrameBytes;
    for (int i = 0; i < kParts; ++i)
        parts.push_back(pcm.mid(i * partSize, i + 1 < kParts ? partSize : -1));
    for (const QByteArray &part : parts)
        buffers.push_back(AudioOutputBuffer{reinterpret_cast<const std::uint8_t *>(part.constData()),
                                            static_cast<std::uint32_t>(part.size()), false, false});
    PulseAudioOutput output(context);
    PlayedCounter played;
    ASSERT_TRUE(output.open(stereo(), &played)) << output.errorText().toStdString();
    for (AudioOutputBuffer &buffer : buffers)
        ASSERT_TRUE(output.prepare(buffer) && output.write(buffer));
    ASSERT_TRUE(played.waitFor(kParts));
    // Half a second more at the monitor: by then the sink has played the last of it.
    ASSERT_TRUE(capture.waitForBytes(capture.size() + kRate * kFrameBytes / 2));
    EXPECT_NEAR(double(output.positionBytes()), double(pcm.size()), kRate * kFrameBytes * 0.05);
    EXPECT_TRUE(output.reset());
    EXPECT_EQ(output.positionBytes(), 0u);
    EXPECT_TRUE(output.close());
    capture.stopRequeueing();
    ASSERT_TRUE(input.reset());
    EXPECT_TRUE(input.close());

    const ToneSpan tone = findTone(capture.captured(), kAmplitude / 4);
    ASSERT_GE(tone.firstFrame, 0) << "nothing was played";
    EXPECT_NEAR(tone.sineSeconds(kAmplitude), 1.0, 0.01);
    EXPECT_NEAR(tone.peak, kAmplitude, kAmplitude / 100);
}

TEST_F(PulseTest, SourceRemovedMidRecordingEndsWithWhatWasCaptured)
{
    PulseAudioInput input(context);
    ASSERT_TRUE(input.chooseDevice(1)); // the monitor of the null sink, which runs on its own clock
    CaptureClient client(input);
    ASSERT_TRUE(input.open(input.chosenDevice(), stereo(), &client)) << input.errorText().toStdString();
    Ring ring(4608);
    ASSERT_TRUE(ring.queueAll(input));
    ASSERT_TRUE(input.start()) << input.errorText().toStdString();
    const qsizetype fifthOfASecond = kRate * kFrameBytes / 5;
    ASSERT_TRUE(client.waitForBytes(fifthOfASecond));

    ASSERT_EQ(daemon.pactl({QStringLiteral("unload-module"), QStringLiteral("module-null-sink")}), 0);
    ASSERT_TRUE(client.waitForLoss());
    EXPECT_TRUE(input.isDeviceLost());
    EXPECT_GE(client.size(), fifthOfASecond);
    EXPECT_FALSE(input.errorText().isEmpty());
    EXPECT_TRUE(input.reset());
    EXPECT_TRUE(input.close());
    EXPECT_EQ(context->sources().size(), 1);
}

TEST_F(PulseTest, SourceThatAppearsIsToldAndListed)
{
    PulseMixer mixer(context);
    std::mutex mutex;
    std::condition_variable changed;
    int calls = 0;
    mixer.setLinesChanged([&] {
        std::lock_guard lock(mutex);
        ++calls;
        changed.notify_all();
    });
    ASSERT_EQ(daemon.pactl({QStringLiteral("load-module"), QStringLiteral("module-null-source"),
                            QStringLiteral("source_name=plugged"), QStringLiteral("description=Headset")}),
              0);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 60s, [&] { return calls > 0; }));
    }
    mixer.setLinesChanged({});

    RecordSourcePanel panel(mixer);
    panel.initialise();
    ASSERT_EQ(panel.count(), 3);
    // Inputs first, in the server's order, then the monitor.
    EXPECT_EQ(panel.row(1).caption, QStringLiteral("Headset"));
    EXPECT_EQ(panel.row(2).caption, kMonitorCaption);
}

TEST_F(PulseTest, BeyondEightSourcesTheChosenOneIsTheFirstRow)
{
    for (int i = 0; i < 7; ++i)
        ASSERT_EQ(daemon.pactl({QStringLiteral("load-module"), QStringLiteral("module-null-source"),
                                QStringLiteral("source_name=extra%1").arg(i), QStringLiteral("description=Extra%1").arg(i)}),
                  0);
    // Eight inputs before the monitor: the monitor would be the ninth row.
    ASSERT_EQ(context->sources().size(), 9);
    ASSERT_TRUE(context->chooseSource(QString::fromLatin1(test::PulseDaemon::kSinkName) + QStringLiteral(".monitor")));

    PulseMixer mixer(context);
    RecordSourcePanel panel(mixer);
    panel.create();
    panel.initialise();
    ASSERT_EQ(panel.count(), RecordSourcePanel::kRows);
    EXPECT_EQ(panel.row(0).caption, kMonitorCaption);
    EXPECT_EQ(panel.row(1).caption, QString::fromLatin1(test::PulseDaemon::kPipeDescription));
    EXPECT_EQ(panel.chosen(), 0);
}

TEST_F(PulseTest, ChosenSourceIsRememberedInItsValueFileForTheNextStart)
{
    overrideDataFolder(folder.path());
    const QString monitor = QString::fromLatin1(test::PulseDaemon::kSinkName) + QStringLiteral(".monitor");
    {
        const AudioBackend first = soundServerBackend(context);
        rememberRecordSource(first);
        PulseMixer &mixer = static_cast<PulseMixer &>(*first.mixer);
        RecordSourcePanel panel(mixer);
        panel.create();
        panel.initialise();
        panel.radioClicked(rowNamed(panel, kMonitorCaption));
    }
    QByteArray expected;
    expected.append(char(monitor.size())).append(3, '\0').append(monitor.toUtf8());
    EXPECT_EQ(test::readAll(folder.file(QStringLiteral("Record Source.dat"))), expected);

    QString error;
    std::shared_ptr<PulseContext> again = PulseContext::connect(daemon.server(), &error);
    ASSERT_TRUE(again) << error.toStdString();
    rememberRecordSource(soundServerBackend(again));
    EXPECT_EQ(again->recordingSource(), monitor);
    overrideDataFolder({});
}

TEST(PulseContextTest, NoServerAnsweringGivesNoContext)
{
    test::TempFolder folder;
    QString error;
    EXPECT_FALSE(PulseContext::connect(QStringLiteral("unix:") + folder.file(QStringLiteral("none")), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace sonavell
