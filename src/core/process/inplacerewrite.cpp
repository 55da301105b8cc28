#include "core/process/inplacerewrite.h"

#include "core/encode/mp3encoder.h"
#include "core/io/regularfile.h"
#include "core/mp3/audioscan.h"
#include "core/process/batchjob.h"
#include "core/process/decodecontext.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace sonavell {

namespace {

// The frames move up by the ID3v2 block's size this much at a time.
constexpr qint64 kShiftBlock = 256 * 1024;

// Moves the bytes of the file up by gap, from the end backwards, so that every block is read
// before anything is written over it.
bool shiftUp(QFile &file, qint64 gap)
{
    const qint64 size = file.size();
    if (!file.resize(size + gap))
        return false;
    QByteArray block;
    for (qint64 end = size; end > 0;) {
        const qint64 begin = std::max<qint64>(0, end - kShiftBlock);
        if (!file.seek(begin))
            return false;
        block = file.read(end - begin);
        if (block.size() != end - begin || !file.seek(begin + gap) || file.write(block) != block.size())
            return false;
        end = begin;
    }
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
    if (!layout.id3v2.isEmpty()
        && (!shiftUp(file, layout.id3v2.size()) || !file.seek(0) || file.write(layout.id3v2) != layout.id3v2.size()))
        return false;
    return file.seek(file.size()) && file.write(layout.trailer) == layout.trailer.size() && file.flush();
}

} // namespace

InPlaceRewrite::InPlaceRewrite(BatchJob &job, const QString &path) : m_job(job), m_path(path) {}

InPlaceRewrite::~InPlaceRewrite() = default;

bool InPlaceRewrite::openAudio(Mp3Source *input)
{
    if (!input->open(m_path)) {
        m_job.reportOpenError(m_path);
        return false;
    }
    m_layout = input->layout();
    if (!input->scan().holdsAudio()) {
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
    QFile file(m_path);
    if (m_path.isEmpty() || !openRegularFile(file) || !Mp3Layout::read(file, &m_layout)) {
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
    Mp3Source input;
    if (!rewrite.openAudio(&input))
        return false;
    context.setOutputPath(rewrite.outputPath());
    context.setOutputDescriptor(rewrite.outputDescriptor());
    DecodeStats stats;
    input.decode(handler, &stats);
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
