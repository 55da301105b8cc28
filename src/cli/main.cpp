#include "cli/clicommand.h"
#include "core/settings/recordersettings.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace sonavell::cli {
namespace {

std::vector<Command> &registry()
{
    static std::vector<Command> all;
    return all;
}

constexpr qsizetype kLineWidth = 79;

// Prints text word-wrapped, each line after indent; "\n" in text starts a new paragraph,
// set off by a blank line.
void printWrapped(std::FILE *out, const QString &text, qsizetype indent)
{
    const QString margin(indent, QLatin1Char(' '));
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    for (const QString &paragraph : paragraphs) {
        if (&paragraph != &paragraphs.front())
            std::fprintf(out, "\n");
        QString line;
        for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!line.isEmpty() && indent + line.size() + 1 + word.size() > kLineWidth) {
                std::fprintf(out, "%s%s\n", qPrintable(margin), qPrintable(line));
                line.clear();
            }
            line += line.isEmpty() ? word : QLatin1Char(' ') + word;
        }
        std::fprintf(out, "%s%s\n", qPrintable(margin), qPrintable(line));
    }
}

// A command's help is asked for by --help (or -h) among its options.
bool asksForHelp(const QStringList &args)
{
    for (const QString &arg : args) {
        if (arg == QLatin1String("--"))
            return false;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return true;
    }
    return false;
}

} // namespace

const std::vector<Command> &commands()
{
    return registry();
}

const Command *findCommand(const QString &name)
{
    const auto &all = commands();
    const auto found = std::find_if(
        all.begin(), all.end(), [&](const Command &command) { return name == QLatin1String(command.name); });
    return found == all.end() ? nullptr : &*found;
}

CommandRegistration::CommandRegistration(const Command &command)
{
    registry().push_back(command);
}

void printUsage(std::FILE *out)
{
    std::fprintf(out, "usage: sonavell-cli COMMAND ...\n       sonavell-cli COMMAND --help\n       sonavell-cli --version\n\ncommands:\n");
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command &a, const Command &b) { return qstrcmp(a.name, b.name) < 0; });
    for (const Command &command : sorted) {
        std::fprintf(out, "  %s %s\n", command.name, command.usage);
        printWrapped(out, QString::fromUtf8(command.summary).section(QLatin1Char('\n'), 0, 0), 6);
    }
}

void printCommandHelp(const Command &command, std::FILE *out)
{
    std::fprintf(out, "usage: sonavell-cli %s %s\n\n", command.name, command.usage);
    printWrapped(out, QString::fromUtf8(command.summary), 0);
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
    if (name == QLatin1String("--version")) {
        std::printf("sonavell-cli %s\n", SONAVELL_VERSION);
        return 0;
    }
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        if (args.size() > 2) {
            if (const Command *command = findCommand(args[2])) {
                printCommandHelp(*command, stdout);
                return 0;
            }
        }
        printUsage(stdout);
        return 0;
    }
    const Command *command = findCommand(name);
    if (!command) {
        std::fprintf(stderr, "sonavell-cli: unknown command \"%s\"; try \"sonavell-cli --help\"\n", qPrintable(name));
        return 2;
    }
    const QStringList commandArgs = args.mid(2);
    if (asksForHelp(commandArgs)) {
        printCommandHelp(*command, stdout);
        return 0;
    }
    return command->run(commandArgs);
}
