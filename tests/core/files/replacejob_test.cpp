#include "core/files/replacejob.h"

#include "core/files/filelist.h"
#include "core/files/renamefile.h"
#include "testsupport.h"
#include "tinymp3.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <mutex>

namespace sonavell {
namespace {

// Keeps the errors a job reports, from whichever thread.
class RecordingSink : public NullProgressSink
{
public:
    void showError(const QString &message) override
    {
        const std::lock_guard lock(m_mutex);
        m_errors.append(message);
    }
    QStringList errors() const
    {
        const std::lock_guard lock(m_mutex);
        return m_errors;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_errors;
};

class NamesTest : public ::testing::Test
{
protected:
    void list(const QStringList &names)
    {
        for (const QString &name : names) {
            ASSERT_TRUE(test::writeTinyMp3(m_folder.file(name)));
            ASSERT_TRUE(m_list.addFile(m_folder.file(name)));
        }
    }
    QStringList rowNames() const
    {
        QStringList names;
        for (int row = 0; row < m_list.rowCount(); ++row)
            names << m_list.row(row)[FileList::NameColumn];
        return names;
    }
    QStringList filesOnDisk() const { return QDir(m_folder.path()).entryList(QDir::Files, QDir::Name); }
    // Runs the job on its own worker thread, as the progress window does, then delivers the
    // row updates it queued for this thread.
    QStringList replace(const QString &source, const QString &target)
    {
        QStringList selected;
        m_list.collectSelected(selected);
        ReplaceJob job(m_list, selected);
        job.setSource(source);
        job.setTarget(target);
        RecordingSink sink;
        job.setSink(&sink);
        {
            JobWorker worker(job);
            worker.start();
        }
        QCoreApplication::sendPostedEvents();
        return sink.errors();
    }

    test::TempFolder m_folder;
    FileList m_list;
};

struct ReplaceCase
{
    const char *label;
    QStringList names;
    QString source;
    QString target;
    QStringList expected;
};

class ReplaceNames : public NamesTest, public ::testing::WithParamInterface<ReplaceCase>
{
};

TEST_P(ReplaceNames, RenamesFilesAndRows)
{
    const ReplaceCase &c = GetParam();
    list(c.names);
    m_list.selectAll();
    EXPECT_TRUE(replace(c.source, c.target).isEmpty());
    EXPECT_EQ(rowNames(), c.expected);
    QStringList sorted = c.expected;
    sorted.sort();
    EXPECT_EQ(filesOnDisk(), sorted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplaceNames,
    ::testing::Values(ReplaceCase{"UnderscoreBySpace",
                                  {QStringLiteral("a_b_c.mp3"), QStringLiteral("abc.mp3")},
                                  QStringLiteral("_"),
                                  QStringLiteral(" "),
                                  {QStringLiteral("a b c.mp3"), QStringLiteral("abc.mp3")}},
                      ReplaceCase{"NoOverlaps",
                                  {QStringLiteral("aaa.mp3")},
                                  QStringLiteral("aa"),
                                  QStringLiteral("b"),
                                  {QStringLiteral("ba.mp3")}},
                      ReplaceCase{"ExtensionIsPartOfTheName",
                                  {QStringLiteral("take.mp3")},
                                  QStringLiteral("mp3"),
                                  QStringLiteral("wav"),
                                  {QStringLiteral("take.wav")}},
                      ReplaceCase{"CaseSensitive",
                                  {QStringLiteral("Song.mp3")},
                                  QStringLiteral("song"),
                                  QStringLiteral("x"),
                                  {QStringLiteral("Song.mp3")}},
                      ReplaceCase{"EmptySourceChangesNothing",
                                  {QStringLiteral("a.mp3")},
                                  QString(),
                                  QStringLiteral("x"),
                                  {QStringLiteral("a.mp3")}}),
    [](const ::testing::TestParamInfo<ReplaceCase> &info) { return std::string(info.param.label); });

TEST_F(NamesTest, ReplaceTouchesOnlySelectedRows)
{
    list({QStringLiteral("x_1.mp3"), QStringLiteral("x_2.mp3")});
    m_list.selectRow(1);
    replace(QStringLiteral("_"), QStringLiteral("-"));
    EXPECT_EQ(rowNames(), (QStringList{QStringLiteral("x_1.mp3"), QStringLiteral("x-2.mp3")}));
}

TEST_F(NamesTest, FailedReplaceIsReportedAndSkipped)
{
    // GIVEN a_b.mp3 whose new name "a b.mp3" is taken by an unlisted file, and c_d.mp3 after it.
    list({QStringLiteral("a_b.mp3"), QStringLiteral("c_d.mp3")});
    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("a b.mp3")), "keep"));
    m_list.selectAll();
    const QStringList errors = replace(QStringLiteral("_"), QStringLiteral(" "));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(m_folder.file(QStringLiteral("a_b.mp3"))))
        << errors.front().toStdString();
    // The taken name keeps its own content, the failed file its name, and the next one is done.
    EXPECT_EQ(test::readAll(m_folder.file(QStringLiteral("a b.mp3"))), QByteArray("keep"));
    EXPECT_EQ(rowNames(), (QStringList{QStringLiteral("a_b.mp3"), QStringLiteral("c d.mp3")}));
    EXPECT_TRUE(QFileInfo::exists(m_folder.file(QStringLiteral("a_b.mp3"))));
}

