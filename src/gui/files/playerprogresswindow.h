#pragma once

#include <QWidget>

class QProgressBar;

namespace sonavell {

// "Process of update MP3 Player the files play order ...": one bar over the loops of the player
// commands, which run on the user-interface thread. step() keeps the windows painted; the
// user's input waits until the command ends, so no other command can run in between.
class PlayerProgressWindow : public QWidget
{
    Q_OBJECT

public:
    // Centred over owner, which is not owned.
    explicit PlayerProgressWindow(QWidget *owner);

    // Shows the window; a non-empty title replaces its own.
    void open(const QString &title);
    void setRange(int count);
    void step(int index);

    QProgressBar *bar() const { return m_bar; }

protected:
    // It closes with the command, not by hand.
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *m_owner;
    QProgressBar *m_bar;
    bool m_closing = false;

    friend class PlayerProgressScope;
};

// Opens the window for one command and closes it on every path out.
class PlayerProgressScope
{
public:
    PlayerProgressScope(QWidget *owner, const QString &title);
    ~PlayerProgressScope();
    PlayerProgressScope(const PlayerProgressScope &) = delete;
    PlayerProgressScope &operator=(const PlayerProgressScope &) = delete;

    PlayerProgressWindow &window() { return *m_window; }

private:
    PlayerProgressWindow *m_window;
};

} // namespace sonavell
