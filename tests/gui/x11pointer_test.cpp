// The popup slider and the keypad keys under a real X server: the offscreen platform has no
// pointer to grab and keeps the keypad mark X drops, so these tests start their own Xvfb and
// drive it with xdotool. Without either they skip.
#include "gui/app/recorderwindow.h"

#include "core/files/filelist.h"
#include "core/settings/recordersettings.h"
#include "mp3files.h"
#include "platform/fakeaudioinput.h"
#include "platform/fakemixer.h"
#include "testsupport.h"
#include "gui/ui/editctrl.h"
#include "gui/ui/editpopupbutton.h"
#include "gui/ui/editsliderwnd.h"
#include "gui/ui/sliderctrlbar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace sonavell {
namespace {

// Set by main when an X server of our own is up and xdotool can drive its pointer.
bool g_haveX = false;

// One pointer action through the X server; true when xdotool did it.
bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// The last pointer position the program was told of by the X server.
class MoveWatch : public QObject
{
public:
    QPoint last;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseMove && watched->isWindowType())
            last = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        return false;
    }
};

// Moves the pointer and waits until the program has seen the move: moves queued together
// would reach it as one.
bool movePointer(QPoint global)
{
    MoveWatch watch;
    qApp->installEventFilter(&watch);
    const bool moved = xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(global.x()),
                                QString::number(global.y())})
                       && QTest::qWaitFor([&] { return watch.last == global; });
    qApp->removeEventFilter(&watch);
    return moved;
}

class X11PopupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!g_haveX)
            GTEST_SKIP() << "no X server (Xvfb) or no xdotool";
        m_window = std::make_unique<QWidget>();
        auto *layout = new QHBoxLayout(m_window.get());
        m_control = new EditCtrl(m_window.get());
        layout->addWidget(m_control);
        m_control->setRange(0.0, 10.0);
        m_control->setFormat(4, 2);
        m_control->setStep(0.01);
        m_control->setValue(5.0);
        m_window->move(300, 200);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void TearDown() override
    {
        if (m_window) {
            xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
            m_window.reset();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    // Presses the popup button with the real pointer and waits for the popup to follow it.
    CEditSliderWnd *pressButton()
    {
        EditPopupButton *button = m_control->popupButton();
        const QPoint centre = button->mapToGlobal(button->rect().center());
        if (!movePointer(centre))
            return nullptr;
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        if (!QTest::qWaitFor([this] { return m_control->popup() && m_control->popup()->isVisible(); }))
            return nullptr;
        return m_control->popup();
    }

    std::unique_ptr<QWidget> m_window;
    EditCtrl *m_control = nullptr;
};

TEST_F(X11PopupTest, FollowsTheHeldButtonOutsideTheStripAndClosesOnRelease)
{
    CEditSliderWnd *popup = pressButton();
    ASSERT_NE(popup, nullptr);
    CSliderCtrlBar *slider = popup->slider();
    const int start = slider->position();
    const QPoint origin = QCursor::pos();

    // Well below the strip and to the right: relative motion still moves the thumb.
    ASSERT_TRUE(movePointer(origin + QPoint(5, 120)));
    ASSERT_TRUE(movePointer(origin + QPoint(25, 140)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return slider->position() > start; })) << "motion outside the strip moves it";
    const int right = slider->position();
    ASSERT_TRUE(movePointer(origin + QPoint(15, -90)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return slider->position() < right; })) << "and back to the left";
    const int last = slider->position();

    xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_control->popup() == nullptr || !m_control->popup()->isVisible(); }))
        << "releasing the button closes the popup";
    EXPECT_DOUBLE_EQ(m_control->value(), CEditSliderWnd::valueFor(last, 0.0, 10.0));
    EXPECT_FALSE(m_control->popupButton()->isDown());
}

class X11KeypadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!g_haveX)
            GTEST_SKIP() << "no X server (Xvfb) or no xdotool";
        m_saved = settings();
        settings().setFileList({});
        m_window = std::make_unique<RecorderWindow>(m_input, m_mixer);
        for (const char *name : {"a.mp3", "b.mp3"}) {
            const QString path = m_folder.file(QString::fromLatin1(name));
            ASSERT_TRUE(test::makeToneMp3(path, 0.5));
            ASSERT_TRUE(m_window->fileList().addFile(path));
        }
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }
    void TearDown() override
    {
        if (!m_window)
            return;
        m_window.reset();
        settings() = m_saved;
    }

    // Sends the key through the X server and waits until the program has handled it.
    bool selectsAll(const QString &keys)
    {
        m_window->fileList().selectionModel()->clearSelection();
        return xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys})
               && QTest::qWaitFor([this] { return m_window->fileList().selectedRows().size() == 2; }, 2000);
    }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    FakeAudioInput m_input;
    FakeMixer m_mixer;
    std::unique_ptr<RecorderWindow> m_window;
};

TEST_F(X11KeypadTest, CtrlKeypadOneSelectsAllWithAndWithoutNumLock)
{
    // The server starts with NumLock off: keypad 1 is End.
    EXPECT_TRUE(selectsAll(QStringLiteral("ctrl+KP_End")));
    EXPECT_TRUE(selectsAll(QStringLiteral("ctrl+KP_1")));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    EXPECT_TRUE(selectsAll(QStringLiteral("ctrl+KP_1")));
    xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
}

} // namespace
} // namespace sonavell

// Read by the leak checker of the sanitizer build (unused elsewhere): the xcb platform opens a
// D-Bus connection whose library keeps a buffer until the process ends.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

namespace {

// Starts Xvfb on a display it picks itself (-displayfd) and waits until it is ready.
bool startXServer(QProcess &server)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return false;
    server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1024x768x24")});
    QByteArray display;
    while (!display.endsWith('\n') && server.waitForReadyRead(10000))
        display += server.readAllStandardOutput();
    if (!display.endsWith('\n'))
        return false;
    qputenv("DISPLAY", ":" + display.trimmed());
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    QProcess server;
    const bool listing = ::testing::GTEST_FLAG(list_tests);
    sonavell::g_haveX = !listing && startXServer(server);
    if (!sonavell::g_haveX)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        server.waitForFinished(5000);
    }
    return result;
}
