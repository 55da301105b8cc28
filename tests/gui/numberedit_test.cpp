#include "gui/ui/editctrl.h"
#include "gui/ui/editpopupbutton.h"
#include "gui/ui/numberedit.h"

#include "dialogtesthelpers.h"
#include "inputevents.h"
#include "testname.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cmath>

namespace sonavell {
namespace {

// A window with the volume-scale field of the processing dialogs (0.1 … 10.0, two decimals in a
// field of 4, steps of 0.01, starting at 1.0) and a plain line edit to take the focus away.
class NumberEditTest : public ::testing::Test
{
protected:
    NumberEditTest()
    {
        auto *layout = new QVBoxLayout(&m_window);
        m_control = new EditCtrl(&m_window);
        m_other = new QLineEdit(&m_window);
        layout->addWidget(m_control);
        layout->addWidget(m_other);
        m_control->setRange(0.1, 10.0);
        m_control->setFormat(4, 2);
        m_control->setStep(0.01);
        m_control->setValue(1.0);
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        edit()->setFocus();
    }

    NumberEdit *edit() const { return m_control->numberEdit(); }

    void type(const QString &keys)
    {
        for (QChar c : keys)
            QTest::keyClick(edit(), c.toLatin1());
    }

    void retype(const QString &keys)
    {
        edit()->selectAll();
        type(keys);
    }

    QWidget m_window;
    EditCtrl *m_control = nullptr;
    QLineEdit *m_other = nullptr;
};

// Spies on the three notifications of the control.
struct Notifications
{
    explicit Notifications(EditCtrl *control)
        : started(control, &EditCtrl::changeStarted), changed(control, &EditCtrl::valueChanged),
          finished(control, &EditCtrl::changeFinished)
    {
    }
    double lastFinished() const { return finished.constLast().at(0).toDouble(); }
    double lastChanged() const { return changed.constLast().at(0).toDouble(); }

