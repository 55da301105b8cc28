#include "gui/skin/appicons.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

const QString kEntry = QStringLiteral(SONAVELL_DESKTOP_FILE);

QMap<QString, QString> entryFields()
{
    QMap<QString, QString> fields;
    QFile file(kEntry);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fields;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            fields.insert(line.left(equals), line.mid(equals + 1));
    }
    return fields;
}

TEST(DesktopEntry, PassesTheValidator)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils)";
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(validator, {kEntry});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString output = QString::fromUtf8(process.readAll());
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.trimmed().isEmpty()) << output.toStdString();
}

TEST(DesktopEntry, MatchesTheNameTheProgramGivesTheDesktop)
{
    EXPECT_EQ(QFileInfo(kEntry).fileName(), desktopFileName() + QStringLiteral(".desktop"));
    const QMap<QString, QString> fields = entryFields();
    EXPECT_EQ(fields.value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(fields.value(QStringLiteral("Name")), QStringLiteral("Sonavell"));
    EXPECT_EQ(fields.value(QStringLiteral("Exec")), QStringLiteral("sonavell"));
    // The icon theme entry the install puts in hicolor.
    EXPECT_EQ(fields.value(QStringLiteral("Icon")), desktopFileName());
}

TEST(HelpPages, AreBuiltIntoTheProgram)
{
    QFile index(QStringLiteral(":/help/index.html"));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    EXPECT_TRUE(index.readAll().contains("Sonavell"));
}

} // namespace
} // namespace sonavell
