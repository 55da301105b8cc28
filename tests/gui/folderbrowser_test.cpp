#include "gui/ui/folderbrowser.h"

#include "dialogtesthelpers.h"
#include "testname.h"
#include "testsupport.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

struct NiceNameCase
{
    const char *text;
    const char *nice;
};

class NiceName : public ::testing::TestWithParam<NiceNameCase>
{
};

TEST_P(NiceName, CapitalsOnlyKeepOneCapital)
{
    EXPECT_EQ(FolderBrowser::niceName(QString::fromUtf8(GetParam().text)),
              QString::fromUtf8(GetParam().nice));
}

INSTANTIATE_TEST_SUITE_P(Texts, NiceName,
                         ::testing::Values(NiceNameCase{"PROGRAM FILES", "Program files"},
                                           NiceNameCase{"MP3", "Mp3"}, NiceNameCase{"Music", "Music"},
                                           NiceNameCase{"mUSIC", "mUSIC"},
                                           NiceNameCase{"live 2024", "live 2024"},
                                           NiceNameCase{"2024", "2024"}, NiceNameCase{"", ""},
                                           NiceNameCase{"ÄPFEL", "Äpfel"}),
                         [](const auto &info) { return test::testName(info.param.text); });

class FolderBrowserTest : public ::testing::Test
{
protected:
    FolderBrowserTest()
    {
        for (const char *folder : {"Live/2024", "Live/Studio", "EMPTY", ".cache"})
            QDir().mkpath(m_folder.file(QString::fromLatin1(folder)));
        EXPECT_TRUE(test::writeAll(m_folder.file(QStringLiteral("song.mp3")), QByteArray(16, '\0')));
        m_browser = std::make_unique<FolderBrowser>(
            QStringLiteral("Record File Path"), QStringLiteral("Blar blar..."), nullptr,
            QList<FolderBrowser::Place>{
                {m_folder.path(), m_folder.path(), FolderBrowser::PlaceKind::Fixed},
                {QStringLiteral("/"), QStringLiteral("/"), FolderBrowser::PlaceKind::Fixed}});
        m_browser->show();
    }

    QTreeWidgetItem *place() const { return m_browser->tree()->topLevelItem(0); }
    QPushButton *ok() const
    {
        return m_browser->findChild<QDialogButtonBox *>(QStringLiteral("buttons"))
            ->button(QDialogButtonBox::Ok);
    }
    static QStringList texts(const QTreeWidgetItem *item)
    {
        QStringList result;
        for (int i = 0; i < item->childCount(); ++i)
            result << item->child(i)->text(0);
        return result;
    }

    test::TempFolder m_folder;
    std::unique_ptr<FolderBrowser> m_browser;
};

TEST_F(FolderBrowserTest, OpensWithPlacesAndTheNetworkLastAndOkDisabled)
{
    EXPECT_EQ(m_browser->windowTitle(), QStringLiteral("Record File Path"));
    EXPECT_EQ(m_browser->findChild<QLabel *>(QStringLiteral("promptLabel"))->text(),
              QStringLiteral("Blar blar..."));
    QTreeWidget *tree = m_browser->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(2), m_browser->networkRoot());
    EXPECT_EQ(m_browser->networkRoot()->text(0), QStringLiteral("Network Neighborhood"));
    EXPECT_EQ(place()->childCount(), 0); // nothing is read before it is opened
    EXPECT_EQ(place()->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_FALSE(ok()->isEnabled());
}

TEST_F(FolderBrowserTest, OpeningAFolderListsItsVisibleSubFoldersAndSelectsIt)
{
    place()->setExpanded(true);
    EXPECT_EQ(texts(place()), (QStringList{QStringLiteral("Empty"), QStringLiteral("Live")}));
    EXPECT_EQ(m_browser->tree()->currentItem(), place());
    EXPECT_TRUE(ok()->isEnabled());

    QTreeWidgetItem *live = place()->child(1);
    live->setExpanded(true);
    EXPECT_EQ(texts(live), (QStringList{QStringLiteral("2024"), QStringLiteral("Studio")}));
    EXPECT_EQ(FolderBrowser::fullPath(live->child(1)), m_folder.path() + QStringLiteral("/Live/Studio/"));
    test::saveScreenshot(*m_browser, QStringLiteral("folderbrowser.png"));
}

TEST_F(FolderBrowserTest, AFolderWithoutSubFoldersLosesItsExpandMark)
{
    place()->setExpanded(true);
    QTreeWidgetItem *empty = place()->child(0);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    empty->setExpanded(true);
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_EQ(m_browser->tree()->currentItem(), empty);
}

