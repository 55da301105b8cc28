#include "gui/record/recordsetupdialog.h"

#include "dialogtesthelpers.h"
#include "platform/fakeaudioinput.h"
#include "platform/pulseaudioinput.h"
#include "platform/pulsecontext.h"
#include "pulsedaemon.h"
#include "core/record/recordmixer.h"
#include "core/settings/recordersettings.h"
#include "testsupport.h"
#include "gui/ui/folderbrowser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

class RecordSetupDialogTest : public ::testing::Test
{
protected:
    RecordSetupDialogTest()
    {
        m_input.setDeviceNames(
            {QStringLiteral("HDA Intel PCH: ALC3246 Analog"), QStringLiteral("USB Audio Device")});
        // A stored format whose byte rate and alignment were never made consistent.
        m_settings.setRecordFormat(WaveFormat{1, 2, 44100, 44100, 1, 16, 0});
        m_settings.setBitRateIndex(7); // 64 kbit/s
        m_settings.setSaveDirectory(QStringLiteral("/home/someone/Music/"));
        m_settings.setStopAfterSeconds(17);
        mixerDevice = 2;
    }
    ~RecordSetupDialogTest() override { mixerDevice = m_savedMixerDevice; }

    void open()
    {
        m_dialog = std::make_unique<RecordSetupDialog>(m_settings, m_input);
        m_dialog->show();
    }
    template <typename T> T *child(const char *name) const
    {
        T *found = m_dialog->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString estimate() const { return child<QLineEdit>("estimateEdit")->text(); }
    void press(QDialogButtonBox::StandardButton which)
    {
        child<QDialogButtonBox>("buttons")->button(which)->click();
    }
    static QStringList items(const QComboBox *combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }

    const std::int32_t m_savedMixerDevice = mixerDevice.load();
    FakeAudioInput m_input;
    RecorderSettings m_settings;
    std::unique_ptr<RecordSetupDialog> m_dialog;
};

TEST_F(RecordSetupDialogTest, ShowsTheStoredSetupWithItsTexts)
{
    open();
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Record and Convert Setup"));
    EXPECT_EQ(child<QLabel>("deviceLabel")->text(), QStringLiteral("Record device"));
    EXPECT_EQ(child<QGroupBox>("channelGroup")->title(), QStringLiteral("Channle"));
    EXPECT_EQ(child<QRadioButton>("monoRadio")->text(), QStringLiteral("Mono"));
    EXPECT_EQ(child<QRadioButton>("stereoRadio")->text(), QStringLiteral("Stereo"));
    EXPECT_EQ(child<QLabel>("sampleRateLabel")->text(), QStringLiteral("Sample Rate"));
    EXPECT_EQ(child<QLabel>("bitRateLabel")->text(), QStringLiteral("Data  Rate"));
    EXPECT_EQ(child<QLabel>("saveDirectoryLabel")->text(), QStringLiteral("Save Directory"));
    EXPECT_EQ(child<QPushButton>("browseButton")->text(), QStringLiteral("..."));

    EXPECT_EQ(
        items(child<QComboBox>("deviceCombo")),
        (QStringList{QStringLiteral("HDA Intel PCH: ALC3246 Analog"), QStringLiteral("USB Audio Device")}));
    EXPECT_EQ(items(child<QComboBox>("sampleRateCombo")),
              (QStringList{QStringLiteral("8000 Hz"), QStringLiteral("11025 Hz"), QStringLiteral("22050 Hz"),
                           QStringLiteral("44100 Hz")}));
    const QStringList rates = items(child<QComboBox>("bitRateCombo"));
    ASSERT_EQ(rates.size(), 14);
    EXPECT_EQ(rates.front(), QStringLiteral("8 kbps"));
    EXPECT_EQ(rates.back(), QStringLiteral("160 kbps"));

    EXPECT_EQ(child<QComboBox>("deviceCombo")->currentIndex(), 1);
    EXPECT_TRUE(child<QRadioButton>("stereoRadio")->isChecked());
    EXPECT_EQ(child<QComboBox>("sampleRateCombo")->currentText(), QStringLiteral("44100 Hz"));
    EXPECT_EQ(child<QComboBox>("bitRateCombo")->currentText(), QStringLiteral("64 kbps"));
    EXPECT_EQ(child<QLineEdit>("saveDirectoryEdit")->text(), QStringLiteral("/home/someone/Music/"));
    EXPECT_EQ(estimate(), QStringLiteral("3.750 MB/min"));
    test::saveScreenshot(*m_dialog, QStringLiteral("recordsetupdialog.png"));
}

TEST_F(RecordSetupDialogTest, EstimateFollowsTheBitRateOnly)
{
    open();
    child<QRadioButton>("monoRadio")->setChecked(true);
    EXPECT_EQ(estimate(), QStringLiteral("3.750 MB/min"));
    child<QComboBox>("sampleRateCombo")->setCurrentIndex(0);
    EXPECT_EQ(estimate(), QStringLiteral("3.750 MB/min"));
    child<QComboBox>("bitRateCombo")->setCurrentIndex(13);
    EXPECT_EQ(estimate(), QStringLiteral("9.375 MB/min"));
    child<QComboBox>("bitRateCombo")->setCurrentIndex(11);
    EXPECT_EQ(estimate(), QStringLiteral("7.500 MB/min"));
    EXPECT_EQ(RecordSetupDialog::estimateText(8), QStringLiteral("0.469 MB/min"));
}

TEST_F(RecordSetupDialogTest, OkStoresExactlyTheListedFields)
{
    open();
    child<QComboBox>("deviceCombo")->setCurrentIndex(0);
    child<QRadioButton>("monoRadio")->setChecked(true);
    child<QComboBox>("sampleRateCombo")->setCurrentIndex(2);
    child<QComboBox>("bitRateCombo")->setCurrentIndex(11);
    // Stored as typed: no separator is added.
    child<QLineEdit>("saveDirectoryEdit")->setText(QStringLiteral("/data/takes"));

    RecorderSettings expected = m_settings;
    press(QDialogButtonBox::Ok);
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);

