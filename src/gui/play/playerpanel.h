#pragma once

#include "core/play/mediawindowplayer.h"

#include <QString>
#include <QWidget>

#include <memory>

class QLineEdit;

namespace Ui {
class PlayerPanel;
}

namespace sonavell {

class AudioOutput;
class FileList;
class Mixer;
class PlayerNotices;

// The panel docked at the bottom of the main window: plays the file selected in the file list
// (position slider, elapsed/total time, volume) and shows and edits its ID3v1 tag.
// User-interface thread only; the player's notifications are carried over to it.
class PlayerPanel : public QWidget
{
    Q_OBJECT

public:
    // None is owned and all must outlive the panel. Without an output the panel edits tags but
    // does not play.
    PlayerPanel(FileList &files, Mixer &mixer, AudioOutput *output, QWidget *parent = nullptr);
    ~PlayerPanel() override;

    // Shows the tag of path; an empty path and the path already shown are ignored. While nothing
    // plays, the time text shows that file's length.
    void showTag(const QString &path);
    // The file shown or played got another name: the panel follows it, keeping what was typed.
    void followRename(const QString &oldPath, const QString &newPath);
    // The file was deleted: the panel stops playing it and no longer shows its tag.
    void forgetFile(const QString &path);
    // The main window's play command: tells the user when no file is selected.
    void playSelected();
    // Reads the output line's range and level again, as after the mixer device changed.
    void bindVolume();

    const QString &tagPath() const { return m_tagPath; }
    const QString &playPath() const { return m_playPath; }
    // Null before the first play and after Stop.
    const MediaWindowPlayer *player() const { return m_player.get(); }

    // "mm:ss / mm:ss"; positions past the length show the length.
    static QString playTimeText(qint64 positionMs, qint64 lengthMs);

private:
    void play();
    void togglePause();
    void stop();
    void seekStart();
    void seekEnd();
    void seekTo(qint64 positionMs);
    void onMode(MediaMode mode);
    void onPosition(qint64 positionMs);
    void onPositionSliderAction();
    void requestSeek(int positionMs);
    void releasePlayer();
    void showPlaying(bool playing);
    void showTime(qint64 positionMs);

    void setVolume(int value);

    void loadTag();
    void clearTagFields();
    void showLengthOf(const QString &path);
    void saveTag();
    void removeTag();
    int trackToWrite() const;
    void markField(QLineEdit *edit);

    std::unique_ptr<Ui::PlayerPanel> m_ui;
    FileList &m_files;
    Mixer &m_mixer;
    AudioOutput *m_output;

    QString m_playPath;
    qint64 m_lengthMs = 0;
    // Declared before the player, which calls it: the player goes first.
    std::unique_ptr<PlayerNotices> m_notices;
    std::unique_ptr<MediaWindowPlayer> m_player;
    bool m_mixerVolume = false; // otherwise the slider sets the player's gain
    float m_gain = 1.0F;

    QString m_tagPath;
    // Tag values without a field of their own, written back as they were read.
    QString m_comment;
    QString m_year;
    int m_track = 0;
};

} // namespace sonavell