TEST_F(FolderBrowserTest, PathsUseTheRealNamesAndEndInASeparator)
{
    place()->setExpanded(true);
    // Shown prettied, but the path keeps the name the file system knows.
    EXPECT_EQ(FolderBrowser::fullPath(place()->child(0)), m_folder.path() + QStringLiteral("/EMPTY/"));
    EXPECT_EQ(FolderBrowser::fullPath(place()), m_folder.path() + QLatin1Char('/'));
    EXPECT_EQ(FolderBrowser::fullPath(m_browser->tree()->topLevelItem(1)), QStringLiteral("/"));

    m_browser->tree()->setCurrentItem(place()->child(0));
    ok()->click();
    EXPECT_EQ(m_browser->result(), QDialog::Accepted);
    EXPECT_EQ(m_browser->chosenPath(), m_folder.path() + QStringLiteral("/EMPTY/"));
}

TEST_F(FolderBrowserTest, TheNetworkRootDisablesOkAndStaysEmpty)
{
    place()->setExpanded(true);
    EXPECT_TRUE(ok()->isEnabled());
    m_browser->tree()->setCurrentItem(m_browser->networkRoot());
    EXPECT_FALSE(ok()->isEnabled());
    m_browser->accept(); // as Enter would
    EXPECT_TRUE(m_browser->isVisible());

    m_browser->networkRoot()->setExpanded(true);
    EXPECT_EQ(m_browser->networkRoot()->childCount(), 0);
    EXPECT_EQ(m_browser->networkRoot()->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_TRUE(FolderBrowser::fullPath(m_browser->networkRoot()).isEmpty());
}

TEST_F(FolderBrowserTest, SelectPathOpensTheWayDown)
{
    QTreeWidgetItem *item = m_browser->selectPath(m_folder.file(QStringLiteral("Live/2024")));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(0), QStringLiteral("2024"));
    EXPECT_EQ(m_browser->tree()->currentItem(), item);
    // A path that goes on past the existing folders stops at the last one found.
    item = m_browser->selectPath(m_folder.file(QStringLiteral("Live/missing/deeper")));
    EXPECT_EQ(FolderBrowser::fullPath(item), m_folder.path() + QStringLiteral("/Live/"));
}

TEST(FolderBrowserPlaces, RootAndHomeComeFirst)
{
    const QList<FolderBrowser::Place> places = FolderBrowser::systemPlaces();
    ASSERT_GE(places.size(), 2);
    EXPECT_EQ(places[0].path, QStringLiteral("/"));
    EXPECT_EQ(places[1].path, QDir::homePath());
    EXPECT_EQ(places[1].kind, FolderBrowser::PlaceKind::Home);
    for (const FolderBrowser::Place &place : places.mid(2))
        EXPECT_TRUE(QFileInfo(place.path).isDir()) << place.path.toStdString();
}

struct BrowseCase
{
    const char *name;
    bool accept;
    int size;
    int expectedLength; // -1: the whole path
};

class BrowseForFolder : public ::testing::TestWithParam<BrowseCase>
{
};

TEST_P(BrowseForFolder, HandsBackTheChosenPathCutToSize)
{
    const BrowseCase &c = GetParam();
    test::TempFolder folder;
    QDir().mkpath(folder.file(QStringLiteral("Take")));
    const QString wanted = folder.path() + QStringLiteral("/Take/");
    test::NextModal<FolderBrowser> answer([&](FolderBrowser *browser) {
        EXPECT_EQ(browser->windowTitle(), QStringLiteral("Select Wav File Path"));
        browser->selectPath(wanted);
        if (c.accept)
            browser->accept();
        else
            browser->reject();
    });
    QString buffer = QStringLiteral("previous");
    const bool chosen = browseForFolder(nullptr, QStringLiteral("Select Wav File Path"),
                                        QStringLiteral("Blar blar..."), buffer, c.size);
    EXPECT_TRUE(answer.handled());
    EXPECT_EQ(chosen, c.accept);
    if (!c.accept)
        EXPECT_TRUE(buffer.isEmpty());
    else
        EXPECT_EQ(buffer, c.expectedLength < 0 ? wanted : wanted.left(c.expectedLength));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrowseForFolder,
    ::testing::Values(BrowseCase{"Ok", true, 199, -1}, BrowseCase{"Cancel", false, 199, -1},
                      BrowseCase{"CutToSizeLessOne", true, 6, 5}, BrowseCase{"NoRoom", true, 1, 0}),
    [](const ::testing::TestParamInfo<BrowseCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace sonavell
