#include "cli/clicommand.h"
#include "settings/recordersettings.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace sonavell::cli {

static std::vector<Command> &registry()
{
    static std::vector<Command> all;
    return all;
}

const std::vector<Command> &commands()
{
    return registry();
}

CommandRegistration::CommandRegistration(const Command &command)
{
    registry().push_back(command);
}

void printUsage()
{
    std::fprintf(stderr, "usage: sonavell-cli COMMAND ...\n\ncommands:\n");
    for (const Command &command : commands())
        std::fprintf(stderr, "  %s %s\n      %s\n", command.name, command.usage, command.summary);
}

} // namespace sonavell::cli

int main(int argc, char **argv)
{
    using namespace sonavell::cli;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Sonavell"));
    // The command line reads the program's settings but leaves the file to the program.
    sonavell::keepSettingsUnsaved();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        printUsage();
        return 2;
    }
    const QString name = args[1];
    if (name == QStringLiteral("--help") || name == QStringLiteral("help")) {
        printUsage();
        return 0;
    }
    for (const Command &command : commands()) {
        if (name == QLatin1String(command.name))
            return command.run(args.mid(2));
    }
    std::fprintf(stderr, "sonavell-cli: unknown command \"%s\"\n", qPrintable(name));
    printUsage();
    return 2;
}
