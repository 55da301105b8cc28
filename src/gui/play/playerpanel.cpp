#include "gui/play/playerpanel.h"

#include "core/files/filelist.h"
#include "core/mp3/id3v1tag.h"
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/record/recordmixer.h"
#include "core/settings/recordersettings.h"
#include "gui/play/playernotices.h"
#include "gui/play/playerpanellook.h"
#include "gui/play/tagfieldcheck.h"
#include "ui_playerpanel.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <limits>

namespace sonavell {

namespace {

const QString kMessageTitle = QStringLiteral("Sonavell");
// The ID3v1.1 comment: two of the 30 bytes go to the track number.
constexpr int kShortCommentBytes = 28;
// Without a mixer the volume slider is the player's gain in percent.
constexpr int kFullGain = 100;

QString withoutLeadingSpace(const QString &text)
{
    const auto first = std::find_if(text.cbegin(), text.cend(), [](QChar c) { return !c.isSpace(); });
    return text.mid(first - text.cbegin());
}

int clampedToInt(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max()));
}

} // namespace

PlayerPanel::PlayerPanel(FileList &files, Mixer &mixer, AudioOutput *output, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PlayerPanel>()), m_files(files), m_mixer(mixer),
      m_output(output)
{
    m_ui->setupUi(this);
    styleTimeText(m_ui->timeText);

    // Entry i + 1 is genre i; the empty entry 0 stands for "no genre".
    m_ui->genreCombo->addItem(QString());
    for (int genre = 0; genre < kGenreCount; ++genre)
        m_ui->genreCombo->addItem(genreName(genre));
    m_ui->genreCombo->setCurrentIndex(-1);

    for (QLineEdit *edit : {m_ui->titleEdit, m_ui->albumEdit, m_ui->artistEdit})
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { markField(edit); });
    connect(m_ui->saveButton, &QPushButton::clicked, this, &PlayerPanel::saveTag);
    connect(m_ui->removeButton, &QPushButton::clicked, this, &PlayerPanel::removeTag);

    connect(m_ui->playerPlayButton, &QPushButton::clicked, this, &PlayerPanel::play);
    connect(m_ui->playerPauseButton, &QPushButton::clicked, this, &PlayerPanel::togglePause);
    connect(m_ui->playerStopButton, &QPushButton::clicked, this, &PlayerPanel::stop);
    connect(m_ui->playerStartButton, &QPushButton::clicked, this, &PlayerPanel::seekStart);
    connect(m_ui->playerEndButton, &QPushButton::clicked, this, &PlayerPanel::seekEnd);

    QSlider *position = m_ui->positionSlider;
    // While the thumb is held only the time text follows it; letting go seeks.
    connect(position, &QSlider::sliderMoved, this, [this](int value) {
        if (m_player)
            showTime(value);
    });
    connect(position, &QSlider::sliderReleased, this, [this] { requestSeek(m_ui->positionSlider->value()); });
    connect(position, &QSlider::actionTriggered, this, &PlayerPanel::onPositionSliderAction);

    bindVolume();
    connect(m_ui->volumeSlider, &QSlider::valueChanged, this, &PlayerPanel::setVolume);
    showPlaying(false);
    for (QWidget *control : std::initializer_list<QWidget *>{m_ui->playerPlayButton, m_ui->playerStopButton,
                                                             m_ui->playerStartButton, m_ui->playerEndButton,
                                                             m_ui->positionSlider})
        control->setEnabled(m_output != nullptr);
}

PlayerPanel::~PlayerPanel()
{
    releasePlayer();
}

QString PlayerPanel::playTimeText(qint64 positionMs, qint64 lengthMs)
{
    const qint64 lengthSeconds = std::max<qint64>(lengthMs, 0) / 1000;
    const qint64 seconds = std::clamp<qint64>(positionMs / 1000, 0, lengthSeconds);
    return QString::asprintf("%02lld:%02lld / %02lld:%02lld", seconds / 60, seconds % 60, lengthSeconds / 60,
                             lengthSeconds % 60);
}

// Playing

void PlayerPanel::playSelected()
{
    if (m_files.firstSelectedPath().isEmpty()) {
        QMessageBox box(QMessageBox::NoIcon, kMessageTitle,
                        QStringLiteral("Please select the mp3 file what you want to play!"), QMessageBox::Ok,
                        this);
        box.exec();
    }
    play();
}

