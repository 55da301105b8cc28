#include "core/process/inplacerewrite.h"

#include "core/encode/mp3encoder.h"
#include "core/files/regularfile.h"
#include "core/mp3/audioscan.h"
#include "core/mp3/framesync.h"
#include "core/mp3/trailingtags.h"
#include "core/process/batchjob.h"
#include "core/process/decodecontext.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace sonavell {

namespace {

constexpr qint64 kId3v2HeaderSize = 10;

// The tags of a file that is not read whole: the ID3v2 block at its start, the ID3v1 trailer.
bool readLayout(const QString &path, Mp3Layout *layout)
{
    QFile file(path);
    if (path.isEmpty() || !openRegularFile(file))
        return false;
    const qint64 size = file.size();
    // The leading ID3v2 tags, stacked ones included, as the decoder steps over them.
    qint64 tagSize = 0;
    for (int i = 0; i < kMaxLeadingId3v2Tags && tagSize < size; ++i) {
        if (!file.seek(tagSize))
            return false;
        const QByteArray head = file.read(kId3v2HeaderSize);
        const qint64 next = id3v2TagSize(reinterpret_cast<const unsigned char *>(head.constData()), head.size());
        if (next == 0)
            break;
        tagSize = std::min(size, tagSize + next);
    }
    if (tagSize > 0 && (!file.seek(0) || (layout->id3v2 = file.read(tagSize)).size() != tagSize))
        return false;
    layout->audioBegin = tagSize;
    layout->audioEnd = std::max(tagSize, trailingTagsBegin(file, tagSize));
    if (layout->audioEnd < size && (!file.seek(layout->audioEnd) || (layout->trailer = file.readAll()).size() != size - layout->audioEnd))
        return false;
    return true;
}

// The encoder and the frame copy write bare frames; the original's tags go around them. Works on
// the replacement file's own descriptor, never on a name.
bool attachTags(int fd, const Mp3Layout &layout)
{
    if (layout.id3v2.isEmpty() && layout.trailer.isEmpty())
        return true;
    QFile file;
    if (!file.open(fd, QIODevice::ReadWrite, QFileDevice::DontCloseHandle))
        return false;
    if (layout.id3v2.isEmpty())
        return file.seek(file.size()) && file.write(layout.trailer) == layout.trailer.size() && file.flush();
    if (!file.seek(0))
        return false;
    const QByteArray body = file.readAll();
    const QByteArray whole = layout.id3v2 + body + layout.trailer;
    return file.seek(0) && file.write(whole) == whole.size() && file.flush();
}

} // namespace

InPlaceRewrite::InPlaceRewrite(BatchJob &job, const QString &path) : m_job(job), m_path(path) {}

InPlaceRewrite::~InPlaceRewrite() = default;

bool InPlaceRewrite::readAudio(QByteArray *audio)
{
    // The whole input is in memory before the output exists.
    if (!readWholeFile(m_path, audio)) {
        m_job.reportOpenError(m_path);
        return false;
    }
    m_layout = Mp3Layout::of(*audio);
    audio->truncate(m_layout.audioEnd);
    audio->remove(0, m_layout.audioBegin);
    if (!scanAudio(*audio).holdsAudio()) {
        m_job.sink().showError(notAudioMessage(m_path));
        return false;
    }
    return openOutput();
}

bool InPlaceRewrite::checkAudio()
{
    QFile file(m_path);
    if (!openRegularFile(file)) {
        m_job.reportOpenError(m_path);
        return false;
    }
    if (!scanAudio(file).holdsAudio()) {
        m_job.sink().showError(notAudioMessage(m_path));
        return false;
    }
    return true;
}

QString InPlaceRewrite::notAudioMessage(const QString &path)
{
    return QStringLiteral("%1: not an MP3 file (or damaged); it was left unchanged").arg(path);
}

bool InPlaceRewrite::readTags()
{
    if (!readLayout(m_path, &m_layout)) {
        m_job.reportOpenError(m_path);
        return false;
    }
    return openOutput();
}

bool InPlaceRewrite::openOutput()
{
    if (QFileInfo(m_path).isWritable())
        m_output = std::make_unique<ReplacementFile>(m_path);
    if (!m_output || !m_output->isValid()) {
        m_output.reset();
        m_job.sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::FileNotCreated));
        return false;
    }
    return true;
}

QString InPlaceRewrite::outputPath() const
{
    return m_output ? m_output->path() : QString();
}

int InPlaceRewrite::outputDescriptor() const
{
    return m_output ? m_output->descriptor() : -1;
}

bool InPlaceRewrite::commit()
{
    if (!m_output)
        return false;
    if (!attachTags(m_output->descriptor(), m_layout) || !m_output->commit()) {
        m_job.sink().showError(Mp3Encoder::errorText(Mp3Encoder::Error::WriteFailed));
        return false;
    }
    return true;
}

bool decodeInPlace(BatchJob &job, const QString &path, DecodeContext &context, const OutputHandler &handler)
{
    InPlaceRewrite rewrite(job, path);
    QByteArray audio;
    if (!rewrite.readAudio(&audio))
        return false;
    context.setOutputPath(rewrite.outputPath());
    context.setOutputDescriptor(rewrite.outputDescriptor());
    DecodeStats stats;
    runDecoder(std::move(audio), handler, &stats);
    if (!context.finishEncoder()) {
        job.sink().showError(Mp3Encoder::errorText(context.encoderError()));
        return false;
    }
    if (context.wasCancelled() || context.framesEncoded() == 0)
        return false;
    // What the decoder made of the frames must be the file's audio, not a few frames of it.
    if (!stats.decodedAll()) {
        job.sink().showError(InPlaceRewrite::notAudioMessage(path));
        return false;
    }
    return rewrite.commit();
}

} // namespace sonavell
