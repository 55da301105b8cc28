#include "dialogtesthelpers.h"
#include "core/settings/recordersettings.h"
#include "gui/process/bitratevolumedialog.h"
#include "gui/process/joindialog.h"
#include "gui/process/splitdialog.h"
#include "gui/process/trimdialog.h"
#include "gui/process/wavtomp3dialog.h"
#include "testsupport.h"
#include "gui/ui/editctrl.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace sonavell {
namespace {

// Every text a dialog shows in labels, group titles, check boxes and buttons, in widget order.
QStringList shownTexts(const QDialog &dialog)
{
    QStringList texts;
    for (const QObject *child : dialog.findChildren<QObject *>()) {
        if (const auto *label = qobject_cast<const QLabel *>(child))
            texts.append(label->text());
        else if (const auto *group = qobject_cast<const QGroupBox *>(child))
            texts.append(group->title());
        else if (const auto *button = qobject_cast<const QAbstractButton *>(child))
            texts.append(button->text());
    }
    return texts;
}

QStringList rateEntries(const QComboBox *list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->itemText(i));
    return entries;
}

struct DialogCase
{
    const char *name;
    std::function<std::unique_ptr<QDialog>()> make;
    const char *title;
    std::vector<const char *> texts; // each shown at least once
};

class ProcessDialogTextTest : public ::testing::TestWithParam<DialogCase>
{
};

TEST_P(ProcessDialogTextTest, ShowsItsOwnTexts)
{
    const std::unique_ptr<QDialog> dialog = GetParam().make();
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(GetParam().title));
    const QStringList texts = shownTexts(*dialog);
    for (const char *text : GetParam().texts)
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text << " in " << texts.join(QLatin1Char('|')).toStdString();
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));

    dialog->show();
    dialog->adjustSize();
    test::saveScreenshot(*dialog, QStringLiteral("dialog_%1.png").arg(QString::fromLatin1(GetParam().name)));
}

template <typename T> std::function<std::unique_ptr<QDialog>()> maker()
{
    return [] { return std::make_unique<T>(); };
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, ProcessDialogTextTest,
    ::testing::Values(
        DialogCase{"split", maker<SplitDialog>(), "Splite", {"Volume Scale ", "Splite Count"}},
        DialogCase{"join", maker<JoinDialog>(), "Joint Mp3 File", {"Data  Rate", "Mp3 File", "..."}},
        DialogCase{"bitrate", maker<BitrateVolumeDialog>(), "Change bitrate/Volume", {"Data  Rate", "Volume Scale "}},
        DialogCase{"trim",
                   maker<TrimDialog>(),
                   "Trim Out Start & End Part",
                   {"Start Time Length", "End Time Length", "Hour", "Minute", "Second", "Data Rate", "ReCode"}},
        DialogCase{"wavtomp3",
                   maker<WavToMp3Dialog>(),
                   "Wav to Mp3 Convert",
                   {"Data  Rate", "Volume Scale ", "Wav File", "Mp3 File", "..."}}),
    [](const ::testing::TestParamInfo<DialogCase> &info) { return std::string(info.param.name); });

// The dialogs read the settings' Data Rate; each test starts from a known one.
class ProcessDialogTest : public ::testing::Test
{
protected:
    ProcessDialogTest()
    {
        m_saved = settings();
        settings().setBitRateIndex(5); // 48 kbps
    }
    ~ProcessDialogTest() override { settings() = m_saved; }

    static void expectVolumeField(const EditCtrl *edit)
    {
        EXPECT_DOUBLE_EQ(edit->minimum(), 0.1);
        EXPECT_DOUBLE_EQ(edit->maximum(), 10.0);
        EXPECT_EQ(edit->decimals(), 2);
        EXPECT_EQ(edit->fieldWidth(), 4);
        EXPECT_DOUBLE_EQ(edit->step(), 0.01);
        EXPECT_DOUBLE_EQ(edit->value(), 1.0);
    }
    static void expectRateList(const QComboBox *list, int current)
    {
        EXPECT_EQ(rateEntries(list),
                  QStringList({QStringLiteral("8 kbps"), QStringLiteral("16 kbps"), QStringLiteral("24 kbps"),
                               QStringLiteral("32 kbps"), QStringLiteral("40 kbps"), QStringLiteral("48 kbps"),
                               QStringLiteral("56 kbps"), QStringLiteral("64 kbps"), QStringLiteral("80 kbps"),
                               QStringLiteral("96 kbps"), QStringLiteral("112 kbps"), QStringLiteral("128 kbps"),
                               QStringLiteral("144 kbps"), QStringLiteral("160 kbps")}));
        EXPECT_EQ(list->currentIndex(), current);
    }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
};

