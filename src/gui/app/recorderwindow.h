#pragma once

#include "core/record/recordingcontrol.h"
#include "gui/app/commands.h"
#include "gui/skin/timedisplay.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

#include <map>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace Ui {
class RecorderWindow;
}

namespace sonavell {

class AudioInput;
class AudioOutput;
class FileList;
class Mixer;
class PlayerPanel;
class RecordSourcePanel;
class RemovableDrives;
class WindowBand;

// The one window of the program: the file list, the recording controls, the record sources,
// the menus and the tray icon. Every menu item, button, key and tray command goes through
// runCommand().
class RecorderWindow : public QMainWindow, private RecordingView
{
    Q_OBJECT

public:
    // The devices are not owned and must outlive the window.
    RecorderWindow(AudioInput &input, Mixer &mixer, QWidget *parent = nullptr);
    // With the output the player panel plays; without it the panel only edits tags.
    RecorderWindow(AudioInput &input, AudioOutput &output, Mixer &mixer, QWidget *parent = nullptr);
    ~RecorderWindow() override;

    void runCommand(CommandId id);
    bool isCommandEnabled(CommandId id) const;
    // At start, before the window is shown: finishes the recordings an interrupted run left in
    // the save folder (or marked in markerFolder), lists them, and says so once the window is up.
    // Returns the message shown; empty when there was nothing.
    QString recoverInterruptedRecordings(const QString &markerFolder);

    // Which volumes are portable players; not owned. The kernel's view until one is set.
    void setRemovableDrives(const RemovableDrives &drives) { m_drives = &drives; }

    FileList &fileList() { return *m_fileList; }
    RecordingControl &recording() { return *m_recording; }
    QAction *action(CommandId id) const;
    TimeDisplay *timeDisplay() const { return m_time; }
    bool isInTray() const { return m_inTray; }
    // The help window while it is open; null otherwise.
    QWidget *helpWindow() const { return m_help; }
    // A recording is running but writes nothing yet: it leaves out silence until sound comes.
    bool isWaitingForSound() const;

    // The tray icon's level bar for a peak of 0..32768.
    static QImage levelIcon(const QImage &base, int peak);
    // Save As names: the last three characters become "mp3" after a dot, otherwise ".mp3" follows.
    static QString saveAsName(const QString &chosen);
    // The first desktop mixer program found, as a program and its arguments; empty when none.
    static QStringList mixerProgram();
    static QStringList soundSettingsProgram();

Q_SIGNALS:
    void selectedFileChanged(const QString &path);

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // The one-second tick: timed recording.
    void timerEvent(QTimerEvent *event) override;
    // The key table's keypad forms, read from every key press of the program.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // RecordingView
    QString recordFileText() const override;
    void setRecordFileText(const QString &text) override;
    bool confirmReplace(const QString &question) override;
    void setRecordingState(bool recording) override;
    void setPauseText(const QString &text) override;
    void setTitle(const QString &title) override;
    void showError(const QString &message) override;
    void showNotice(const QString &message) override;
    void showLostAudio(const QString &message) override;
    void addFile(const QString &path) override;

    RecorderWindow(AudioInput &input, AudioOutput *output, Mixer &mixer, QWidget *parent);
    QMessageBox *showModeless(QMessageBox::Icon icon, const QString &message);
    void buildMenus();
    void buildShortcuts();
    void buildTray();
    // Tracked menus live as long as the window and follow its enable rules when they open.
    QMenu *buildMenu(std::span<const MenuItem> items, QWidget *parent, bool tracked);
    void updateCommandStates();
    void onBufferRecorded(int peak, const QString &elapsed);
    // The time display and the tray tip while a recording waits for sound.
    void showWaiting(bool waiting);
    void showRecordSetup();
    void openFiles();
    void saveAs();
    void toggleTagPanel();
    void toTray();
    void restoreFromTray();
    void showHelp(const QUrl &page = QUrl());
    void openAboutLink(const QUrl &target);
    void sendSelectionToPlayer();
    void showAbout();
    void startProgram(const QStringList &program);
    bool requireSelection();
    void shutdown();
    const RemovableDrives &removableDrives() const;

    std::unique_ptr<Ui::RecorderWindow> m_ui;
    AudioInput &m_input;
    AudioOutput *m_output = nullptr;
    PlayerPanel *m_player = nullptr; // a child of the player frame
    std::unique_ptr<FileList> m_fileList;
    const RemovableDrives *m_drives = nullptr;
    std::unique_ptr<RecordSourcePanel> m_sources;
    std::unique_ptr<RecordingControl> m_recording;
    std::multimap<CommandId, QAction *> m_actions;
    WindowBand *m_band = nullptr;
    TimeDisplay *m_time = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QImage m_trayBase;
    QPointer<QMessageBox> m_lostAudioBox; // one box, its text updated while audio keeps going missing
    bool m_inTray = false;
    bool m_waitingShown = false;
    QPointer<QWidget> m_help;
    bool m_shutDown = false;
    int m_timerId = 0;
};

} // namespace sonavell