TEST_F(NamesTest, ReplaceRefusesNamesThatLeaveTheFolder)
{
    list({QStringLiteral("a_b.mp3")});
    ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("a")));
    m_list.selectAll();
    EXPECT_EQ(replace(QStringLiteral("_"), QStringLiteral("/")).size(), 1);
    EXPECT_EQ(replace(QStringLiteral("a_b.mp3"), QString()).size(), 1);
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("a_b.mp3")});
    EXPECT_TRUE(QDir(m_folder.file(QStringLiteral("a"))).isEmpty());
}

struct RenameCase
{
    const char *label;
    QString typed;
    QString expected;
};

class RenameNames : public NamesTest, public ::testing::WithParamInterface<RenameCase>
{
};

TEST_P(RenameNames, NewNameEndsInMp3)
{
    list({QStringLiteral("song.mp3")});
    m_list.selectAll();
    ASSERT_TRUE(renameSelectedFile(m_list, GetParam().typed).ok);
    EXPECT_EQ(rowNames(), QStringList{GetParam().expected});
    EXPECT_EQ(filesOnDisk(), QStringList{GetParam().expected});
}

INSTANTIATE_TEST_SUITE_P(
    Table, RenameNames,
    ::testing::Values(RenameCase{"Bare", QStringLiteral("live"), QStringLiteral("live.mp3")},
                      RenameCase{"OtherExtension", QStringLiteral("live.wav"), QStringLiteral("live.mp3")},
                      RenameCase{"UpperCaseKept", QStringLiteral("LIVE.MP3"), QStringLiteral("LIVE.MP3")}),
    [](const ::testing::TestParamInfo<RenameCase> &info) { return std::string(info.param.label); });

TEST_F(NamesTest, RenameFailuresLeaveTheRowAndAreSignalled)
{
    list({QStringLiteral("song.mp3")});
    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("live.mp3")), "other"));
    QSignalSpy errors(&m_list, &FileList::fileError);
    m_list.selectAll();
    EXPECT_FALSE(renameSelectedFile(m_list, QStringLiteral("live")).ok);
    EXPECT_FALSE(renameSelectedFile(m_list, QStringLiteral("sub/live")).ok);
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(rowNames(), QStringList{QStringLiteral("song.mp3")});
    EXPECT_EQ(test::readAll(m_folder.file(QStringLiteral("live.mp3"))), QByteArray("other"));
}

TEST_F(NamesTest, RenameWithoutSelectionOrNameDoesNothing)
{
    list({QStringLiteral("song.mp3")});
    EXPECT_TRUE(renameSelectedFile(m_list, QStringLiteral("live")).ok);
    m_list.selectAll();
    EXPECT_TRUE(renameSelectedFile(m_list, QString()).ok);
    EXPECT_EQ(filesOnDisk(), QStringList{QStringLiteral("song.mp3")});
}

} // namespace
} // namespace sonavell