TEST_F(ProcessDialogTest, SplitTakesAVolumeScaleAndTwoToAHundredParts)
{
    SplitDialog dialog;
    expectVolumeField(dialog.volumeEdit());
    EXPECT_DOUBLE_EQ(dialog.countEdit()->minimum(), 2);
    EXPECT_DOUBLE_EQ(dialog.countEdit()->maximum(), 100);
    EXPECT_EQ(dialog.partCount(), 2);
    EXPECT_FLOAT_EQ(dialog.volumeScale(), 1.0f);

    dialog.countEdit()->setValue(250);
    dialog.volumeEdit()->setValue(0.05);
    EXPECT_EQ(dialog.partCount(), 100);
    EXPECT_FLOAT_EQ(dialog.volumeScale(), 0.1f);
    dialog.countEdit()->setValue(7);
    dialog.volumeEdit()->setValue(2.5);
    EXPECT_EQ(dialog.partCount(), 7);
    EXPECT_FLOAT_EQ(dialog.volumeScale(), 2.5f);
}

TEST_F(ProcessDialogTest, ChangeBitrateOffersTheDataRatesAndAVolumeScale)
{
    BitrateVolumeDialog dialog;
    expectRateList(dialog.rateList(), 5);
    expectVolumeField(dialog.volumeEdit());
    dialog.setDataRateIndex(7);
    EXPECT_EQ(dialog.bitrateKbps(), 64);
}

TEST_F(ProcessDialogTest, TrimCutsTenSecondsOffEachEndAndOffersTheDataRateOnlyForReCode)
{
    TrimDialog dialog;
    for (const auto &group : {dialog.startEdits(), dialog.endEdits()}) {
        for (const EditCtrl *edit : group) {
            EXPECT_DOUBLE_EQ(edit->minimum(), 0);
            EXPECT_DOUBLE_EQ(edit->maximum(), 60);
        }
        EXPECT_DOUBLE_EQ(group[0]->value(), 0);
        EXPECT_DOUBLE_EQ(group[1]->value(), 0);
        EXPECT_DOUBLE_EQ(group[2]->value(), 10);
    }
    EXPECT_EQ(dialog.startTrimSeconds(), 10);
    EXPECT_EQ(dialog.endTrimSeconds(), 10);
    expectRateList(dialog.rateList(), 5);
    EXPECT_FALSE(dialog.recode());
    EXPECT_FALSE(dialog.rateList()->isEnabled());

    dialog.recodeCheck()->click();
    EXPECT_TRUE(dialog.recode());
    EXPECT_TRUE(dialog.rateList()->isEnabled());
    dialog.recodeCheck()->click();
    EXPECT_FALSE(dialog.rateList()->isEnabled());

    dialog.startEdits()[0]->setValue(1);
    dialog.startEdits()[1]->setValue(2);
    dialog.startEdits()[2]->setValue(3);
    dialog.endEdits()[0]->setValue(99);
    dialog.endEdits()[1]->setValue(0);
    dialog.endEdits()[2]->setValue(0);
    EXPECT_EQ(dialog.startTrimSeconds(), 3723);
    EXPECT_EQ(dialog.endTrimSeconds(), 60 * 3600);
}

TEST_F(ProcessDialogTest, JoinStartsWithTheSettingsRateAndAnEmptyOutput)
{
    JoinDialog dialog;
    expectRateList(dialog.rateList(), 5);
    EXPECT_TRUE(dialog.outputPath().isEmpty());
    EXPECT_FALSE(dialog.outputEdit()->isReadOnly());
    dialog.outputEdit()->setText(m_folder.file(QStringLiteral("all.mp3")));
    EXPECT_EQ(dialog.outputPath(), m_folder.file(QStringLiteral("all.mp3")));
}

