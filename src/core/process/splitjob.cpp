#include "core/process/splitjob.h"

#include "core/encode/mp3encoder.h"
#include "core/mp3/framewalker.h"
#include "core/mp3/medialength.h"
#include "core/process/decodecontext.h"
#include "core/process/replacementfile.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sonavell {

namespace {

QString baseName(const QString &input)
{
    const qsizetype slash = input.lastIndexOf(QLatin1Char('/'));
    QString name = input.mid(slash + 1).toLower();
    if (name.endsWith(QLatin1String(".mp3")))
        name.chop(4);
    return input.left(slash + 1) + name;
}

QString partPathOf(const QString &base, int part)
{
    return base + QStringLiteral("_%1.mp3").arg(part);
}

// Writes the parts of one input in turn. Each part goes to a file beside its final name that
// takes that name when the part is closed, so a part that fails does not replace an existing
// file of that name with a broken one.
class PartWriter
{
public:
    PartWriter(ProgressSink &sink, DecodeContext &context, const QString &base)
        : m_sink(sink), m_context(context), m_base(base)
    {
    }

    int index() const { return m_index; }

    bool open(int index)
    {
        m_index = index;
        m_file = std::make_unique<ReplacementFile>(partPathOf(m_base, index));
        if (!m_file->isValid()) {
            m_file.reset();
            m_sink.showError(Mp3Encoder::errorText(Mp3Encoder::Error::FileNotCreated));
            return false;
        }
        m_context.setOutputPath(m_file->path());
        m_context.setOutputDescriptor(m_file->descriptor());
        return true;
    }

    // Finishes the part's encoder and gives the file its name; a part cut short by cancel keeps
    // the frames it has.
    bool close()
    {
        if (!m_file)
            return true;
        bool closed = m_context.finishEncoder();
        if (!closed)
            m_sink.showError(Mp3Encoder::errorText(m_context.encoderError()));
        else if (!(closed = m_file->commit()))
            m_sink.showError(Mp3Encoder::errorText(Mp3Encoder::Error::WriteFailed));
        m_file.reset();
        return closed;
    }

private:
    ProgressSink &m_sink;
    DecodeContext &m_context;
    QString m_base;
    int m_index = 0;
    std::unique_ptr<ReplacementFile> m_file;
};

// Hands every report on to one sink, one thread at a time: the parts of a file are encoded on
// threads of their own, and the sink expects the calls of one.
class LockedSink : public ProgressSink
{
public:
    explicit LockedSink(ProgressSink &sink) : m_sink(sink) {}
    void fileStarted(int index, int fileCount, const QString &path) override
    {
        const std::lock_guard lock(m_mutex);
        m_sink.fileStarted(index, fileCount, path);
    }
    void timeRange(int seconds) override
    {
        const std::lock_guard lock(m_mutex);
        m_sink.timeRange(seconds);
    }
    void timeReached(int seconds) override
    {
        const std::lock_guard lock(m_mutex);
        m_sink.timeReached(seconds);
    }
    void showError(const QString &message) override
    {
        const std::lock_guard lock(m_mutex);
        m_sink.showError(message);
    }
    // Adds a frame's samples to the time encoded over all parts and reports whole seconds.
    void addEncoded(int samples, int sampleRate)
    {
        const std::lock_guard lock(m_mutex);
        m_samples += samples;
        const int seconds = sampleRate > 0 ? static_cast<int>(m_samples / sampleRate) : 0;
        if (seconds != m_shown)
            m_sink.timeReached(m_shown = seconds);
    }

private:
    std::mutex m_mutex;
    ProgressSink &m_sink;
    std::int64_t m_samples = 0;
    int m_shown = -1;
};

// Where a part starts, and where a decoder that is to give that part's first frame exactly as
// a run from the start gives it must begin: some frames earlier, so that the bit reservoir
// (main_data_begin reaches up to 511 bytes back, ISO/IEC 11172-3), the IMDCT overlap and the
// synthesis filter are filled as they would be.
struct PartStart
{
    qint64 offset = 0;
    qint64 restart = 0;
    // Samples per channel decoded and handed over before the part in a run from the start:
    // where the cut of the encoder's delay and padding stands there.
    qint64 decodedBefore = 0;
    qint64 handedBefore = 0;
};

constexpr int kSettleFrames = 4;
constexpr qint64 kSettleBytes = 2048;
constexpr std::size_t kRecentFrames = 32;

// Applies the cut rule of the one-pass split to a run without synthesis, counting time as
// DecodeContext::countFrame does. bitRate: the first frame's, in bit/s.
std::vector<PartStart> planParts(const BatchJob &job, Mp3Source &input, int partCount, std::int64_t total,
                                 int *bitRate)
{
    std::vector<PartStart> starts;
    std::vector<qint64> recent;
    std::int64_t frames = 0;
    PlayingTime time;
    qint64 decoded = 0;
    qint64 handed = 0;
    DecodeOptions plan;
    plan.synthesize = false;
    input.decode(
        [&](const DecodedFrame &frame) {
            if (job.isCancelled())
                return DecodeFlow::Stop;
            const qint64 decodedBefore = decoded;
            decoded += frame.nominalLength;
            if (frame.length == 0)
                return DecodeFlow::Continue; // cut away whole: a run from the start skips it too
            ++frames;
            time.add(frame.length, frame.sampleRate);
            const auto elapsed = static_cast<std::int64_t>(time.seconds());
            const auto index = static_cast<std::int64_t>(starts.size());
            if (frames == 1) {
                *bitRate = frame.bitRate;
                starts.push_back({frame.offset, 0, 0, 0});
            } else if (index < partCount && elapsed >= total * index / partCount) {
                qint64 restart = 0;
                for (std::size_t back = kSettleFrames; back <= recent.size(); ++back) {
                    if (frame.offset - recent[recent.size() - back] >= kSettleBytes) {
                        restart = recent[recent.size() - back];
                        break;
                    }
                }
                starts.push_back({frame.offset, restart, decodedBefore, handed});
            }
            handed += frame.length;
            recent.push_back(frame.offset);
            if (recent.size() > kRecentFrames)
                recent.erase(recent.begin());
            return DecodeFlow::Continue;
        },
        nullptr, plan);
    return starts;
}

} // namespace

