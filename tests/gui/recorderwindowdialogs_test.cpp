#include "gui/app/recorderwindow.h"

#include "dialogtesthelpers.h"
#include "core/record/recordmixer.h"
#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"
#include "gui/record/recordsetupdialog.h"
#include "gui/record/recordsourcegroup.h"
#include "gui/record/silencedetectordialog.h"
#include "gui/record/timedrecordingdialog.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakemixer.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

// The recorder window opening the recording dialogs and running the schedule.
class RecorderWindowDialogsTest : public ::testing::Test
{
protected:
    RecorderWindowDialogsTest()
    {
        m_saved = settings();
        settings().setSaveDirectory(m_folder.path() + QLatin1Char('/'));
        settings().setFileList({});
        settings().setTimedRecordings({});
        settings().setRecordFormat(WaveFormat{1, 2, 44100, 0, 0, 16, 0}.normalizedPcm());
        m_input.setDeviceNames({QStringLiteral("Internal"), QStringLiteral("USB Audio Device")});
        m_mixer.addSource(QStringLiteral("Mic"), 0, 65535, 30000);
        m_mixer.setSelector(MixerSelector::Kind::Multiplexer, {QStringLiteral("Mic")}, 0);
        m_window = std::make_unique<RecorderWindow>(m_input, m_mixer);
        m_window->show();
    }
    ~RecorderWindowDialogsTest() override
    {
        m_window.reset();
        settings() = m_saved;
        mixerDevice = m_savedMixerDevice;
        recordLevel = 0;
    }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    const std::int32_t m_savedMixerDevice = mixerDevice.load();
    FakeAudioInput m_input;
    FakeMixer m_mixer;
    std::unique_ptr<RecorderWindow> m_window;
};

TEST_F(RecorderWindowDialogsTest, TheDialogCommandsAreAvailable)
{
    for (CommandId id : {CommandId::SilenceDetector, CommandId::RecordSetup, CommandId::TimedRecording,
                         CommandId::OptionButton})
        EXPECT_TRUE(m_window->isCommandEnabled(id)) << static_cast<int>(id);
    EXPECT_TRUE(m_window->findChild<QPushButton *>(QStringLiteral("optionButton"))->isEnabled());
    EXPECT_TRUE(m_window->action(CommandId::RecordSetup)->isEnabled());
}

TEST_F(RecorderWindowDialogsTest, OptionButtonOpensTheSetupAndOkRebindsTheSources)
{
    // An input that appears after start-up shows only once the sources are listed again.
    m_mixer.addSource(QStringLiteral("Line"), 0, 65535, 1000);
    m_mixer.setSelector(MixerSelector::Kind::Multiplexer, {QStringLiteral("Mic"), QStringLiteral("Line")}, 0);
    auto *group = m_window->findChild<RecordSourceGroup *>(QStringLiteral("recordControl"));
    EXPECT_FALSE(group->radio(1)->isVisibleTo(group));

    test::NextModal<RecordSetupDialog> setup([](RecordSetupDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("deviceCombo"))->setCurrentIndex(1);
        dialog->findChild<QRadioButton *>(QStringLiteral("monoRadio"))->setChecked(true);
        dialog->accept();
    });
    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("optionButton")), Qt::LeftButton);
    ASSERT_TRUE(setup.handled());
    EXPECT_EQ(mixerDevice.load(), 2);
    EXPECT_EQ(m_mixer.openedDevice(), 2);
    EXPECT_EQ(settings().recordFormat().channels, 1);
    EXPECT_TRUE(group->radio(1)->isVisibleTo(group));
    EXPECT_EQ(group->radio(1)->text(), QStringLiteral("Line"));
}

TEST_F(RecorderWindowDialogsTest, CancelledSetupLeavesTheSourcesAlone)
{
    const int opens = m_mixer.openCount();
    test::NextModal<RecordSetupDialog> setup([](RecordSetupDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("deviceCombo"))->setCurrentIndex(1);
        dialog->reject();
    });
    m_window->runCommand(CommandId::RecordSetup);
    ASSERT_TRUE(setup.handled());
    EXPECT_EQ(mixerDevice.load(), m_savedMixerDevice);
    EXPECT_EQ(m_mixer.openCount(), opens);
}

TEST_F(RecorderWindowDialogsTest, SilenceAndScheduleDialogsStoreIntoTheSettings)
{
    test::NextModal<SilenceDetectorDialog> silence([](SilenceDetectorDialog *dialog) {
        dialog->findChild<QSlider *>(QStringLiteral("sensitivitySlider"))->setValue(321);
        dialog->accept();
    });
    m_window->runCommand(CommandId::SilenceDetector);
    ASSERT_TRUE(silence.handled());
    EXPECT_EQ(settings().sensitivity(), 321);

    test::NextModal<TimedRecordingDialog> schedule([](TimedRecordingDialog *dialog) {
        dialog->addEntry();
        dialog->accept();
    });
    m_window->runCommand(CommandId::TimedRecording);
    ASSERT_TRUE(schedule.handled());
    ASSERT_EQ(settings().timedRecordings().size(), 1);
    EXPECT_EQ(settings().timedRecordings()[0].end - settings().timedRecordings()[0].start, 600);
}

TEST_F(RecorderWindowDialogsTest, TheOneSecondTickStartsAScheduledRecording)
{
    // The start is kept at "now" while waiting: on a busy machine the first tick may come later
    // than the two seconds a start stays due.
    const auto startNow = [] {
        const auto now = static_cast<std::int32_t>(QDateTime::currentSecsSinceEpoch());
        settings().setTimedRecordings({TimedRecording{0, now, now + 3600}});
    };
    startNow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            startNow();
            return m_window->recording().isRecording();
        },
        10000));
    // Off the schedule first, or the next tick inside the start window would start it again.
    settings().setTimedRecordings({});
    m_window->runCommand(CommandId::Stop);
    EXPECT_FALSE(m_window->recording().isRecording());
}

} // namespace
} // namespace sonavell
