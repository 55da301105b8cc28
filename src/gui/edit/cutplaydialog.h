#pragma once

#include <QBasicTimer>
#include <QDialog>
#include <QTemporaryDir>

#include <memory>

class QAction;
class QScrollBar;
class QToolBar;

namespace Ui {
class CutPlayDialog;
}

namespace sonavell {

class AudioOutput;
class MMWaveEditXCtrl;
class WaveOutPlayer;

// The cut-and-play editor: the waveform of a PCM WAV file, a selection made with the mouse,
// played once or in a loop, and saved as MP3 or WAV. An MP3 is first decoded into the editor's
// own temporary folder; the decoded WAV and its peak file go when the editor closes.
//
// Playing is driven by a timer on the GUI thread: each tick moves the play cursor to the
// position the device reports, stops at the end of the selection and, with repeat on, starts
// the selection again; the dialog stays responsive in between.
class CutPlayDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Command { Open = 1000, Save, Play, Stop, Repeat, ZoomIn, ZoomOut };
    static constexpr int kPollMs = 20;

    // The output device is not owned and must outlive the dialog.
    explicit CutPlayDialog(AudioOutput &output, QWidget *parent = nullptr);
    // Stops playing and deletes the peak file and a WAV that lies in the temporary folder.
    ~CutPlayDialog() override;

    // The file to show when the dialog opens: an MP3 is decoded (under "Decode MP3 file"),
    // a WAV is shown as it is. False when nothing could be made of it.
    bool setFile(const QString &path);
    // Decodes an MP3 into the temporary folder; on success the WAV becomes the one shown.
    bool decode(const QString &mp3Path);

    // The toolbar's commands.
    void open();
    void save();
    void play();
    void stop();
    void setRepeat(bool repeat);

    // Writes the selection [start, end) of the WAV's bytes (the view's offsets) to target: MP3
    // by frame copy from the source MP3 when keepOriginal, else by encoding at bitrateKbps; WAV
    // by copying the data. Any other suffix writes nothing. Remembers the target's folder
    // unless a file could not be opened. True when a file was written.
    bool saveSelection(const QString &target, qint64 start, qint64 end, int bitrateKbps, bool keepOriginal);
    // The byte range Play and Save use: the selection; the whole data without one; the caret to
    // the end after a click.
    void selectionRange(qint64 *start, qint64 *end) const;

    const QString &wavPath() const { return m_wavPath; }
    const QString &sourcePath() const { return m_sourcePath; }
    QString temporaryFolder() const { return m_tempDir.path(); }
    bool isRepeat() const { return m_repeat; }
    bool isPlaying() const { return m_playTimer.isActive(); }
    qint64 playStart() const { return m_playStart; }
    qint64 playEnd() const { return m_playEnd; }
    int playCount() const { return m_playCount; }

    MMWaveEditXCtrl *view() const;
    QScrollBar *scrollBar() const;
    QToolBar *toolBar() const { return m_toolBar; }
    QAction *action(Command command) const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    void buildToolBar();
    void initialise();
    void showWave();
    void setUpScrollBar();
    void onScroll(int position);
    void zoom(bool in);
    // Makes path the file shown; a previous WAV of the temporary folder is deleted.
    void replaceWave(const QString &path, const QString &source);
    bool isTemporary(const QString &path) const;
    void deleteWave(const QString &path) const;
    enum class SaveOutcome { Written, Nothing, OpenFailed };
    SaveOutcome saveAsWave(const QString &target, qint64 start, qint64 end);
    SaveOutcome saveAsMp3(const QString &target, qint64 start, qint64 end, int bitrateKbps,
                          bool keepOriginal);
    void showMessage(const QString &text);

    void startPlayer();
    void pollPlayer();
    void endPlay();

    std::unique_ptr<Ui::CutPlayDialog> m_ui;
    AudioOutput &m_output;
    QToolBar *m_toolBar = nullptr;
    QTemporaryDir m_tempDir;
    int m_decodeCount = 0;

    QString m_wavPath;
    QString m_sourcePath;
    bool m_repeat = true;
    bool m_initialised = false;

    std::unique_ptr<WaveOutPlayer> m_player;
    QBasicTimer m_playTimer;
    qint64 m_playStart = 0;
    qint64 m_playEnd = 0;
    int m_playCount = 0;
};

} // namespace sonavell
