#include "core/files/filelist.h"

#include "../mp3/mp3frames.h"
#include "mp3files.h"
#include "testname.h"
#include "testsupport.h"

#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace sonavell {
namespace {

// An MP3 that plays for at least `seconds` (whole frames of 72 ms).
void writeMp3(const QString &path, double seconds)
{
    ASSERT_TRUE(test::writeTinyMp3(path, seconds));
}

class FileListTest : public ::testing::Test
{
protected:
    QString mp3(const QString &name, double seconds = 1.0)
    {
        const QString path = m_folder.file(name);
        writeMp3(path, seconds);
        return path;
    }
    QStringList names() const
    {
        QStringList out;
        for (int row = 0; row < m_list.rowCount(); ++row)
            out << m_list.row(row)[FileList::NameColumn];
        return out;
    }
    QStringList column(int column) const
    {
        QStringList out;
        for (int row = 0; row < m_list.rowCount(); ++row)
            out << m_list.row(row)[static_cast<std::size_t>(column)];
        return out;
    }
    std::vector<int> selected() const { return m_list.selectedRows(); }

    test::TempFolder m_folder;
    FileList m_list;
};

TEST_F(FileListTest, RowShowsNameSizeTimeAndFolder)
{
    const QString path = mp3(QStringLiteral("b.mp3"), 125.0);
    ASSERT_TRUE(m_list.addFile(path));
    const FileList::Row &row = m_list.row(0);
    EXPECT_EQ(row[FileList::NameColumn], QStringLiteral("b.mp3"));
    EXPECT_EQ(row[FileList::SizeColumn], QStringLiteral("%1KB").arg(QFile(path).size() / 1024));
    EXPECT_EQ(row[FileList::TimeColumn], QStringLiteral("2:05"));
    EXPECT_EQ(row[FileList::DirectoryColumn], m_folder.path());
    EXPECT_EQ(m_list.pathOfRow(0), path);

    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("small.mp3")), QByteArray(1023, '\0')));
    ASSERT_TRUE(m_list.addFile(m_folder.file(QStringLiteral("small.mp3"))));
    EXPECT_EQ(m_list.row(1)[FileList::SizeColumn], QStringLiteral("0KB"));
    ASSERT_TRUE(m_list.addFile(mp3(QStringLiteral("short.mp3"), 59.0)));
    EXPECT_EQ(m_list.row(2)[FileList::TimeColumn], QStringLiteral("0:59"));
    EXPECT_EQ(FileList::headerTexts(),
              (QStringList{QStringLiteral("File Name"), QStringLiteral("Size"), QStringLiteral("Time(m:s)"),
                           QStringLiteral("Save Directory")}));
}

TEST_F(FileListTest, AddingAListedPathReplacesAndMovesItsRow)
{
    const QString a = mp3(QStringLiteral("a.mp3"));
    m_list.addFile(a);
    m_list.addFile(mp3(QStringLiteral("b.mp3")));
    m_list.addFile(a);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("b.mp3"), QStringLiteral("a.mp3")}));

    QFile::remove(a);
    EXPECT_FALSE(m_list.addFile(a));
    EXPECT_EQ(names(), QStringList{QStringLiteral("b.mp3")});
}

TEST_F(FileListTest, SortsNumbersAsNumbersAndFirstClickDescends)
{
    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("nine.mp3")), QByteArray(9 * 1024, '\0')));
    ASSERT_TRUE(test::writeAll(m_folder.file(QStringLiteral("ten.mp3")), QByteArray(10 * 1024, '\0')));
    m_list.addFile(m_folder.file(QStringLiteral("ten.mp3")));
    m_list.addFile(m_folder.file(QStringLiteral("nine.mp3")));
    m_list.sortByColumn(FileList::SizeColumn);
    EXPECT_EQ(column(FileList::SizeColumn), (QStringList{QStringLiteral("10KB"), QStringLiteral("9KB")}));
    m_list.sortByColumn(FileList::SizeColumn);
    EXPECT_EQ(column(FileList::SizeColumn), (QStringList{QStringLiteral("9KB"), QStringLiteral("10KB")}));

    m_list.removeAllRows();
    m_list.addFile(mp3(QStringLiteral("ten-minutes.mp3"), 600.0));
    m_list.addFile(mp3(QStringLiteral("almost.mp3"), 599.0));
    m_list.sortByColumn(FileList::TimeColumn); // its own first click: descending
    EXPECT_EQ(column(FileList::TimeColumn), (QStringList{QStringLiteral("10:00"), QStringLiteral("9:59")}));
    m_list.sortByColumn(FileList::TimeColumn);
    EXPECT_EQ(column(FileList::TimeColumn), (QStringList{QStringLiteral("9:59"), QStringLiteral("10:00")}));

    m_list.sortByColumn(FileList::NameColumn);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("ten-minutes.mp3"), QStringLiteral("almost.mp3")}));
}