    expected.setRecordFormat(WaveFormat{1, 1, 22050, 44100, 1, 16, 0});
    expected.setBitRateIndex(11);
    expected.setSaveDirectory(QStringLiteral("/data/takes"));
    EXPECT_EQ(m_settings.toBytes(), expected.toBytes());
    EXPECT_EQ(mixerDevice.load(), 1);
}

TEST_F(RecordSetupDialogTest, ARateOutsideTheTableShowsAndStoresTheFirst)
{
    m_settings.setSampleRate(32000);
    open();
    EXPECT_EQ(child<QComboBox>("sampleRateCombo")->currentText(), QStringLiteral("8000 Hz"));
    press(QDialogButtonBox::Ok);
    EXPECT_EQ(m_settings.sampleRate(), 8000);
}

TEST_F(RecordSetupDialogTest, CancelAfterChangingEverythingChangesNothing)
{
    const QByteArray before = m_settings.toBytes();
    open();
    child<QComboBox>("deviceCombo")->setCurrentIndex(0);
    child<QRadioButton>("monoRadio")->setChecked(true);
    child<QComboBox>("sampleRateCombo")->setCurrentIndex(0);
    child<QComboBox>("bitRateCombo")->setCurrentIndex(0);
    child<QLineEdit>("saveDirectoryEdit")->setText(QStringLiteral("/elsewhere/"));
    press(QDialogButtonBox::Cancel);
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
    EXPECT_EQ(m_settings.toBytes(), before);
    EXPECT_EQ(mixerDevice.load(), 2);
}

TEST_F(RecordSetupDialogTest, WithoutDevicesOkStoresDeviceZero)
{
    m_input.setDeviceNames({});
    open();
    EXPECT_EQ(child<QComboBox>("deviceCombo")->count(), 0);
    press(QDialogButtonBox::Ok);
    EXPECT_EQ(mixerDevice.load(), 0);
}

TEST_F(RecordSetupDialogTest, OddStoredValuesNeverStoreAnImpossibleFormat)
{
    m_settings.setRecordFormat(WaveFormat{1, 0, 44100, 44100, 1, 16, 0});
    m_settings.setBitRateIndex(40);
    open();
    EXPECT_TRUE(child<QRadioButton>("monoRadio")->isChecked());
    EXPECT_EQ(child<QComboBox>("bitRateCombo")->currentText(), QStringLiteral("160 kbps"));
    press(QDialogButtonBox::Ok);
    EXPECT_EQ(m_settings.recordFormat().channels, 1);
    EXPECT_EQ(m_settings.bitRateIndex(), 13);
}

TEST_F(RecordSetupDialogTest, BrowseButtonPutsTheChosenFolderInTheEdit)
{
    test::TempFolder folder;
    open();
    {
        test::NextModal<FolderBrowser> answer([&](FolderBrowser *browser) {
            EXPECT_EQ(browser->windowTitle(), QStringLiteral("Record File Path"));
            browser->selectPath(folder.path());
            test::saveScreenshot(*browser, QStringLiteral("recordsetup-browse.png"));
            browser->accept();
        });
        child<QPushButton>("browseButton")->click();
        EXPECT_TRUE(answer.handled());
    }
    EXPECT_EQ(child<QLineEdit>("saveDirectoryEdit")->text(), folder.path() + QLatin1Char('/'));

    test::NextModal<FolderBrowser> cancel([](FolderBrowser *browser) { browser->reject(); });
    child<QPushButton>("browseButton")->click();
    EXPECT_TRUE(cancel.handled());
    EXPECT_EQ(child<QLineEdit>("saveDirectoryEdit")->text(), folder.path() + QLatin1Char('/'));
}

TEST(RecordSetupDialogSoundServer, ListsTheServersSourcesAndOkMakesTheChosenOneTheRecordSource)
{
    test::PulseDaemon daemon;
    QString error;
    ASSERT_TRUE(daemon.start(&error)) << error.toStdString();
    std::shared_ptr<PulseContext> pulse = PulseContext::connect(daemon.server(), &error);
    ASSERT_TRUE(pulse) << error.toStdString();
    const std::int32_t savedMixerDevice = mixerDevice.load();
    PulseAudioInput input(pulse);
    RecorderSettings settings;
    RecordSetupDialog dialog(settings, input);
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("deviceCombo"));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QString::fromLatin1(test::PulseDaemon::kPipeDescription));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Monitor of %1").arg(QString::fromLatin1(test::PulseDaemon::kSinkDescription)));
    EXPECT_EQ(combo->currentIndex(), 0); // the server's default source

    combo->setCurrentIndex(1);
    dialog.accept();
    EXPECT_EQ(pulse->recordingSource(), QString::fromLatin1(test::PulseDaemon::kSinkName) + QStringLiteral(".monitor"));
    EXPECT_EQ(input.chosenDevice(), 1);
    mixerDevice = savedMixerDevice;
}

} // namespace
} // namespace sonavell
