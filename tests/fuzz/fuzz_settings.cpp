// Arbitrary bytes as "Record Setup.sys": the reader must not crash or allocate what a count
// claims, a file it takes holds only legal values, and what it takes survives a write and a
// second read unchanged.
//
//   make fuzz && build-fuzz/tests/fuzz/fuzz_settings -max_total_time=900 <corpus folder>

#include "core/settings/recordersettings.h"

#include "fuzzsupport.h"

#include <algorithm>
#include <cstdint>

using namespace sonavell;
using namespace sonavell::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    RecorderSettings first;
    const QByteArray defaults = first.toBytes();
    if (!first.fromBytes(bytes)) {
        check(first.toBytes() == defaults, "a file that did not parse changed the settings");
        return 0;
    }
    check(RecorderSettings::isRecordFormat(first.recordFormat()), "an illegal record format was taken");
    check(first.sensitivity() >= 1 && first.sensitivity() <= 1000, "sensitivity out of range");
    check(first.bitRateIndex() >= 0 && first.bitRateIndex() < int(RecorderSettings::kBitRates.size()),
          "bit-rate index out of range");
    check(first.silenceAction() == 0 || first.silenceAction() == 1, "silence action out of range");
    check(first.fileList().size() <= qsizetype(RecorderSettings::kMaxFileListEntries), "too many files");
    check(first.timedRecordings().size() <= qsizetype(RecorderSettings::kMaxTimedRecordings), "too many windows");

    const QByteArray written = first.toBytes();
    RecorderSettings second;
    check(second.fromBytes(written), "a written file does not read back");
    check(second.toBytes() == written, "a write and a read changed the settings");
    check(second.fileList() == first.fileList() && second.saveDirectory() == first.saveDirectory()
              && second.timedRecordings() == first.timedRecordings(),
          "lists or texts differ after the round trip");
    return 0;
}
