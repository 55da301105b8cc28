// Arbitrary bytes as an MP3 file: scanning, the media length, frame copying and the ID3v1 tag
// must neither crash nor read outside their buffers, and must keep their promises:
// a copy holds no more than the source, and writing then removing a tag restores the audio.
//
//   make fuzz && mkdir -p build-fuzz/corpus/mp3 && cp tests/fuzz/corpus/mp3/* build-fuzz/corpus/mp3/
//   build-fuzz/tests/fuzz/fuzz_mp3 -max_total_time=900 -dict=tests/fuzz/mp3.dict build-fuzz/corpus/mp3

#include "core/mp3/framesync.h"
#include "core/mp3/id3v1tag.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"

#include "fuzzsupport.h"

#include <QBuffer>

#include <cstdint>

using namespace sonavell;
using namespace sonavell::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString folder = scratchFolder();
    static const QString source = folder + QStringLiteral("/source.mp3");
    static const QString target = folder + QStringLiteral("/target.mp3");
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!writeFile(source, bytes))
        return 0;

    QByteArray mutableBytes = bytes;
    QBuffer buffer(&mutableBytes);
    buffer.open(QIODevice::ReadOnly);
    std::uint32_t header = 0;
    for (qint64 skip = 0; findFrameSync(buffer, header, skip); skip = 1)
        check(mpeg::isFrameSync(header), "findFrameSync returned a non-sync header");

    Mp3FileInfo info;
    check(info.scanFile(source, true), "scanFile failed on a readable file");
    check(info.durationSeconds >= 0, "negative duration");

    // Windows from the input itself, so that the fuzzer can steer them.
    const float start = size > 0 ? float(data[0]) / 64.0f : 0.0f;
    const float end = size > 1 ? start + float(data[1]) / 32.0f - 2.0f : 1000.0f;
    for (const auto &[from, to] : {std::pair{0.0f, 1.0e9f}, std::pair{start, end}}) {
        Mp3FileInfo copier;
        check(copier.copyFramesByTime(source, target, from, to), "copyFramesByTime failed");
        const QByteArray copy = readFile(target);
        check(copy.size() <= bytes.size(), "a copy larger than its source");
        check(queryMediaLength(target) >= 0, "copy has no readable length");
    }

    // Tag reading straight from the bytes, then a write and a removal on a copy of the file.
    if (size >= kId3v1TagSize) {
        Mp3FileInfo tag;
        readId3v1Tag(data + size - kId3v1TagSize, kId3v1TagSize, tag);
    }
    const bool hadTag = info.hasTag();
    const QByteArray audio = hadTag ? bytes.left(bytes.size() - kId3v1TagSize) : bytes;
    if (writeFile(target, bytes)) {
        check(info.writeTag(target, false), "writeTag failed");
        check(readFile(target).size() == audio.size() + kId3v1TagSize, "tag not in the last 128 bytes");
        Mp3FileInfo reread;
        check(reread.scanFile(target, false) && reread.hasTag(), "written tag not read back");
        check(reread.title == info.title && reread.artist == info.artist && reread.album == info.album
                  && reread.year == info.year && reread.comment == info.comment && reread.track == info.track
                  && reread.genre == info.genre,
              "the tag read back differs from the one written");
        check(info.writeTag(target, true), "removing the tag failed");
        check(readFile(target) == audio, "removing the tag did not restore the audio");
    }
    return 0;
}