TEST_F(FileListTest, NamesSortByteWiseAndKeepTheSelection)
{
    for (const char *name : {"b.mp3", "B.mp3", "a.mp3", "ab.mp3"})
        m_list.addFile(mp3(QString::fromLatin1(name)));
    m_list.selectRow(0); // b.mp3
    m_list.sortByColumn(FileList::NameColumn);
    m_list.sortByColumn(FileList::NameColumn);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("B.mp3"), QStringLiteral("a.mp3"), QStringLiteral("ab.mp3"),
                                    QStringLiteral("b.mp3")}));
    EXPECT_EQ(m_list.firstSelectedName(), QStringLiteral("b.mp3"));
}

TEST_F(FileListTest, DraggingOneRowDownLandsAboveTheDropRow)
{
    for (int i = 0; i < 5; ++i)
        m_list.addFile(mp3(QStringLiteral("%1.mp3").arg(i)));
    m_list.selectRow(0);
    m_list.moveDraggedRows(0, 3);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("1.mp3"), QStringLiteral("2.mp3"), QStringLiteral("0.mp3"),
                                    QStringLiteral("3.mp3"), QStringLiteral("4.mp3")}));
    EXPECT_EQ(selected(), std::vector<int>{2});

    m_list.selectRow(4);
    m_list.moveDraggedRows(4, 0);
    EXPECT_EQ(names().front(), QStringLiteral("4.mp3"));
}

TEST_F(FileListTest, DraggingSeveralRowsToEmptySpaceMovesThemToTheEndInOrder)
{
    for (int i = 0; i < 5; ++i)
        m_list.addFile(mp3(QStringLiteral("%1.mp3").arg(i)));
    m_list.selectRow(0);
    m_list.selectRow(2, false);
    m_list.selectRow(3, false);
    m_list.moveDraggedRows(0, -1);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("1.mp3"), QStringLiteral("4.mp3"), QStringLiteral("0.mp3"),
                                    QStringLiteral("2.mp3"), QStringLiteral("3.mp3")}));
    EXPECT_EQ(selected(), (std::vector<int>{2, 3, 4}));

    m_list.selectRow(0);
    m_list.selectRow(1, false);
    m_list.moveDraggedRows(0, 3); // 1.mp3 and 4.mp3 land before what was row 3
    EXPECT_EQ(names(), (QStringList{QStringLiteral("0.mp3"), QStringLiteral("1.mp3"), QStringLiteral("4.mp3"),
                                    QStringLiteral("2.mp3"), QStringLiteral("3.mp3")}));
}

TEST_F(FileListTest, SelectionCommands)
{
    for (int i = 0; i < 3; ++i)
        m_list.addFile(mp3(QStringLiteral("%1.mp3").arg(i)));
    QStringList paths;
    EXPECT_EQ(m_list.collectSelected(paths), 0);
    EXPECT_TRUE(m_list.firstSelectedPath().isEmpty());
    m_list.selectRow(1);
    m_list.invertSelection();
    EXPECT_EQ(selected(), (std::vector<int>{0, 2}));
    EXPECT_EQ(m_list.collectSelected(paths), 2);
    EXPECT_EQ(paths, (QStringList{m_folder.file(QStringLiteral("0.mp3")), m_folder.file(QStringLiteral("2.mp3"))}));
    m_list.selectAll();
    EXPECT_EQ(selected(), (std::vector<int>{0, 1, 2}));
    m_list.removeSelectedRows();
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_TRUE(QFile::exists(m_folder.file(QStringLiteral("1.mp3"))));
}