TEST_F(ProcessDialogTest, JoinOutputIsChosenInTheRememberedFolderWhichIsKeptAgain)
{
    const QString start = m_folder.file(QStringLiteral("start"));
    const QString chosen = m_folder.file(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(start));
    ASSERT_TRUE(QDir().mkpath(chosen));
    ASSERT_TRUE(writeFolderValue(QStringLiteral("OpenDir"), start + QLatin1Char('/')));

    JoinDialog dialog;
    QString startedIn;
    QString filter;
    test::NextModal<QFileDialog> save([&](QFileDialog *files) {
        startedIn = files->directory().absolutePath();
        filter = files->selectedNameFilter();
        files->setDirectory(chosen);
        files->selectFile(QStringLiteral("together"));
        static_cast<QDialog *>(files)->accept(); // the file dialog hides its own accept()
    });
    dialog.outputButton()->click();
    ASSERT_TRUE(save.handled());
    EXPECT_EQ(startedIn, start);
    EXPECT_TRUE(filter.startsWith(QStringLiteral("Files(*.mp3"))) << filter.toStdString();
    EXPECT_EQ(dialog.outputPath(), chosen + QStringLiteral("/together.mp3"));
    EXPECT_EQ(readFolderValue(QStringLiteral("OpenDir")), chosen + QLatin1Char('/'));
}

TEST_F(ProcessDialogTest, WavToMp3ChoosesTheWavAndTheMp3InTheirOwnFolders)
{
    const QString wavFolder = m_folder.file(QStringLiteral("wav"));
    const QString mp3Folder = m_folder.file(QStringLiteral("mp3"));
    ASSERT_TRUE(QDir().mkpath(wavFolder));
    ASSERT_TRUE(QDir().mkpath(mp3Folder));
    const QString wav = wavFolder + QStringLiteral("/voice.wav");
    ASSERT_TRUE(test::writeAll(wav, QByteArray("RIFF")));
    ASSERT_TRUE(writeFolderValue(QStringLiteral("OpenDir_Wav"), wavFolder + QLatin1Char('/')));
    ASSERT_TRUE(writeFolderValue(QStringLiteral("OpenDir"), mp3Folder + QLatin1Char('/')));

    WavToMp3Dialog dialog;
    expectRateList(dialog.rateList(), 5);
    expectVolumeField(dialog.volumeEdit());
    EXPECT_TRUE(dialog.wavEdit()->isReadOnly());
    EXPECT_TRUE(dialog.mp3Edit()->isReadOnly());

    QString wavStart;
    test::NextModal<QFileDialog> open([&](QFileDialog *files) {
        wavStart = files->directory().absolutePath();
        files->selectFile(wav);
        static_cast<QDialog *>(files)->accept(); // the file dialog hides its own accept()
    });
    dialog.wavButton()->click();
    ASSERT_TRUE(open.handled());
    EXPECT_EQ(wavStart, wavFolder);
    EXPECT_EQ(dialog.wavPath(), wav);

    QString mp3Start;
    test::NextModal<QFileDialog> save([&](QFileDialog *files) {
        mp3Start = files->directory().absolutePath();
        files->selectFile(QStringLiteral("voice"));
        static_cast<QDialog *>(files)->accept(); // the file dialog hides its own accept()
    });
    dialog.mp3Button()->click();
    ASSERT_TRUE(save.handled());
    EXPECT_EQ(mp3Start, mp3Folder);
    EXPECT_EQ(dialog.mp3Path(), mp3Folder + QStringLiteral("/voice.mp3"));
    EXPECT_EQ(readFolderValue(QStringLiteral("OpenDir_Wav")), wavFolder + QLatin1Char('/'));
    EXPECT_EQ(readFolderValue(QStringLiteral("OpenDir")), mp3Folder + QLatin1Char('/'));
}

TEST_F(ProcessDialogTest, CancelledFileChoiceKeepsTheFieldAndTheRememberedFolder)
{
    ASSERT_TRUE(writeFolderValue(QStringLiteral("OpenDir_Wav"), m_folder.path() + QLatin1Char('/')));
    WavToMp3Dialog dialog;
    test::NextModal<QFileDialog> open([](QFileDialog *files) { files->reject(); });
    dialog.wavButton()->click();
    ASSERT_TRUE(open.handled());
    EXPECT_TRUE(dialog.wavPath().isEmpty());
    EXPECT_EQ(readFolderValue(QStringLiteral("OpenDir_Wav")), m_folder.path() + QLatin1Char('/'));
}

} // namespace
} // namespace sonavell
