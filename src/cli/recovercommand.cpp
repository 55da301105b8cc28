// sonavell-cli recover: the start-up recovery of interrupted recordings, run by hand.

#include "cli/clicommand.h"

#include "core/record/recordingrecovery.h"
#include "core/settings/recordersettings.h"

#include <QFileInfo>

#include <cstdio>

namespace sonavell::cli {
namespace {

int runRecover(const QStringList &args)
{
    if (args.size() > 1 || (!args.isEmpty() && args.front().startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "sonavell-cli recover: only one folder can be given\n");
        printUsage();
        return 2;
    }
    const QString folder = args.isEmpty() ? settings().saveDirectory() : args.front();
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "sonavell-cli recover: %s is not a folder\n", qPrintable(folder));
        return 1;
    }
    const RecoveryReport report = recoverRecordings(folder, dataFolder());
    if (report.isEmpty()) {
        std::printf("Nothing to recover in %s\n", qPrintable(folder));
        return 0;
    }
    std::printf("%s\n", qPrintable(report.message()));
    for (const RecoveredFile &file : report.files) {
        if (file.outcome == RecoveredFile::Outcome::Failed)
            return 1;
    }
    return 0;
}

const CommandRegistration registration({
    "recover",
    "[DIR]",
    "Finish recordings that were interrupted (killed, crashed, power cut) in DIR (default: the save folder) "
    "and those recorded elsewhere that were still running: cut a torn last frame, write a true Info tag and "
    "give each its .mp3 name without replacing any file. Prints what was done.",
    runRecover,
});

} // namespace
} // namespace sonavell::cli
