#include "core/process/splitjob.h"

#include "core/encode/mp3encoder.h"
#include "core/mp3/medialength.h"
#include "core/process/decodecontext.h"
#include "core/process/replacementfile.h"

#include <QHash>

#include <algorithm>
#include <cstdint>
#include <memory>

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
    PartWriter(BatchJob &job, DecodeContext &context, const QString &base)
        : m_job(job), m_context(context), m_base(base)
    {
    }

    int index() const { return m_index; }

    bool open(int index)
    {
        m_index = index;
        m_file = std::make_unique<ReplacementFile>(partPathOf(m_base, index));
        if (!m_file->isValid()) {
            m_file.reset();
            m_job.sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::FileNotCreated));
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
            m_job.sink().showError(Mp3Encoder::errorText(m_context.encoderError()));
        else if (!(closed = m_file->commit()))
            m_job.sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::WriteFailed));
        m_file.reset();
        return closed;
    }

private:
    BatchJob &m_job;
    DecodeContext &m_context;
    QString m_base;
    int m_index = 0;
    std::unique_ptr<ReplacementFile> m_file;
};

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

    PartWriter parts(*this, context, baseName(path));
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

} // namespace sonavell
