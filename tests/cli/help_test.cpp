#include "clitesting.h"

namespace sonavell {
namespace {

using test::CliTest;

const char *const kCommands[] = {"cut",      "genres",  "info",  "join", "mp3towav", "record",
                                 "reencode", "sources", "split", "tag",  "trim",     "wav2mp3"};

class CommandHelp : public CliTest, public testing::WithParamInterface<const char *>
{
};

TEST_P(CommandHelp, PrintsTheCommandsUsageOnStdout)
{
    const QString name = QString::fromLatin1(GetParam());
    // Help wins over everything else on the line, even what would be a usage error.
    for (const QStringList &args : {QStringList{name, QStringLiteral("--help")},
                                    QStringList{name, QStringLiteral("--bogus"), QStringLiteral("-h")},
                                    QStringList{QStringLiteral("help"), name}}) {
        ASSERT_EQ(run(args), 0) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(out.startsWith(QStringLiteral("usage: sonavell-cli %1 ").arg(name))) << out.toStdString();
        EXPECT_GT(out.count(QLatin1Char('\n')), 2);
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, CommandHelp, testing::ValuesIn(kCommands),
                         [](const auto &info) { return std::string(info.param); });

TEST_F(CliTest, HelpListsEveryCommand)
{
    ASSERT_EQ(run({QStringLiteral("--help")}), 0);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    for (const char *name : kCommands)
        EXPECT_TRUE(out.contains(QStringLiteral("\n  %1 ").arg(QString::fromLatin1(name)))) << name;
}

TEST_F(CliTest, UnknownCommandPointsToHelpInOneLine)
{
    EXPECT_EQ(run({QStringLiteral("recode")}), 2);
    EXPECT_EQ(err, QStringLiteral("sonavell-cli: unknown command \"recode\"; try \"sonavell-cli --help\"\n"));
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
}

TEST_F(CliTest, VersionIsOneLineOnStdout)
{
    ASSERT_EQ(run({QStringLiteral("--version")}), 0);
    EXPECT_TRUE(out.startsWith(QStringLiteral("sonavell-cli "))) << out.toStdString();
    EXPECT_EQ(out.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

TEST_F(CliTest, HelpAfterDoubleDashIsAFileName)
{
    EXPECT_EQ(run({QStringLiteral("info"), QStringLiteral("--"), QStringLiteral("--help")}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("--help"))) << err.toStdString();
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
}

} // namespace
} // namespace sonavell
