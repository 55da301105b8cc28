// Arbitrary bytes as an MP3 file for the player's streaming decoder: the frame table, then reads
// and seeks steered by the input itself. Nothing may crash or read outside its buffers; a read
// gives whole sample frames, and the position stays within the audio.
//
//   make fuzz && build-fuzz/tests/fuzz/fuzz_decoder -max_total_time=900 -dict=tests/fuzz/mp3.dict <corpus folder>

#include "core/decode/mp3streamdecoder.h"
#include "core/mp3/mp3frametable.h"

#include "fuzzsupport.h"

#include <cstdint>
#include <vector>

using namespace sonavell;
using namespace sonavell::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = scratchFolder() + QStringLiteral("/input.mp3");
    if (!writeFile(path, bytesOf(data, size)))
        return 0;
    Mp3FrameTable table;
    if (!table.build(path))
        return 0;
    check(table.frameCount() > 0, "a built table without frames");
    Mp3StreamDecoder decoder(table);
    if (!decoder.open(path))
        return 0;
    const qint64 total = table.totalSamples();
    std::vector<std::uint8_t> out(8192);
    // The last bytes of the input choose the seeks: as fractions of the audio and odd offsets.
    const std::size_t steps = std::min<std::size_t>(size, 8);
    for (std::size_t i = 0; i < steps; ++i) {
        const std::uint8_t choice = data[size - 1 - i];
        const qint64 target = choice == 255 ? total + 1000 : total * choice / 254 - (choice & 1);
        decoder.seek(target);
        check(decoder.position() >= 0 && decoder.position() <= total, "seek outside the audio");
        const std::uint32_t got = decoder.read(out.data(), std::uint32_t(out.size()) - (choice & 3));
        check(got % std::uint32_t(decoder.frameBytes()) == 0, "a read ended inside a sample frame");
    }
    // Then to the end from wherever the seeks left it, bounded by the table's length.
    decoder.seek(0);
    qint64 samples = 0;
    while (const std::uint32_t got = decoder.read(out.data(), std::uint32_t(out.size()))) {
        samples += got / decoder.frameBytes();
        check(samples <= total, "more samples than the table holds");
    }
    return 0;
}
