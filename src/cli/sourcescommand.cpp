// sonavell-cli sources: the record sources as the recorder window's "Record Control" shows them.

#include "cli/clicommand.h"

#include "core/record/recordsourcepanel.h"
#include "platform/audiobackend.h"

#include <algorithm>
#include <cstdio>

namespace sonavell::cli {
namespace {

int runSources(const QStringList &args)
{
    if (!args.isEmpty()) {
        std::fprintf(stderr, "sonavell-cli sources: takes no arguments\n");
        printUsage();
        return 2;
    }
    AudioBackend audio = openAudioBackend();
    RecordSourcePanel panel(*audio.mixer);
    panel.create();
    panel.initialise();
    std::printf("Record sources (%s), * = chosen:\n", audio.isSoundServer() ? "sound server" : "ALSA");
    const int rows = std::min(panel.count(), RecordSourcePanel::kRows);
    if (rows == 0)
        std::printf("  none\n");
    for (int i = 0; i < rows; ++i) {
        const RecordSourcePanel::Row &row = panel.row(i);
        std::printf("%c %d  %s  level %u of %u..%u\n", i == panel.chosen() ? '*' : ' ', i + 1,
                    qPrintable(row.caption), row.position, row.minimum, row.maximum);
    }
    return 0;
}

const CommandRegistration registration({
    "sources",
    "",
    "List the record sources as the recorder's Record Control shows them: row number, name, level and "
    "range, the chosen one marked with *. Through the desktop's sound server when one answers, else "
    "ALSA's default mixer. `record --source ROW|NAME` records from one of them.",
    runSources,
});

} // namespace
} // namespace sonavell::cli
