#pragma once

#include <QStringList>

#include <vector>

namespace sonavell::cli {

// One sonavell-cli command. Each command lives in its own file and registers itself with a
// static CommandRegistration, so adding one touches nothing else.
struct Command
{
    const char *name;
    const char *usage;   // arguments after the command name, for the usage text
    const char *summary;
    // args: what follows the command name. Returns the process exit code (2 for usage errors).
    int (*run)(const QStringList &args);
};

const std::vector<Command> &commands();

struct CommandRegistration
{
    explicit CommandRegistration(const Command &command);
};

// Prints the whole usage text to stderr.
void printUsage();

} // namespace sonavell::cli