QString SplitJob::partPath(const QString &input, int part)
{
    return partPathOf(baseName(input), part);
}

QString SplitJob::collisionMessage(const QString &first, const QString &second)
{
    return QStringLiteral("%1 and %2 would be split into the same part files (%3); nothing was split")
        .arg(first, second, partPath(first, 1));
}

void SplitJob::run()
{
    QHash<QString, QString> inputByBase;
    for (const QString &input : files()) {
        const QString base = baseName(input);
        const auto it = inputByBase.constFind(base);
        // The same file listed twice is split twice into the same parts, as before.
        if (it != inputByBase.constEnd() && it.value() != input) {
            sink().showError(collisionMessage(it.value(), input));
            return;
        }
        inputByBase.insert(base, input);
    }
    BatchJob::run();
}

bool SplitJob::filesAreIndependent() const
{
    // Nor may one input's parts be another input.
    QStringList names = files();
    for (const QString &input : files()) {
        for (int part = 1; part <= std::max(1, m_partCount); ++part)
            names.append(partPath(input, part));
    }
    return namesDistinctFiles(names);
}

void SplitJob::processFile(const QString &path)
{
    const int partCount = std::max(1, m_partCount);
    DecodeContext context(this);
    context.setVolumeScale(m_volumeScale);
    Mp3Source input;
    if (!context.openInput(path, &input))
        return;

    const int threads = partThreads();
    if (threads > 1 && partCount > 1) {
        splitAtOnce(path, input, context.totalSeconds(), threads);
        return;
    }
    PartWriter parts(sink(), context, baseName(path));
    const std::int64_t total = context.totalSeconds();
    input.decode([&](const DecodedFrame &frame) {
        if (context.countFrame(frame) == DecodeFlow::Stop)
            return DecodeFlow::Stop;
        if (context.framesDecoded() == 1) {
            // The parts keep the input's bit rate, as its first frame gives it.
            context.setBitrateKbps(frame.bitRate / 1000);
            if (!parts.open(1))
                return DecodeFlow::Stop;
        } else {
            // Part k ends before the first frame whose elapsed whole seconds reach
            // ⌊total × k / partCount⌋; the first frame only opens part 1.
            const int index = parts.index();
            if (index < partCount && context.elapsedSeconds() >= total * index / partCount) {
                if (!parts.close() || !parts.open(index + 1))
                    return DecodeFlow::Stop;
            }
        }
        return context.writeFrame(frame);
    });
    parts.close();
}

int SplitJob::partThreads() const
{
    // Files run side by side take the cores first.
    const int files = std::max<int>(1, static_cast<int>(this->files().size()));
    return std::max(1, parallelFiles() / std::min(files, parallelFiles()));
}

// One run without synthesis finds where the parts start; then each part is decoded from a few
// frames before its start and encoded on a thread of its own, up to threads at once. The
// parts are the same, byte for byte, as those of the one-pass split.
void SplitJob::splitAtOnce(const QString &path, Mp3Source &input, std::int64_t totalSeconds, int threads)
{
    const int partCount = std::max(1, m_partCount);
    int bitRate = 0;
    const std::vector<PartStart> starts = planParts(*this, input, partCount, totalSeconds, &bitRate);
    LockedSink reports(sink());
    const QString base = baseName(path);
    std::atomic<int> next{0};
    std::atomic<bool> stopped{false};

    auto encodePart = [&](int part) {
        Mp3Source source;
        if (!source.open(path)) {
            reports.showError(QStringLiteral("Open File %1 Error").arg(path));
            return;
        }
        DecodeContext context;
        context.setVolumeScale(m_volumeScale);
        context.setBitrateKbps(bitRate / 1000);
        PartWriter writer(reports, context, base);
        if (!writer.open(part + 1))
            return;
        const PartStart start = starts[static_cast<std::size_t>(part)];
        const qint64 end = part + 1 < static_cast<int>(starts.size()) ? starts[static_cast<std::size_t>(part) + 1].offset
                                                                      : std::numeric_limits<qint64>::max();
        // The first part runs from the start, as the one-pass split does.
        DecodeOptions options;
        if (part > 0) {
            options.feedFrom = start.restart;
            options.handFrom = start.offset;
            options.decodedBefore = start.decodedBefore;
            options.handedBefore = start.handedBefore;
        }
        options.handTo = part + 1 < static_cast<int>(starts.size()) ? end : -1;
        source.decode(
            [&](const DecodedFrame &frame) {
                if (frame.offset >= end)
                    return DecodeFlow::Stop;
                if (isCancelled()) {
                    stopped = true;
                    return DecodeFlow::Stop;
                }
                reports.addEncoded(frame.length, frame.sampleRate);
                return context.writeFrame(frame);
            },
            nullptr, options);
        writer.close();
    };
    auto work = [&] {
        for (int part; (part = next++) < static_cast<int>(starts.size()) && !stopped && !isCancelled();)
            encodePart(part);
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < std::min<int>(threads, static_cast<int>(starts.size())); ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
}

} // namespace sonavell
