#include "gui/record/silencedetectordialog.h"

#include "dialogtesthelpers.h"
#include "core/settings/recordersettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

class SilenceDetectorDialogTest : public ::testing::Test
{
protected:
    SilenceDetectorDialogTest()
    {
        m_settings.setSilenceEnabled(true);
        m_settings.setSensitivity(250);
        m_settings.setSkipSilence(false);
        m_settings.setSilenceAction(1);
        m_settings.setStopAfterSeconds(7);
        m_settings.setNewFileAfterSeconds(12);
        m_before = m_settings.toBytes();
        m_dialog = std::make_unique<SilenceDetectorDialog>(m_settings);
        m_dialog->show();
    }

    template <typename T> T *child(const char *name) const
    {
        T *found = m_dialog->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QLineEdit *stopEdit() const { return child<QLineEdit>("stopSecondsEdit"); }
    QLineEdit *newFileEdit() const { return child<QLineEdit>("newFileSecondsEdit"); }

    RecorderSettings m_settings;
    QByteArray m_before;
    std::unique_ptr<SilenceDetectorDialog> m_dialog;
};

TEST_F(SilenceDetectorDialogTest, ShowsTheStoredValuesWithTheirTexts)
{
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Voice Activation Process"));
    EXPECT_EQ(child<QCheckBox>("enabledCheck")->text(), QStringLiteral("Use Voice Slient Detecter "));
    EXPECT_EQ(child<QCheckBox>("skipCheck")->text(), QStringLiteral("Skip Silent  Passages "));
    EXPECT_EQ(child<QGroupBox>("sensitivityGroup")->title(),
              QStringLiteral("Sensitivity of Silent Detector"));
    EXPECT_EQ(child<QLabel>("lowLabel")->text(), QStringLiteral("Low"));
    EXPECT_EQ(child<QLabel>("highLabel")->text(), QStringLiteral("High"));
    EXPECT_EQ(child<QGroupBox>("actionGroup")->title(), QStringLiteral("Long Silence Action"));
    EXPECT_EQ(child<QRadioButton>("stopRadio")->text(), QStringLiteral("Stop Recording After "));
    EXPECT_EQ(child<QRadioButton>("newFileRadio")->text(), QStringLiteral("Record to a new file"));
    EXPECT_EQ(child<QLabel>("stopSecondsLabel")->text(), QStringLiteral("Second Silence"));

    auto *slider = child<QSlider>("sensitivitySlider");
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 1000);
    EXPECT_EQ(slider->value(), 250);
    EXPECT_TRUE(child<QCheckBox>("enabledCheck")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("skipCheck")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("newFileRadio")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("stopRadio")->isChecked());
    EXPECT_EQ(stopEdit()->text(), QStringLiteral("7"));
    EXPECT_EQ(newFileEdit()->text(), QStringLiteral("12"));
    test::saveScreenshot(*m_dialog, QStringLiteral("silencedetectordialog.png"));
}

TEST_F(SilenceDetectorDialogTest, OkStoresAllSixValues)
{
    child<QCheckBox>("enabledCheck")->setChecked(false);
    child<QSlider>("sensitivitySlider")->setValue(1000);
    child<QCheckBox>("skipCheck")->setChecked(true);
    child<QRadioButton>("stopRadio")->setChecked(true);
    stopEdit()->setText(QStringLiteral(" 1 "));
    newFileEdit()->setText(QStringLiteral("1000"));
    child<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Ok)->click();

    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(m_settings.silenceEnabled());
    EXPECT_EQ(m_settings.sensitivity(), 1000);
    EXPECT_TRUE(m_settings.skipSilence());
    EXPECT_EQ(m_settings.silenceAction(), 0);
    EXPECT_EQ(m_settings.stopAfterSeconds(), 1);
    EXPECT_EQ(m_settings.newFileAfterSeconds(), 1000);
}

TEST_F(SilenceDetectorDialogTest, CancelStoresNothing)
{
    child<QCheckBox>("enabledCheck")->setChecked(false);
    child<QSlider>("sensitivitySlider")->setValue(3);
    child<QCheckBox>("skipCheck")->setChecked(true);
    child<QRadioButton>("stopRadio")->setChecked(true);
    stopEdit()->setText(QStringLiteral("99"));
    newFileEdit()->setText(QStringLiteral("98"));
    child<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
    EXPECT_EQ(m_settings.toBytes(), m_before);
}

struct BadSeconds
{
    const char *name;
    bool inStopEdit;
    const char *text;
    const char *message;
};

class SilenceDetectorDialogRejects : public SilenceDetectorDialogTest,
                                     public ::testing::WithParamInterface<BadSeconds>
{
};

TEST_P(SilenceDetectorDialogRejects, KeepsTheDialogOpenOnTheFaultyEdit)
{
    const BadSeconds &c = GetParam();
    QLineEdit *faulty = c.inStopEdit ? stopEdit() : newFileEdit();
    QLineEdit *other = c.inStopEdit ? newFileEdit() : stopEdit();
    faulty->setText(QString::fromLatin1(c.text));
    other->setText(QStringLiteral("30"));
    child<QSlider>("sensitivitySlider")->setValue(900);
    other->setFocus();

    test::MessageBoxAnswer answer;
    child<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(answer.text(), QString::fromLatin1(c.message));
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->focusWidget(), faulty);
    // Nothing is stored, not even the values that were valid.
    EXPECT_EQ(m_settings.toBytes(), m_before);
}

INSTANTIATE_TEST_SUITE_P(
    Seconds, SilenceDetectorDialogRejects,
    ::testing::Values(
        BadSeconds{"StopZero", true, "0", "Please enter an integer between 1 and 1000."},
        BadSeconds{"StopAboveRange", true, "1001", "Please enter an integer between 1 and 1000."},
        BadSeconds{"StopNegative", true, "-5", "Please enter an integer between 1 and 1000."},
        BadSeconds{"StopText", true, "five", "Please enter an integer."},
        BadSeconds{"StopEmpty", true, "", "Please enter an integer."},
        BadSeconds{"NewFileZero", false, "0", "Please enter an integer between 1 and 1000."},
        BadSeconds{"NewFileAboveRange", false, "1001", "Please enter an integer between 1 and 1000."},
        BadSeconds{"NewFileFraction", false, "2.5", "Please enter an integer."},
        BadSeconds{"NewFileHuge", false, "99999999999", "Please enter an integer."}),
    [](const ::testing::TestParamInfo<BadSeconds> &info) { return std::string(info.param.name); });

TEST_F(SilenceDetectorDialogTest, ACorrectedValueIsThenAccepted)
{
    stopEdit()->setText(QStringLiteral("1001"));
    {
        test::MessageBoxAnswer answer;
        m_dialog->accept();
    }
    stopEdit()->setText(QStringLiteral("1000"));
    m_dialog->accept();
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_settings.stopAfterSeconds(), 1000);
}

} // namespace
} // namespace sonavell
