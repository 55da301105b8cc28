#include "clitesting.h"

#include "core/mp3/mp3fileinfo.h"

#include <QFile>

namespace sonavell {
namespace {

class CutCommandTest : public test::CliTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::makeReservoirMp3(input, test::noisePcm(44100, 2, 3.0, 12000), 44100, 2, 48));
        original = test::readAll(input);
    }

    QString input = file(QStringLiteral("in.mp3"));
    QString output = file(QStringLiteral("out.mp3"));
    QByteArray original;
};

TEST_F(CutCommandTest, WritesTheEditorsFrameCopy)
{
    ASSERT_EQ(run({QStringLiteral("cut"), QStringLiteral("--from"), QStringLiteral("1.25"), QStringLiteral("--to"),
                   QStringLiteral("2.5"), input, output}),
              0)
        << err.toStdString();
    const QString expected = file(QStringLiteral("expected.mp3"));
    Mp3FileInfo copier;
    ASSERT_TRUE(copier.copyFramesByTime(input, expected, 1.25f, 2.5f));
    EXPECT_EQ(test::readAll(output), test::readAll(expected));
    EXPECT_TRUE(test::readAll(output).mid(36, 4) == "Info");
    EXPECT_EQ(test::readAll(input), original);
}

TEST_F(CutCommandTest, DefaultsCopyTheWholeFile)
{
    ASSERT_EQ(run({QStringLiteral("cut"), input, output}), 0) << err.toStdString();
    EXPECT_EQ(test::readAll(output), original);
}

TEST_F(CutCommandTest, RefusesToWriteOverItsInput)
{
    const QString link = file(QStringLiteral("link.mp3"));
    ASSERT_TRUE(QFile::link(input, link));
    for (const QString &target : {input, link, file(QStringLiteral("./in.mp3"))}) {
        EXPECT_EQ(run({QStringLiteral("cut"), QStringLiteral("--from"), QStringLiteral("1"), input, target}), 2);
        EXPECT_TRUE(err.contains(QStringLiteral("would overwrite"))) << err.toStdString();
        EXPECT_EQ(test::readAll(input), original);
    }
}

TEST_F(CutCommandTest, NothingToCopyLeavesAnOldOutput)
{
    ASSERT_TRUE(test::writeAll(output, "old"));
    EXPECT_EQ(run({QStringLiteral("cut"), QStringLiteral("--from"), QStringLiteral("60"), input, output}), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("no MP3 frames"))) << err.toStdString();
    EXPECT_EQ(test::readAll(output), "old");
    EXPECT_EQ(run({QStringLiteral("cut"), file(QStringLiteral("missing.mp3")), output}), 1);
    EXPECT_EQ(test::readAll(output), "old");
}

TEST_F(CutCommandTest, TimesMustBeInOrder)
{
    EXPECT_EQ(run({QStringLiteral("cut"), QStringLiteral("--from"), QStringLiteral("2"), QStringLiteral("--to"),
                   QStringLiteral("1.5"), input, output}),
              2);
    EXPECT_EQ(run({QStringLiteral("cut"), QStringLiteral("--from"), QStringLiteral("-1"), input, output}), 2);
    EXPECT_EQ(run({QStringLiteral("cut"), input}), 2);
    EXPECT_FALSE(QFile::exists(output));
}

} // namespace
} // namespace sonavell
