#pragma once

#include "core/decode/decoder.h"
#include "core/process/replacementfile.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace sonavell {

class BatchJob;
class DecodeContext;

// Rewrites one MP3 file in place for a job step: the new frames go to a ReplacementFile beside
// it, the original's ID3v2 and ID3v1 tags are put around them, and the original is replaced
// only by commit(). Until then (cancel, failure, crash) the original stays as it was. Failures
// are reported to the job's sink by the call that meets them. Used on the job's worker thread.
class InPlaceRewrite
{
public:
    InPlaceRewrite(BatchJob &job, const QString &path);
    ~InPlaceRewrite();
    InPlaceRewrite(const InPlaceRewrite &) = delete;
    InPlaceRewrite &operator=(const InPlaceRewrite &) = delete;

    // Opens the file for decoding and takes its tags; then opens the temporary file. False
    // when the file cannot be read, is not MP3 audio (its frames do not account for nearly all
    // of it), is write-protected (replacing it by rename would get past that) or no temporary
    // file can be made beside it. The original is read while the new frames are written: it
    // is replaced only by commit().
    bool openAudio(Mp3Source *input);
    // For a step that reads the audio itself: walks the file's frames and reports an input that
    // is not MP3 audio. Call before readTags().
    bool checkAudio();

    // "<path>: not an MP3 file (or damaged); it was left unchanged".
    static QString notAudioMessage(const QString &path);
    // The same for a step that reads the audio itself: only the tags are read.
    bool readTags();

    // The file the new frames go to: a name for writers that take one, and its descriptor.
    QString outputPath() const;
    int outputDescriptor() const;

    // Puts the tags around the new frames and renames the result over the original.
    bool commit();

private:
    bool openOutput();

    BatchJob &m_job;
    QString m_path;
    Mp3Layout m_layout;
    std::unique_ptr<ReplacementFile> m_output;
};

// The decoding in-place step shared by re-encoding and trimming: reads path, runs the decoder
// over its audio with handler, whose encoder writes context's output path (set here), and
// replaces path by the result. A cancelled or failed run, or one that encoded no frame, leaves
// the file unchanged. True when the file was rewritten.
bool decodeInPlace(BatchJob &job, const QString &path, DecodeContext &context, const OutputHandler &handler);

} // namespace sonavell
