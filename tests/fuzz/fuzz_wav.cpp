// Arbitrary bytes as a WAV file: the reader (from a file and from memory), then the waveform
// document over the same file: its load, the peak file it builds, the caches at every zoom and
// the positions the view asks for. Nothing may crash, hang or read outside its buffers; the
// reader never delivers more than its data chunk, and the peak file always has the size the
// data implies.
//
//   make fuzz && build-fuzz/tests/fuzz/fuzz_wav -max_total_time=900 -max_len=65536 <corpus folder>

#include "core/play/peakfile.h"
#include "core/play/wavedocument.h"
#include "core/process/wavefile.h"

#include "fuzzsupport.h"

#include <QFileInfo>

#include <cstdint>
#include <vector>

using namespace sonavell;
using namespace sonavell::fuzz;

namespace {

void readAllData(WaveFile &wave)
{
    std::vector<char> block(4096);
    std::uint64_t total = 0;
    for (;;) {
        std::uint32_t got = 0;
        if (wave.read(block.data(), std::uint32_t(block.size()), &got) != WaveFile::Result::Success || got == 0)
            break;
        total += got;
        check(total <= wave.dataSize(), "read more than the data chunk holds");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = scratchFolder() + QStringLiteral("/input.wav");
    const QByteArray bytes = bytesOf(data, size);
    if (!writeFile(path, bytes))
        return 0;

    WaveFile wave;
    if (wave.open(path, nullptr, WaveFile::ReadMode) == WaveFile::Result::Success) {
        check(wave.format() != nullptr, "an open WAV without a format");
        readAllData(wave);
        check(wave.reset() == WaveFile::Result::Success, "reset failed on an open WAV");
        std::uint32_t skipped = 0;
        wave.read(nullptr, size > 0 ? data[0] * 16u : 0u, &skipped);
        readAllData(wave);
    }
    WaveFile memory;
    if (memory.openMemory(bytes) == WaveFile::Result::Success)
        readAllData(memory);

    QFile::remove(peakfile::pathFor(path));
    WaveDocument document;
    check(document.load(path), "load failed on a readable file");
    check(QFileInfo(document.peakPath()).size() == peakfile::expectedSize(document.dataBytes()),
          "the peak file does not have the size of the data");
    check(document.zoom() >= WaveDocument::kMinZoom && document.zoom() <= WaveDocument::kMaxZoom, "zoom out of range");
    for (const int height : {0, 31, 200}) {
        document.updateCaches(height);
        check(document.cacheA().size() == document.cacheB().size() || document.channels() == 2,
              "mono caches differ");
    }
    while (document.zoomIn())
        document.updateCaches(200);
    do {
        document.updateCaches(200);
        int min = 0;
        int range = 0;
        document.getScrollRange(640, &min, &range);
        check(range >= 0, "negative scroll range");
        for (const int x : {-5, 0, 639, 100000}) {
            const qint64 frame = document.frameAt(x);
            check(frame >= 0 && frame <= document.totalFrames(), "frame outside the file");
            int column = 0;
            document.columnOf(frame, 640, &column);
            document.rulerLabel(x);
        }
        document.press(10, WaveDocument::Edge::None);
        document.dragTo(300);
        document.release();
        qint64 start = 0;
        qint64 end = 0;
        document.getSelectionBytes(&start, &end);
        check(start <= end && end <= document.dataBytes(), "selection outside the data");
        int left = 0;
        int right = 0;
        document.selectionColumns(640, &left, &right);
        document.scrollTo(size > 1 ? data[1] * 1000 : 0);
    } while (document.zoomOut());
    return 0;
}