TEST_F(FileListTest, DeletingFilesStopsAtTheFirstFailure)
{
    for (int i = 0; i < 3; ++i)
        m_list.addFile(mp3(QStringLiteral("%1.mp3").arg(i)));
    EXPECT_TRUE(m_list.deleteSelectedFiles().ok); // nothing selected: nothing happens
    EXPECT_EQ(m_list.rowCount(), 3);

    QFile::remove(m_folder.file(QStringLiteral("1.mp3")));
    m_list.selectAll();
    QSignalSpy errors(&m_list, &FileList::fileError);
    const FileList::FileResult result = m_list.deleteSelectedFiles();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.path, m_folder.file(QStringLiteral("1.mp3")));
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("1.mp3"), QStringLiteral("2.mp3")}));
    EXPECT_FALSE(QFile::exists(m_folder.file(QStringLiteral("0.mp3"))));

    // Deleting all keeps every row when one file fails, even those whose file is gone.
    EXPECT_FALSE(m_list.deleteAllFiles().ok);
    EXPECT_EQ(m_list.rowCount(), 2);
    m_list.removeAllRows();
    m_list.addFile(mp3(QStringLiteral("x.mp3")));
    EXPECT_TRUE(m_list.deleteAllFiles().ok);
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_FALSE(QFile::exists(m_folder.file(QStringLiteral("x.mp3"))));
}

TEST_F(FileListTest, InPlaceRenameForcesTheMp3Extension)
{
    m_list.addFile(mp3(QStringLiteral("take1.mp3")));
    EXPECT_TRUE(m_list.setData(m_list.index(0, FileList::NameColumn), QStringLiteral("take2")));
    EXPECT_EQ(names(), QStringList{QStringLiteral("take2.mp3")});
    EXPECT_TRUE(QFile::exists(m_folder.file(QStringLiteral("take2.mp3"))));
    EXPECT_TRUE(m_list.setData(m_list.index(0, FileList::NameColumn), QStringLiteral("Take2.MP3")));
    EXPECT_EQ(names(), QStringList{QStringLiteral("Take2.MP3")});
    EXPECT_TRUE(QFile::exists(m_folder.file(QStringLiteral("Take2.MP3"))));
    EXPECT_FALSE(m_list.setData(m_list.index(0, FileList::NameColumn), QString()));
    EXPECT_EQ(names(), QStringList{QStringLiteral("Take2.MP3")});

    // A name already taken fails and leaves the row as it was.
    mp3(QStringLiteral("other.mp3"));
    EXPECT_FALSE(m_list.setData(m_list.index(0, FileList::NameColumn), QStringLiteral("other")));
    EXPECT_EQ(names(), QStringList{QStringLiteral("Take2.MP3")});
}

TEST_F(FileListTest, SavedListComesBackWithoutVanishedFiles)
{
    m_list.addFile(mp3(QStringLiteral("keep.mp3")));
    m_list.addFile(mp3(QStringLiteral("gone.mp3")));
    const QStringList saved = m_list.allPaths();
    QFile::remove(m_folder.file(QStringLiteral("gone.mp3")));
    FileList restored;
    restored.restore(saved);
    ASSERT_EQ(restored.rowCount(), 1);
    EXPECT_EQ(restored.pathOfRow(0), m_folder.file(QStringLiteral("keep.mp3")));
}