void PlayerPanel::play()
{
    m_playPath = m_files.firstSelectedPath();
    if (m_playPath.isEmpty() || !m_output)
        return;
    releasePlayer();
    m_notices = std::make_unique<PlayerNotices>(
        this, [this](MediaMode mode) { onMode(mode); },
        [this](qint64 positionMs) { onPosition(positionMs); });
    m_player = std::make_unique<MediaWindowPlayer>(*m_output);
    m_player->setPath(m_playPath);
    m_player->setOwner(m_notices.get());
    m_player->setGain(m_gain);
    if (!m_player->play()) {
        // Not an MP3 we can read, or no sound device.
        releasePlayer();
        showPlaying(false);
        return;
    }
    m_lengthMs = m_player->length();
    m_ui->positionSlider->setRange(0, clampedToInt(m_lengthMs));
    m_ui->positionSlider->setValue(0);
    showTime(0);
    showPlaying(true);
}

void PlayerPanel::togglePause()
{
    if (m_player)
        m_player->togglePause();
}

void PlayerPanel::stop()
{
    if (!m_player)
        return;
    releasePlayer();
    showPlaying(false);
}

void PlayerPanel::seekStart()
{
    if (!m_player)
        return;
    m_player->seekStart();
    m_ui->positionSlider->setValue(0);
    showTime(0);
    m_ui->playerPlayButton->setEnabled(false);
}

void PlayerPanel::seekEnd()
{
    if (!m_player)
        return;
    m_player->seekEnd();
    m_ui->positionSlider->setValue(m_ui->positionSlider->maximum());
    showTime(m_lengthMs);
}

void PlayerPanel::seekTo(qint64 positionMs)
{
    if (!m_player)
        return;
    m_player->seekAndPlay(positionMs);
    showTime(positionMs);
}

void PlayerPanel::releasePlayer()
{
    // The player first: once it is stopped it calls its relay no more, and the relay then
    // drops what it has already posted.
    if (m_player)
        m_player->stopAndClose();
    m_player.reset();
    m_notices.reset();
}

void PlayerPanel::onMode(MediaMode mode)
{
    if (!m_player) {
        showPlaying(false);
        return;
    }
    // The buttons follow the player as it is now: a later command may have changed its mode
    // since this notice was posted.
    MediaMode now = m_player->mode();
    if (mode == MediaMode::Stopped && now == MediaMode::Stopped && settings().playLoop()) {
        // From the end the player starts again at the beginning.
        m_player->play();
        now = m_player->mode();
    }
    if (now == MediaMode::Paused) {
        m_ui->playerPlayButton->setEnabled(true);
        m_ui->playerPauseButton->setChecked(true);
    } else {
        showPlaying(now == MediaMode::Playing);
    }
}

void PlayerPanel::onPosition(qint64 positionMs)
{
    if (!m_player || m_ui->positionSlider->isSliderDown())
        return;
    m_ui->positionSlider->setValue(clampedToInt(positionMs));
    showTime(m_player->position());
}

void PlayerPanel::onPositionSliderAction()
{
    // Drags are seen through sliderMoved and sliderReleased; this is a click on the groove,
    // a key or the wheel, and sliderPosition() already holds where it leads.
    if (!m_ui->positionSlider->isSliderDown())
        requestSeek(m_ui->positionSlider->sliderPosition());
}

void PlayerPanel::requestSeek(int positionMs)
{
    if (!m_player)
        return;
    // Posted, so that the slider has settled before the player moves.
    QMetaObject::invokeMethod(
        this, [this, positionMs] { seekTo(positionMs); }, Qt::QueuedConnection);
}

void PlayerPanel::showPlaying(bool playing)
{
    m_ui->playerPlayButton->setEnabled(!playing && m_output != nullptr);
    m_ui->playerPauseButton->setEnabled(playing);
    m_ui->playerPauseButton->setChecked(false);
}

void PlayerPanel::showTime(qint64 positionMs)
{
    m_ui->timeText->setText(playTimeText(positionMs, m_lengthMs));
}

// Volume

void PlayerPanel::bindVolume()
{
    const OutputLine line = RecordMixer(m_mixer).outputLine();
    m_mixerVolume = line.maximum > line.minimum;
    QSlider *slider = m_ui->volumeSlider;
    // Showing the level is not setting it.
    const QSignalBlocker quiet(slider);
    // The top of the slider is loudest.
    if (m_mixerVolume) {
        slider->setRange(clampedToInt(line.minimum), clampedToInt(line.maximum));
        slider->setValue(clampedToInt(line.level));
    } else {
        slider->setRange(0, kFullGain);
        slider->setValue(kFullGain);
    }
    slider->setPageStep(std::max(1, (slider->maximum() - slider->minimum()) / 10));
}