    QSignalSpy started;
    QSignalSpy changed;
    QSignalSpy finished;
};

enum class Commit { Enter, FocusLoss };

struct CommitCase
{
    const char *typed;
    const char *shown;
    double value;
};

class TypedCommit : public NumberEditTest, public ::testing::WithParamInterface<std::tuple<Commit, CommitCase>>
{
};

TEST_P(TypedCommit, ReadsClampsAndReprints)
{
    const auto [how, sample] = GetParam();
    ASSERT_TRUE(edit()->hasFocus());
    Notifications notes(m_control);
    retype(QString::fromLatin1(sample.typed));
    EXPECT_EQ(edit()->text(), QString::fromLatin1(sample.typed)) << "typing leaves the text as typed";
    EXPECT_DOUBLE_EQ(m_control->value(), sample.value) << "the value follows the text at once, clamped";
    EXPECT_EQ(notes.changed.size(), static_cast<qsizetype>(std::strlen(sample.typed)));
    EXPECT_TRUE(notes.finished.isEmpty());

    if (how == Commit::Enter)
        QTest::keyClick(edit(), Qt::Key_Return);
    else
        m_other->setFocus();

    EXPECT_EQ(edit()->text(), QString::fromLatin1(sample.shown));
    EXPECT_DOUBLE_EQ(m_control->value(), sample.value);
    ASSERT_EQ(notes.finished.size(), 1);
    EXPECT_DOUBLE_EQ(notes.lastFinished(), sample.value);
    EXPECT_TRUE(notes.started.isEmpty());
    EXPECT_FALSE(edit()->isModified());
}

INSTANTIATE_TEST_SUITE_P(
    VolumeScale, TypedCommit,
    ::testing::Combine(::testing::Values(Commit::Enter, Commit::FocusLoss),
                       ::testing::Values(CommitCase{"25", "10.00", 10.0}, CommitCase{"0.05", "0.10", 0.1},
                                         CommitCase{"3.456", "3.46", 3.456}, CommitCase{".5", "0.50", 0.5},
                                         CommitCase{"-7", "0.10", 0.1}, CommitCase{"10.", "10.00", 10.0})),
    [](const auto &info) {
        const char *how = std::get<0>(info.param) == Commit::Enter ? "Enter_" : "FocusLoss_";
        return test::spelledName(how + std::string(std::get<1>(info.param).typed));
    });

TEST_F(NumberEditTest, EnterOrFocusLossWithoutTypingReportsNothing)
{
    Notifications notes(m_control);
    QTest::keyClick(edit(), Qt::Key_Return);
    m_other->setFocus();
    EXPECT_TRUE(notes.finished.isEmpty());
    EXPECT_EQ(edit()->text(), QStringLiteral("1.00"));
}

TEST_F(NumberEditTest, EmptiedTextReadsAsZeroAndCommitsTheMinimum)
{
    edit()->selectAll();
    QTest::keyClick(edit(), Qt::Key_Backspace);
    EXPECT_EQ(edit()->text(), QString());
    EXPECT_DOUBLE_EQ(m_control->value(), 0.1);
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_EQ(edit()->text(), QStringLiteral("0.10"));
}

TEST_F(NumberEditTest, FocusLossWithoutItsNotifyFlagCommitsSilently)
{
    m_control->setNotifyFlags(NumberEdit::NotifyOnKeyUp | NumberEdit::NotifyOnDragEnd);
    Notifications notes(m_control);
    retype(QStringLiteral("25"));
    m_other->setFocus();
    EXPECT_EQ(edit()->text(), QStringLiteral("10.00"));
    EXPECT_TRUE(notes.finished.isEmpty());
}

TEST_F(NumberEditTest, EnterIsLeftToTheDialog)
{
    retype(QStringLiteral("2"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(edit(), &enter);
    EXPECT_FALSE(enter.isAccepted()) << "the default button must still see Enter";
    EXPECT_EQ(edit()->text(), QStringLiteral("2.00"));
}

// Typing rules, checked on a box with negative values allowed so the text is what was typed.
struct TypingCase
{
    const char *before;
    int cursor; // -1: the whole text selected; -2: the first character; -3: the second
    char key;
    const char *after;
};

class Typing : public ::testing::TestWithParam<TypingCase>
{
};

TEST_P(Typing, AcceptsOrRefusesTheCharacter)
{
    const TypingCase &sample = GetParam();
    NumberEdit edit;
    edit.setRange(-100.0, 100.0);
    edit.setFormat(10, 2);
    edit.setText(QString::fromLatin1(sample.before));
    if (sample.cursor == -1)
        edit.selectAll();
    else if (sample.cursor < -1)
        edit.setSelection(-sample.cursor - 2, 1);
    else
        edit.setCursorPosition(sample.cursor);
    QTest::keyClick(&edit, sample.key);
    EXPECT_EQ(edit.text(), QString::fromLatin1(sample.after));
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Typing,
    ::testing::Values(TypingCase{"15", 2, '7', "157"}, TypingCase{"15", 1, '0', "105"},
                      TypingCase{"15", 2, '.', "15."}, TypingCase{"1.5", 3, '.', "1.5"},
                      TypingCase{"1.5", 0, '.', "1.5"}, TypingCase{"1.5", -1, '.', "."},
                      TypingCase{"1.5", -3, '.', "1.5"}, TypingCase{"1.5", -3, '7', "175"},
                      TypingCase{"15", -2, '-', "-5"}, TypingCase{"15", -3, '-', "15"},
                      TypingCase{"15", 1, '-', "15"},
                      TypingCase{"15", 2, '-', "15"}, TypingCase{"15", 0, '-', "-15"},
                      TypingCase{"15", -1, '-', "-"}, TypingCase{"-15", 0, '-', "-15"},
                      TypingCase{"15", 2, 'a', "15"}, TypingCase{"15", 2, ' ', "15"},
                      TypingCase{"15", 2, '+', "15"}, TypingCase{"15", 2, ',', "15"},
                      TypingCase{"15", 2, 'e', "15"}),
    [](const auto &info) {
        const TypingCase &c = info.param;
        const std::string where = c.cursor == -1  ? "all"
                                  : c.cursor < -1 ? "char" + std::to_string(-c.cursor - 1)
                                                  : "at" + std::to_string(c.cursor);
        return test::spelledName(c.before + ('_' + where) + "_key_" + c.key);
    });

TEST(NumberEditPaste, RefusesTextThatTypingCouldNotProduce)
{
    NumberEdit edit;
    edit.setText(QStringLiteral("1.5"));
    edit.selectAll();
    edit.insert(QStringLiteral("12abc"));
    EXPECT_EQ(edit.text(), QStringLiteral("1.5"));
    edit.selectAll();
    edit.insert(QStringLiteral("-2.25"));
    EXPECT_EQ(edit.text(), QStringLiteral("-2.25"));
}

// The slash is not typed: it sets the minimum when that is above 0, else 0 (clamped), and commits.
struct SlashCase
{
    double minimum;
    double maximum;
    int decimals;
    const char *shown;
    double value;
};

class Slash : public ::testing::TestWithParam<SlashCase>
{
};

TEST_P(Slash, SetsTheLowStartAndCommits)
{
    const SlashCase &sample = GetParam();
    EditCtrl control;
    control.setRange(sample.minimum, sample.maximum);
    control.setFormat(4, sample.decimals);
    control.setValue(sample.maximum);
    Notifications notes(&control);
    QTest::keyClick(control.numberEdit(), '/');
    EXPECT_EQ(control.numberEdit()->text(), QString::fromLatin1(sample.shown));
    EXPECT_DOUBLE_EQ(control.value(), sample.value);
    ASSERT_EQ(notes.finished.size(), 1);
    EXPECT_DOUBLE_EQ(notes.lastFinished(), sample.value);
    EXPECT_TRUE(notes.changed.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Ranges, Slash,
                         ::testing::Values(SlashCase{0.1, 10.0, 2, "0.10", 0.1}, SlashCase{2, 100, 0, "2", 2.0},
                                           SlashCase{0, 60, 0, "0", 0.0}, SlashCase{-5, 5, 2, "0.00", 0.0},
                                           SlashCase{-10, -1, 1, "-1.0", -1.0}),
                         [](const auto &info) {
                             return "range_" + test::numberName(info.param.minimum) + '_' +
                                    test::numberName(info.param.maximum);
                         });

TEST_F(NumberEditTest, UpAtTheMaximumKeepsItAndStillReportsAChange)
{
    m_control->setValue(10.0);
    Notifications notes(m_control);
    QTest::keyClick(edit(), Qt::Key_Up);
    EXPECT_DOUBLE_EQ(m_control->value(), 10.0);
    EXPECT_EQ(edit()->text(), QStringLiteral("10.00"));
    ASSERT_EQ(notes.changed.size(), 1);
    EXPECT_DOUBLE_EQ(notes.lastChanged(), 10.0);
    EXPECT_EQ(notes.started.size(), 1);
    EXPECT_EQ(notes.finished.size(), 1);
}

TEST_F(NumberEditTest, DownAtTheMinimumKeepsIt)
{
    m_control->setValue(0.1);
    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_DOUBLE_EQ(m_control->value(), 0.1);
    EXPECT_EQ(edit()->text(), QStringLiteral("0.10"));
}

TEST_F(NumberEditTest, StepsReachTheMaximumExactlyDespiteDecimalDrift)
{
    m_control->setValue(9.95);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(edit(), Qt::Key_Up);
    EXPECT_EQ(m_control->value(), 10.0);
}

// A held key: one press, repeats as release/press pairs marked as repeats, one real release.
TEST_F(NumberEditTest, HeldUpKeyStartsOnceChangesPerStepAndFinishesAtKeyUp)
{
    Notifications notes(m_control);
    test::sendKey(edit(), QEvent::KeyPress, Qt::Key_Up, false);
    EXPECT_TRUE(edit()->isKeyStepping());
    for (int i = 0; i < 3; ++i) {
        test::sendKey(edit(), QEvent::KeyRelease, Qt::Key_Up, true);
        test::sendKey(edit(), QEvent::KeyPress, Qt::Key_Up, true);
    }
    EXPECT_EQ(notes.started.size(), 1);
    EXPECT_EQ(notes.changed.size(), 4);
    EXPECT_TRUE(notes.finished.isEmpty()) << "repeats are not the end of the change";

    test::sendKey(edit(), QEvent::KeyRelease, Qt::Key_Up, false);
    EXPECT_FALSE(edit()->isKeyStepping());
    ASSERT_EQ(notes.finished.size(), 1);
    EXPECT_NEAR(notes.lastFinished(), 1.04, 1e-9);
    EXPECT_EQ(edit()->text(), QStringLiteral("1.04"));
    EXPECT_EQ(edit()->selectedText(), QStringLiteral("1.04"));
    EXPECT_TRUE(edit()->isModified()) << "steps leave the text marked as modified";

    // A second press begins a new sequence.
    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_EQ(notes.started.size(), 2);
    EXPECT_EQ(notes.finished.size(), 2);
    EXPECT_EQ(edit()->text(), QStringLiteral("1.03"));
}

TEST_F(NumberEditTest, KeyUpWithoutItsNotifyFlagReportsNoFinish)
{
    m_control->setNotifyFlags(NumberEdit::NotifyOnFocusOut);
    Notifications notes(m_control);
    QTest::keyClick(edit(), Qt::Key_Up);
    EXPECT_EQ(notes.changed.size(), 1);
    EXPECT_TRUE(notes.finished.isEmpty());
    // The stepped text is modified, so leaving the field commits it.
    m_other->setFocus();
    EXPECT_EQ(notes.finished.size(), 1);
}

TEST_F(NumberEditTest, DraggingAboveOrBelowStepsOncePerTwoPixels)
{
    Notifications notes(m_control);
    const int middle = edit()->height() / 2;
    test::pressLeft(edit(), QPoint(5, middle));
    EXPECT_EQ(edit()->cursor().shape(), Qt::SizeVerCursor);
    test::dragTo(edit(), QPoint(5, middle - 3));
    EXPECT_FALSE(edit()->isDragging()) << "inside the box the mouse selects text";
    EXPECT_TRUE(notes.changed.isEmpty());

    // Leaving above starts the drag and steps up (the move is more than 2 pixels up).
    test::dragTo(edit(), QPoint(5, -5));
    EXPECT_TRUE(edit()->isDragging());
    EXPECT_EQ(notes.started.size(), 1);
    EXPECT_EQ(notes.changed.size(), 1);
    EXPECT_EQ(edit()->text(), QStringLiteral("1.01"));

    test::dragTo(edit(), QPoint(5, -6)); // one pixel: nothing
    EXPECT_EQ(notes.changed.size(), 1);
    test::dragTo(edit(), QPoint(5, -8)); // two from the remembered point: up
    test::dragTo(edit(), QPoint(5, -30)); // far: still one step
    EXPECT_EQ(notes.changed.size(), 3);
    EXPECT_EQ(edit()->text(), QStringLiteral("1.03"));
    test::dragTo(edit(), QPoint(5, -27)); // down 3
    EXPECT_EQ(edit()->text(), QStringLiteral("1.02"));
    EXPECT_EQ(notes.started.size(), 1);
    EXPECT_TRUE(notes.finished.isEmpty());

    test::releaseLeft(edit(), QPoint(5, -27));
    EXPECT_FALSE(edit()->isDragging());
    EXPECT_EQ(edit()->cursor().shape(), Qt::IBeamCursor);
    ASSERT_EQ(notes.finished.size(), 1);
    EXPECT_NEAR(notes.lastFinished(), 1.02, 1e-9);
    EXPECT_FALSE(edit()->isModified());
}

TEST_F(NumberEditTest, DraggingBelowStepsDown)
{
    Notifications notes(m_control);
    test::pressLeft(edit(), QPoint(5, 2));
    test::dragTo(edit(), QPoint(5, edit()->height() + 4));
    EXPECT_EQ(notes.started.size(), 1);
    EXPECT_EQ(edit()->text(), QStringLiteral("0.99"));
    test::releaseLeft(edit(), QPoint(5, edit()->height() + 4));
    EXPECT_EQ(notes.finished.size(), 1);
}

TEST_F(NumberEditTest, ClickWithoutDragReportsNothing)
{
    Notifications notes(m_control);
    test::pressLeft(edit(), QPoint(5, 3));
    test::releaseLeft(edit(), QPoint(5, 3));
    EXPECT_TRUE(notes.started.isEmpty());
    EXPECT_TRUE(notes.finished.isEmpty());
    EXPECT_EQ(edit()->cursor().shape(), Qt::IBeamCursor);
}

TEST_F(NumberEditTest, FocusLossEndsADrag)
{
    test::pressLeft(edit(), QPoint(5, 3));
    test::dragTo(edit(), QPoint(5, -10));
    ASSERT_TRUE(edit()->isDragging());
    Notifications notes(m_control);
    m_other->setFocus();
    EXPECT_FALSE(edit()->isDragging());
    EXPECT_EQ(notes.finished.size(), 1) << "the stepped text is committed";
    EXPECT_EQ(edit()->text(), QStringLiteral("1.01"));
}

TEST_F(NumberEditTest, SetValueClampsAndReportsNothing)
{
    Notifications notes(m_control);
    m_control->setValue(55.0);
    EXPECT_DOUBLE_EQ(m_control->value(), 10.0);
    m_control->setValue(-1.0);
    EXPECT_DOUBLE_EQ(m_control->value(), 0.1);
    m_control->setValue(std::nan(""));
    EXPECT_DOUBLE_EQ(m_control->value(), 0.1);
    EXPECT_EQ(edit()->text(), QStringLiteral("0.10"));
    EXPECT_TRUE(notes.changed.isEmpty());
    EXPECT_TRUE(notes.finished.isEmpty());
}

TEST(NumberEditRange, ReversedEndsAreSwappedAndTheValueKeptInside)
{
    NumberEdit edit;
    EXPECT_DOUBLE_EQ(edit.minimum(), -1000.0);
    EXPECT_DOUBLE_EQ(edit.maximum(), 1000.0);
    EXPECT_EQ(edit.text(), QStringLiteral("0"));
    edit.setRange(100.0, 2.0);
    EXPECT_DOUBLE_EQ(edit.minimum(), 2.0);
    EXPECT_DOUBLE_EQ(edit.maximum(), 100.0);
    EXPECT_DOUBLE_EQ(edit.value(), 2.0);
    EXPECT_EQ(edit.text(), QStringLiteral("2"));
}

struct FormatCase
{
    int width;
    int decimals;
    double value;
    const char *text;
};

class Format : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(Format, PrintsLeftAlignedAndTrimmed)
{
    NumberEdit edit;
    edit.setFormat(GetParam().width, GetParam().decimals);
    EXPECT_EQ(edit.textFor(GetParam().value), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Values, Format,
                         ::testing::Values(FormatCase{10, 0, 5.6, "6"}, FormatCase{4, 2, 10.0, "10.00"},
                                           FormatCase{4, 2, 0.005, "0.01"}, FormatCase{10, 0, -0.0, "0"},
                                           FormatCase{2, 3, -12.5, "-12.500"}, FormatCase{0, 0, 0.4, "0"}),
                         [](const auto &info) {
                             const FormatCase &c = info.param;
                             return "width" + std::to_string(c.width) + "_decimals" +
                                    std::to_string(c.decimals) + '_' + test::numberName(c.value);
                         });

struct ReadCase
{
    const char *text;
    double value;
};

class ReadNumber : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(ReadNumber, TakesTheLeadingNumber)
{
    EXPECT_DOUBLE_EQ(NumberEdit::readNumber(QString::fromLatin1(GetParam().text)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, ReadNumber,
                         ::testing::Values(ReadCase{"12abc", 12}, ReadCase{"abc", 0}, ReadCase{"", 0},
                                           ReadCase{"-", 0}, ReadCase{".", 0}, ReadCase{"-3.5e2x", -350},
                                           ReadCase{"1e", 1}, ReadCase{"2e+", 2}, ReadCase{".5", 0.5},
                                           ReadCase{"-.25", -0.25}, ReadCase{"  7", 7}, ReadCase{"1.2.3", 1.2},
                                           ReadCase{"+4", 4}, ReadCase{"10.", 10}),
                         [](const auto &info) { return test::spelledName(info.param.text); });

TEST(ReadNumberLimits, HugeNumbersReadAsInfinityAndAreClamped)
{
    EXPECT_TRUE(std::isinf(NumberEdit::readNumber(QStringLiteral("1e999"))));
    NumberEdit edit;
    edit.setRange(0, 60);
    edit.setText(QString(400, QLatin1Char('9')));
    edit.setModified(true);
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(edit.text(), QStringLiteral("60"));
}

} // namespace
} // namespace sonavell