// A named pipe in the saved list would block the start-up before the window shows.
TEST_F(FileListTest, SavedNamedPipeIsLeftOutWithoutBlocking)
{
    const QString fifo = m_folder.file(QStringLiteral("fifo.mp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    FileList restored;
    restored.restore({fifo, mp3(QStringLiteral("keep.mp3"))});
    ASSERT_EQ(restored.rowCount(), 1);
    EXPECT_EQ(restored.pathOfRow(0), m_folder.file(QStringLiteral("keep.mp3")));
}

TEST_F(FileListTest, MixedRateFileShowsItsWalkedLengthAndIsNotWalkedTwice)
{
    const QString path = m_folder.file(QStringLiteral("vbr.mp3"));
    const test::FrameSpec spec;
    ASSERT_TRUE(test::writeAll(path, test::makeStream(spec, 3000, {9, 5, 14}))); // 78 s
    ASSERT_TRUE(m_list.addFile(path));
    QSignalSpy changed(&m_list, &QAbstractItemModel::dataChanged);
    m_list.waitForWalkedLengths();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(m_list.row(0)[FileList::TimeColumn], QStringLiteral("1:18"));
    // Unchanged on disk: the length measured is taken again, without a walk.
    ASSERT_TRUE(m_list.addFile(path));
    EXPECT_EQ(m_list.row(0)[FileList::TimeColumn], QStringLiteral("1:18"));
}

TEST_F(FileListTest, RefreshMeasuresSelectedFilesAgain)
{
    const QString path = mp3(QStringLiteral("grow.mp3"), 10.0);
    m_list.addFile(path);
    writeMp3(path, 70.0);
    m_list.selectAll();
    EXPECT_EQ(m_list.refreshSelected(), 1);
    EXPECT_EQ(m_list.row(0)[FileList::TimeColumn], QStringLiteral("1:10"));
}

TEST_F(FileListTest, RefreshByPathMeasuresChangedFilesWhetherSelectedOrNot)
{
    const QString changed = mp3(QStringLiteral("changed.mp3"), 10.0);
    const QString other = mp3(QStringLiteral("other.mp3"), 10.0);
    m_list.addFile(changed);
    m_list.addFile(other);
    m_list.selectRow(1); // the selection moved on while the file was rewritten
    writeMp3(changed, 70.0);
    writeMp3(other, 70.0);
    EXPECT_EQ(m_list.refreshFiles({changed}), 1);
    EXPECT_EQ(column(FileList::TimeColumn), (QStringList{QStringLiteral("1:10"), QStringLiteral("0:10")}));
}

TEST_F(FileListTest, RenamesAndDeletionsAreAnnouncedWithTheFilesPaths)
{
    const QString first = mp3(QStringLiteral("first.mp3"));
    const QString second = mp3(QStringLiteral("second.mp3"));
    m_list.addFile(first);
    m_list.addFile(second);
    QSignalSpy renamed(&m_list, &FileList::fileRenamed);
    QSignalSpy deleted(&m_list, &FileList::fileDeleted);

    ASSERT_TRUE(m_list.renameRow(0, QStringLiteral("typed")).ok);
    // A rename done elsewhere (the replace job) that the list only shows.
    ASSERT_TRUE(QFile::rename(second, m_folder.file(QStringLiteral("moved.mp3"))));
    m_list.setRowName(1, QStringLiteral("moved.mp3"));
    ASSERT_EQ(renamed.size(), 2);
    EXPECT_EQ(renamed.at(0), (QVariantList{first, m_folder.file(QStringLiteral("typed.mp3"))}));
    EXPECT_EQ(renamed.at(1), (QVariantList{second, m_folder.file(QStringLiteral("moved.mp3"))}));

    m_list.selectRow(0);
    ASSERT_TRUE(m_list.deleteSelectedFiles().ok);
    ASSERT_TRUE(m_list.deleteAllFiles().ok);
    EXPECT_EQ(deleted.size(), 2);
    EXPECT_EQ(deleted.at(1).at(0).toString(), m_folder.file(QStringLiteral("moved.mp3")));
}

struct ExtensionCase
{
    const char *typed;
    const char *result;
};

class ForceMp3Extension : public ::testing::TestWithParam<ExtensionCase>
{
};

TEST_P(ForceMp3Extension, KeepsOrReplacesTheEnding)
{
    EXPECT_EQ(forceMp3Extension(QString::fromUtf8(GetParam().typed)), QString::fromUtf8(GetParam().result));
}

INSTANTIATE_TEST_SUITE_P(Table, ForceMp3Extension,
                         ::testing::Values(ExtensionCase{"song.wav", "song.mp3"}, ExtensionCase{"song", "song.mp3"},
                                           ExtensionCase{"Song.MP3", "Song.MP3"},
                                           ExtensionCase{"tune.ab", "tune.ab.mp3"}, ExtensionCase{"abc", "abc.mp3"},
                                           ExtensionCase{".ab", ".mp3"}, ExtensionCase{"", ".mp3"}),
                         [](const auto &info) { return test::spelledName(info.param.typed); });

} // namespace
} // namespace sonavell