void PlayerPanel::setVolume(int value)
{
    if (m_mixerVolume) {
        RecordMixer(m_mixer).setOutputLevel(static_cast<std::uint32_t>(value));
        return;
    }
    m_gain = static_cast<float>(value) / kFullGain;
    if (m_player)
        m_player->setGain(m_gain);
}

// Tag

void PlayerPanel::showTag(const QString &path)
{
    if (path.isEmpty() || path == m_tagPath)
        return;
    m_tagPath = path;
    loadTag();
    if (!m_player)
        showLengthOf(path);
}

void PlayerPanel::showLengthOf(const QString &path)
{
    m_lengthMs = std::max<qint64>(queryMediaLength(path), 0);
    m_ui->positionSlider->setRange(0, clampedToInt(m_lengthMs));
    m_ui->positionSlider->setValue(0);
    showTime(0);
}

void PlayerPanel::followRename(const QString &oldPath, const QString &newPath)
{
    // An open file plays on under its new name; the fields are not read again.
    if (oldPath == m_playPath)
        m_playPath = newPath;
    if (oldPath == m_tagPath)
        m_tagPath = newPath;
}

void PlayerPanel::forgetFile(const QString &path)
{
    if (path == m_playPath) {
        stop();
        m_playPath.clear();
    }
    if (path == m_tagPath) {
        m_tagPath.clear();
        clearTagFields();
    }
}

void PlayerPanel::clearTagFields()
{
    m_ui->titleEdit->clear();
    m_ui->artistEdit->clear();
    m_ui->albumEdit->clear();
    m_comment.clear();
    m_year.clear();
    m_track = 0;
    m_ui->genreCombo->setCurrentIndex(-1);
}

void PlayerPanel::loadTag()
{
    Mp3FileInfo info;
    const bool read = info.scanFile(m_tagPath, false);
    m_ui->titleEdit->setText(withoutLeadingSpace(info.title));
    m_ui->artistEdit->setText(withoutLeadingSpace(info.artist));
    m_ui->albumEdit->setText(withoutLeadingSpace(info.album));
    m_comment = info.comment;
    m_year = info.year;
    m_track = info.track;
    if (!read)
        m_ui->genreCombo->setCurrentIndex(-1);
    else
        m_ui->genreCombo->setCurrentIndex(info.genre >= 0 && info.genre < kGenreCount ? info.genre + 1 : 0);
}

int PlayerPanel::trackToWrite() const
{
    // A track number read from the tag stays. A new one (1) takes two bytes of the comment,
    // so a comment that needs them keeps the tag without a track.
    if (m_track != 0)
        return m_track;
    return m_comment.size() > kShortCommentBytes ? 0 : 1;
}

void PlayerPanel::saveTag()
{
    if (m_tagPath.isEmpty())
        return;
    Mp3FileInfo info;
    info.title = m_ui->titleEdit->text();
    info.artist = m_ui->artistEdit->text();
    info.album = m_ui->albumEdit->text();
    info.comment = m_comment;
    info.year = m_year;
    info.track = trackToWrite();
    const int entry = m_ui->genreCombo->currentIndex();
    info.genre = entry <= 0 ? kNoGenre : entry - 1;
    // The tag writer would create a missing file: a listed file that has gone stays gone.
    if (!QFileInfo::exists(m_tagPath) || !info.writeTag(m_tagPath, false))
        QMessageBox::warning(this, kMessageTitle, QStringLiteral("*Error* while writing the ID3... oops :("));
    loadTag();
}

void PlayerPanel::removeTag()
{
    if (m_tagPath.isEmpty())
        return;
    QMessageBox ask(QMessageBox::Warning, kMessageTitle,
                    QStringLiteral("Are you sure you want to permanently delete the ID3v1??"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    if (ask.exec() != QMessageBox::Ok)
        return;
    Mp3FileInfo info;
    if (!info.writeTag(m_tagPath, true))
        QMessageBox::warning(this, kMessageTitle, QStringLiteral("*Error* while writing the ID3... oops :("));
    loadTag();
}

void PlayerPanel::markField(QLineEdit *edit)
{
    const TagFieldCheck check = checkTagField(edit->text());
    QStringList problems;
    if (check.cut)
        problems << QStringLiteral("cut");
    if (check.notLatin1)
        problems << QStringLiteral("latin1");
    edit->setProperty("tagFieldProblem", problems.join(QLatin1Char(' ')));
    edit->setToolTip(check.description(kTagTextBytes));
    showTagFieldMark(edit);
}

} // namespace sonavell
