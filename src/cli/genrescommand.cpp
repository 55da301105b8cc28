// sonavell-cli genres: the genre table of the ID3v1 tag.

#include "cli/clicommand.h"
#include "cli/jobrunner.h"

#include "core/mp3/id3v1tag.h"

#include <cstdio>

namespace sonavell::cli {
namespace {

int runGenres(const QStringList &args)
{
    if (!args.isEmpty())
        return usageError("genres", QStringLiteral("takes no arguments"));
    for (int index = 0; index < kGenreCount; ++index)
        std::printf("%3d  %s\n", index, qPrintable(genreName(index)));
    return 0;
}

const CommandRegistration registration({
    "genres",
    "",
    "Print the ID3v1 genre table, a number and a name on each line; \"tag --genre\" takes either.",
    runGenres,
});

} // namespace
} // namespace sonavell::cli
