#pragma once

#include <QStringList>

#include <cstdio>
#include <vector>

namespace sonavell::cli {

// One sonavell-cli command. Each command lives in its own file and registers itself with a
// static CommandRegistration, so adding one touches nothing else.
struct Command
{
    const char *name;
    const char *usage;   // arguments after the command name, for the usage text
    const char *summary; // what --help says; "\n" starts a new paragraph
    // args: what follows the command name. Returns the process exit code (2 for usage errors).
    int (*run)(const QStringList &args);
};

const std::vector<Command> &commands();
const Command *findCommand(const QString &name);

struct CommandRegistration
{
    explicit CommandRegistration(const Command &command);
};

// The usage text of every command.
void printUsage(std::FILE *out = stderr);
// One command's usage line and its summary.
void printCommandHelp(const Command &command, std::FILE *out);

} // namespace sonavell::cli
