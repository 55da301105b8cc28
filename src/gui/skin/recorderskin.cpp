#include "gui/skin/recorderskin.h"

#include "gui/skin/dialogskin.h"
#include "gui/skin/skinbutton.h"
#include "gui/skin/skinslider.h"
#include "gui/skin/timedisplay.h"

#include <QEvent>
#include <QLabel>

#include <QPushButton>
#include <QSlider>

#include <climits>
#include <span>

namespace sonavell {

namespace {

struct ButtonFaces
{
    const char *name;
    int normal;
    int active;
    bool toggle;
};

constexpr ButtonFaces kWindowButtons[] = {
    {"recordButton", 138, 137, true},  {"pauseButton", 139, 140, true}, {"stopButton", 141, 142, false},
    {"optionButton", 152, 155, false}, {"playButton", 154, 153, false}, {"tagEditButton", 178, 179, false},
};

constexpr ButtonFaces kPanelButtons[] = {
    {"playerStopButton", 143, 156, false},  {"playerEndButton", 145, 144, false},
    {"playerPauseButton", 147, 146, true},  {"playerPlayButton", 149, 148, true},
    {"playerStartButton", 151, 150, false}, {"removeButton", 159, 158, false},
    {"saveButton", 157, 160, false},
};

// The panel's Play lights while it plays (the button is greyed then) and goes out when it can be
// pressed again, so a stopped panel never shows a lit Play.
class PlayLamp : public QObject
{
public:
    explicit PlayLamp(QPushButton *play) : QObject(play) { play->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *play = static_cast<QPushButton *>(watched);
        if (event->type() == QEvent::EnabledChange && play->isEnabled())
            play->setChecked(false);
        return false;
    }
};

void skinButtons(QWidget *owner, std::span<const ButtonFaces> table)
{
    for (const ButtonFaces &faces : table) {
        // The nearest button of that name: a panel docked deeper inside may reuse the names.
        QPushButton *button = nullptr;
        int depth = INT_MAX;
        for (QPushButton *candidate : owner->findChildren<QPushButton *>(QString::fromLatin1(faces.name))) {
            int d = 0;
            for (QWidget *w = candidate; w && w != owner; w = w->parentWidget())
                ++d;
            if (d < depth) {
                depth = d;
                button = candidate;
            }
        }
        if (!button)
            continue;
        SkinButton *skin = SkinButton::attach(button);
        skin->setImages(faces.normal, faces.active);
        skin->setToggleMode(faces.toggle);
    }
}

} // namespace

void skinRecorderWindow(QWidget *window)
{
    skinDialog(window);
    skinButtons(window, kWindowButtons);
    if (QWidget *sources = window->findChild<QWidget *>(QStringLiteral("recordControl"))) {
        for (QSlider *slider : sources->findChildren<QSlider *>())
            SkinSlider::attach(slider);
    }
}

void skinPlayerPanel(QWidget *panel)
{
    skinDialog(panel);
    skinButtons(panel, kPanelButtons);
    if (auto *play = panel->findChild<QPushButton *>(QStringLiteral("playerPlayButton")))
        new PlayLamp(play);
    if (auto *time = panel->findChild<QLabel *>(QStringLiteral("timeText")))
        TimeDisplay::over(time, 0);
    if (auto *position = panel->findChild<QSlider *>(QStringLiteral("positionSlider")))
        SkinSlider::attach(position)->setGrooveStyle(0);
    if (auto *volume = panel->findChild<QSlider *>(QStringLiteral("volumeSlider")))
        SkinSlider::attach(volume);
}

} // namespace sonavell
