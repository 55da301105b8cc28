#include "gui/play/playerpanel.h"

#include "dialogtesthelpers.h"
#include "core/files/filelist.h"
#include "core/mp3/id3v1tag.h"
#include "mp3files.h"
#include "core/settings/recordersettings.h"
#include "platform/fakeaudiooutput.h"
#include "platform/fakemixer.h"
#include "testname.h"
#include "testsupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace sonavell {
namespace {

constexpr int kRate = 44100;

struct TagBytes
{
    QByteArray title;
    QByteArray artist;
    QByteArray album;
    QByteArray year;
    QByteArray comment;
    int track = 0; // 0: an ID3v1.0 tag
    int genre = 255;
};

// The 128 bytes laid out by hand, independent of the program's own tag writer.
QByteArray tagBytes(const TagBytes &tag)
{
    QByteArray bytes(128, '\0');
    std::memcpy(bytes.data(), "TAG", 3);
    auto put = [&](int at, int width, const QByteArray &text) {
        std::memcpy(bytes.data() + at, text.constData(), size_t(std::min<qsizetype>(text.size(), width)));
    };
    put(3, 30, tag.title);
    put(33, 30, tag.artist);
    put(63, 30, tag.album);
    put(93, 4, tag.year);
    put(97, tag.track ? 28 : 30, tag.comment);
    if (tag.track) {
        bytes[125] = 0;
        bytes[126] = static_cast<char>(tag.track);
    }
    bytes[127] = static_cast<char>(tag.genre);
    return bytes;
}

QByteArray field(const QByteArray &tag, int at, int width)
{
    const QByteArray bytes = tag.mid(at, width);
    const qsizetype end = bytes.indexOf('\0');
    return end < 0 ? bytes : bytes.left(end);
}

// Runs the event loop until done() holds. The timer only keeps a broken build from hanging.
template <typename Condition> bool processUntil(Condition done)
{
    QTimer failsafe;
    failsafe.setSingleShot(true);
    failsafe.start(30000);
    while (!done() && failsafe.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

class PlayerPanelTest : public ::testing::Test
{
protected:
    PlayerPanelTest()
    {
        m_saved = settings();
        settings().setFileList({});
        m_untagged = m_folder.file(QStringLiteral("song.mp3"));
        EXPECT_TRUE(test::makeToneMp3(m_untagged, 1.0));
        m_audio = test::readAll(m_untagged);
    }
    ~PlayerPanelTest() override
    {
        m_panel.reset();
        settings() = m_saved;
    }

    // After the mixer has been scripted: the panel binds its volume when it is made.
    PlayerPanel &panel()
    {
        if (!m_panel) {
            m_panel = std::make_unique<PlayerPanel>(m_files, m_mixer, &m_output);
            m_panel->resize(720, 150);
            m_panel->show();
        }
        return *m_panel;
    }

    template <typename T> T *child(const char *name)
    {
        T *found = panel().findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QString taggedCopy(const QString &name, const TagBytes &tag)
    {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(test::writeAll(path, m_audio + tagBytes(tag)));
        return path;
    }

    void select(const QString &path)
    {
        ASSERT_TRUE(m_files.addFile(path));
        m_files.selectRow(m_files.rowCount() - 1);
    }

    QByteArray lastTag(const QString &path) { return test::readAll(path).right(128); }

    test::TempFolder m_folder;
    RecorderSettings m_saved;
    QString m_untagged;
    QByteArray m_audio;
    FakeMixer m_mixer;
    FakeAudioOutput m_output;
    FileList m_files;
    std::unique_ptr<PlayerPanel> m_panel;
};

TEST_F(PlayerPanelTest, GenreListIsTheEmptyEntryThenTheTable)
{
    auto *genres = child<QComboBox>("genreCombo");
    ASSERT_EQ(genres->count(), kGenreCount + 1);
    EXPECT_EQ(genres->itemText(0), QString());
    EXPECT_EQ(genres->itemText(1), QStringLiteral("Blues"));
    EXPECT_EQ(genres->itemText(kGenreCount), QStringLiteral("SynthPop"));
    EXPECT_EQ(child<QLabel>("timeText")->text(), QStringLiteral("00:00 / 00:00"));
    EXPECT_FALSE(child<QPushButton>("playerPauseButton")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("playerPlayButton")->isEnabled());
}

struct GenreCase
{
    int stored;
    int entry;
    const char *shown;
    int saved;
};

class PlayerPanelGenre : public PlayerPanelTest, public testing::WithParamInterface<GenreCase>
{
};

// GIVEN a tag with a genre byte WHEN it is shown and saved unchanged THEN the list shows the
// genre's entry (the empty one beyond the table) and the tag keeps the genre or gets 255.
TEST_P(PlayerPanelGenre, ShowsTheEntryAndSavesItsNumber)
{
    const GenreCase c = GetParam();
    const QString path =
        taggedCopy(QStringLiteral("genre.mp3"), {"  Song", "Band", "Album", "1999", "ok", 3, c.stored});
    panel().showTag(path);
    auto *genres = child<QComboBox>("genreCombo");
    EXPECT_EQ(genres->currentIndex(), c.entry);
    EXPECT_EQ(genres->currentText(), QString::fromLatin1(c.shown));
    EXPECT_EQ(child<QLineEdit>("titleEdit")->text(), QStringLiteral("Song")) << "leading blanks go";

    child<QPushButton>("saveButton")->click();
    const QByteArray file = test::readAll(path);
    ASSERT_EQ(file.size(), m_audio.size() + 128) << "the tag is replaced, not appended";
    EXPECT_EQ(file.left(m_audio.size()), m_audio);
    EXPECT_EQ(static_cast<unsigned char>(file.back()), c.saved);
    EXPECT_EQ(genres->currentIndex(), c.entry) << "reloaded from the file";
}

INSTANTIATE_TEST_SUITE_P(Genres, PlayerPanelGenre,
                         testing::Values(GenreCase{0, 1, "Blues", 0}, GenreCase{17, 18, "Rock", 17},
                                         GenreCase{147, 148, "SynthPop", 147}, GenreCase{148, 0, "", 255},
                                         GenreCase{200, 0, "", 255}, GenreCase{255, 0, "", 255}),
                         [](const auto &info) {
                             const char *shown = *info.param.shown ? info.param.shown : "none";
                             return test::testName("genre" + std::to_string(info.param.stored) + '_' + shown);
                         });

TEST_F(PlayerPanelTest, SaveAppendsATagToAnUntaggedFile)
{
    panel().showTag(m_untagged);
    EXPECT_EQ(child<QLineEdit>("titleEdit")->text(), QString());
    EXPECT_EQ(child<QComboBox>("genreCombo")->currentIndex(), 0);

    child<QLineEdit>("titleEdit")->setText(QStringLiteral("Morning"));
    child<QLineEdit>("artistEdit")->setText(QStringLiteral("Birds"));
    child<QLineEdit>("albumEdit")->setText(QStringLiteral("Garden"));
    child<QComboBox>("genreCombo")->setCurrentIndex(9); // "Jazz", genre 8
    child<QPushButton>("saveButton")->click();

    const QByteArray file = test::readAll(m_untagged);
    ASSERT_EQ(file.size(), m_audio.size() + 128);
    EXPECT_EQ(file.left(m_audio.size()), m_audio) << "the audio is untouched";
    const QByteArray tag = file.right(128);
    EXPECT_EQ(tag.left(3), QByteArray("TAG"));
    EXPECT_EQ(tag.mid(3, 30), QByteArray("Morning").leftJustified(30, '\0'));
    EXPECT_EQ(tag.mid(33, 30), QByteArray("Birds").leftJustified(30, '\0'));
    EXPECT_EQ(tag.mid(63, 30), QByteArray("Garden").leftJustified(30, '\0'));
    EXPECT_EQ(tag.mid(93, 32), QByteArray(32, '\0')) << "no year, no comment";
    EXPECT_EQ(tag[126], 1) << "track 1";
    EXPECT_EQ(tag[127], 8);
    EXPECT_EQ(child<QLineEdit>("titleEdit")->text(), QStringLiteral("Morning"));
    EXPECT_EQ(child<QComboBox>("genreCombo")->currentText(), QStringLiteral("Jazz"));
}

struct KeptCase
{
    const char *name;
    TagBytes tag;
    QByteArray comment;
    int trackMarker; // byte 125
    int track;       // byte 126
};

class PlayerPanelKeeps : public PlayerPanelTest, public testing::WithParamInterface<KeptCase>
{
};

// The year and comment have no field and the track number is not shown: a save writes them back.
TEST_P(PlayerPanelKeeps, YearCommentAndTrackThroughASave)
{
    const KeptCase c = GetParam();
    const QString path = taggedCopy(QStringLiteral("kept.mp3"), c.tag);
    panel().showTag(path);
    child<QLineEdit>("titleEdit")->setText(QStringLiteral("New title"));
    child<QPushButton>("saveButton")->click();
    const QByteArray tag = lastTag(path);
    EXPECT_EQ(field(tag, 3, 30), QByteArray("New title"));
    EXPECT_EQ(field(tag, 93, 4), c.tag.year);
    EXPECT_EQ(field(tag, 97, c.trackMarker ? 30 : 28), c.comment);
    EXPECT_EQ(tag[125], c.trackMarker);
    EXPECT_EQ(tag[126], c.track);
}

const QByteArray kLongComment = "A comment that fills 30 bytes";

INSTANTIATE_TEST_SUITE_P(
    Tags, PlayerPanelKeeps,
    testing::Values(
        KeptCase{"ShortCommentGetsTrackOne", {"t", "a", "b", "2001", "Nice", 0, 13}, "Nice", 0, 1},
        KeptCase{"TrackStays", {"t", "a", "b", "1987", "Nice", 7, 13}, "Nice", 0, 7},
        KeptCase{"FullCommentStaysWhole",
                 {"t", "a", "b", "1970", kLongComment + "!", 0, 13},
                 kLongComment + "!",
                 kLongComment.at(28),
                 '!'}),
    [](const testing::TestParamInfo<KeptCase> &info) { return std::string(info.param.name); });

struct RemoveCase
{
    QMessageBox::StandardButton answer;
    bool removed;
};

class PlayerPanelRemove : public PlayerPanelTest, public testing::WithParamInterface<RemoveCase>
{
};

TEST_P(PlayerPanelRemove, CutsTheTagOnlyAfterConfirmation)
{
    const RemoveCase c = GetParam();
    const QString path = taggedCopy(QStringLiteral("remove.mp3"), {"Gone", "Soon", "", "", "", 1, 5});
    const QByteArray before = test::readAll(path);
    panel().showTag(path);
    QString question;
    test::NextModal<QMessageBox> answer([&](QMessageBox *box) {
        question = box->text();
        box->button(c.answer)->click();
    });
    child<QPushButton>("removeButton")->click();
    ASSERT_TRUE(answer.handled());
    EXPECT_EQ(question, QStringLiteral("Are you sure you want to permanently delete the ID3v1??"));
    EXPECT_EQ(test::readAll(path), c.removed ? m_audio : before);
    EXPECT_EQ(child<QLineEdit>("titleEdit")->text(), c.removed ? QString() : QStringLiteral("Gone"));
    EXPECT_EQ(child<QComboBox>("genreCombo")->currentIndex(), c.removed ? 0 : 6);
}

INSTANTIATE_TEST_SUITE_P(Answers, PlayerPanelRemove,
                         testing::Values(RemoveCase{QMessageBox::Ok, true},
                                         RemoveCase{QMessageBox::Cancel, false}),
                         [](const auto &info) {
                             return std::string(info.param.answer == QMessageBox::Ok ? "Ok" : "Cancel");
                         });

class PlayerPanelWriteFails : public PlayerPanelTest, public testing::WithParamInterface<bool>
{
};

// GIVEN a listed file that has gone, or a path the tag cannot be written to (a folder) WHEN the
// tag is saved THEN the failure is reported and no file is made.
TEST_P(PlayerPanelWriteFails, IsReportedAndNothingIsCreated)
{
    const bool folder = GetParam();
    const QString path = m_folder.file(QStringLiteral("gone.mp3"));
    if (folder) {
        ASSERT_TRUE(QDir().mkdir(path));
    }
    panel().showTag(path);
    EXPECT_EQ(child<QComboBox>("genreCombo")->currentIndex(), -1) << "an unreadable file selects no genre";
    child<QLineEdit>("titleEdit")->setText(QStringLiteral("Title"));
    test::MessageBoxAnswer answer;
    child<QPushButton>("saveButton")->click();
    EXPECT_EQ(answer.text(), QStringLiteral("*Error* while writing the ID3... oops :("));
    EXPECT_EQ(QFileInfo(path).isDir(), folder);
    EXPECT_EQ(QFileInfo::exists(path), folder);
    EXPECT_EQ(child<QLineEdit>("titleEdit")->text(), QString()) << "reloaded from the file";
}

INSTANTIATE_TEST_SUITE_P(Paths, PlayerPanelWriteFails, testing::Bool(),
                         [](const auto &info) { return std::string(info.param ? "Folder" : "Gone"); });

TEST_F(PlayerPanelTest, TheSamePathIsNotReloaded)
{
    const QString path = taggedCopy(QStringLiteral("same.mp3"), {"Kept", "", "", "", "", 1, 0});
    panel().showTag(path);
    child<QLineEdit>("titleEdit")->setText(QStringLiteral("Unsaved edit"));
    panel().showTag(path);
    panel().showTag(QString());
    EXPECT_EQ(child<QLineEdit>("titleEdit")->text(), QStringLiteral("Unsaved edit"));
}

struct MarkCase
{
    const char *name;
    QString text;
    const char *problem;
    QByteArray saved;
};

class PlayerPanelMark : public PlayerPanelTest, public testing::WithParamInterface<MarkCase>
{
};

// GIVEN a title WHEN it is typed THEN a text the tag cannot hold as it reads is marked (tinted, with
// a tool tip) before the save shows what the tag keeps of it.
TEST_P(PlayerPanelMark, FieldsTheTagCannotHoldAreMarked)
{
    const MarkCase c = GetParam();
    panel().showTag(m_untagged);
    auto *title = child<QLineEdit>("titleEdit");
    auto *artist = child<QLineEdit>("artistEdit");
    title->setText(c.text);
    EXPECT_EQ(title->property("tagFieldProblem").toString(), QString::fromLatin1(c.problem));
    const bool marked = *c.problem != '\0';
    EXPECT_EQ(!title->toolTip().isEmpty(), marked);
    const QColor base = title->grab().toImage().pixelColor(title->width() - 6, title->height() / 2);
    const QColor plain = artist->grab().toImage().pixelColor(artist->width() - 6, artist->height() / 2);
    EXPECT_EQ(base != plain, marked) << base.name().toStdString() << " " << plain.name().toStdString();

    child<QPushButton>("saveButton")->click();
    EXPECT_EQ(field(lastTag(m_untagged), 3, 30), c.saved);
    EXPECT_EQ(title->property("tagFieldProblem").toString(), QString()) << "what was read back fits";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PlayerPanelMark,
    testing::Values(MarkCase{"Plain", QStringLiteral("Plain"), "", "Plain"},
                    MarkCase{"Latin1", QString::fromUtf8("Caf\xc3\xa9"), "", "Caf\xe9"},
                    MarkCase{"Exactly30", QString(30, QLatin1Char('x')), "", QByteArray(30, 'x')},
                    MarkCase{"Cut", QString(31, QLatin1Char('x')), "cut", QByteArray(30, 'x')},
                    MarkCase{"NotLatin1", QString::fromUtf8("\xce\xa9mega"), "latin1", "?mega"},
                    MarkCase{"Both", QString::fromUtf8("\xce\xa9") + QString(30, QLatin1Char('y')),
                             "cut latin1", "?" + QByteArray(29, 'y')}),
    [](const testing::TestParamInfo<MarkCase> &info) { return std::string(info.param.name); });

struct TimeCase
{
    qint64 position;
    qint64 length;
    const char *text;
};

class PlayTimeText : public testing::TestWithParam<TimeCase>
{
};

TEST_P(PlayTimeText, ElapsedNeverPassesTheLength)
{
    EXPECT_EQ(PlayerPanel::playTimeText(GetParam().position, GetParam().length),
              QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Times, PlayTimeText,
    testing::Values(TimeCase{0, 0, "00:00 / 00:00"}, TimeCase{999, 1000, "00:00 / 00:01"},
                    TimeCase{61999, 125000, "01:01 / 02:05"}, TimeCase{125999, 125400, "02:05 / 02:05"},
                    TimeCase{400000, 125000, "02:05 / 02:05"}, TimeCase{5000, 0, "00:00 / 00:00"},
                    TimeCase{6000000, 7200000, "100:00 / 120:00"}),
    [](const auto &info) {
        return "at" + std::to_string(info.param.position) + "_of" + std::to_string(info.param.length);
    });

TEST_F(PlayerPanelTest, PlayWithoutASelectionAsksForOne)
{
    test::MessageBoxAnswer answer;
    panel().playSelected();
    EXPECT_EQ(answer.text(), QStringLiteral("Please select the mp3 file what you want to play!"));
    EXPECT_EQ(panel().player(), nullptr);
    EXPECT_TRUE(child<QPushButton>("playerPlayButton")->isEnabled());
}

// GIVEN a file playing WHEN position notices arrive while the thumb is held THEN the slider stays
// where the user holds it; letting go seeks there, and later notices move the slider again.
TEST_F(PlayerPanelTest, ADragIsNotOverrunByThePlayer)
{
    const QString path = m_folder.file(QStringLiteral("long.mp3"));
    ASSERT_TRUE(test::makeToneMp3(path, 3.0));
    select(path);
    m_output.allowBuffers(0);
    child<QPushButton>("playerPlayButton")->click();
    ASSERT_NE(panel().player(), nullptr);
    EXPECT_EQ(panel().playPath(), path);
    auto *slider = child<QSlider>("positionSlider");
    EXPECT_EQ(slider->maximum(), panel().player()->length());
    EXPECT_FALSE(child<QPushButton>("playerPlayButton")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("playerPauseButton")->isEnabled());

    slider->setSliderDown(true);
    slider->setSliderPosition(2500);
    EXPECT_EQ(child<QLabel>("timeText")->text(), QStringLiteral("00:02 / 00:03"));
    m_output.allowBuffers(2);
    ASSERT_TRUE(m_output.waitForPlayed(2));
    QCoreApplication::processEvents(); // the two notices, posted before the device counted the buffers
    EXPECT_EQ(slider->value(), 2500);
    EXPECT_EQ(child<QLabel>("timeText")->text(), QStringLiteral("00:02 / 00:03"));

    slider->setSliderDown(false);
    ASSERT_TRUE(processUntil([&] { return panel().player()->position() >= 2400; }));
    EXPECT_NEAR(static_cast<double>(panel().player()->position()), 2500.0, 30.0);

    m_output.allowBuffers(1);
    ASSERT_TRUE(m_output.waitForPlayed(3));
    QCoreApplication::processEvents();
    EXPECT_GT(slider->value(), 2500) << "a notice without a drag moves the slider";
    EXPECT_EQ(child<QLabel>("timeText")->text(), QStringLiteral("00:02 / 00:03"));
}

TEST_F(PlayerPanelTest, AStepBesideTheThumbSeeks)
{
    const QString path = m_folder.file(QStringLiteral("long.mp3"));
    ASSERT_TRUE(test::makeToneMp3(path, 3.0));
    select(path);
    m_output.allowBuffers(0);
    child<QPushButton>("playerPlayButton")->click();
    auto *slider = child<QSlider>("positionSlider");
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_TRUE(processUntil([&] { return panel().player()->position() >= 900; }));
    EXPECT_NEAR(static_cast<double>(panel().player()->position()), 1000.0, 30.0);
    EXPECT_EQ(slider->value(), 1000);
    EXPECT_EQ(child<QLabel>("timeText")->text(), QStringLiteral("00:01 / 00:03"));
}

TEST_F(PlayerPanelTest, PauseHoldsAndResumes)
{
    select(m_untagged);
    m_output.allowBuffers(0);
    auto *play = child<QPushButton>("playerPlayButton");
    auto *pause = child<QPushButton>("playerPauseButton");
    play->click();
    pause->click();
    ASSERT_TRUE(processUntil([&] { return play->isEnabled(); }));
    EXPECT_EQ(panel().player()->mode(), MediaMode::Paused);
    EXPECT_TRUE(m_output.isPaused());
    EXPECT_TRUE(pause->isChecked());
    pause->click();
    ASSERT_TRUE(processUntil([&] { return !play->isEnabled(); }));
    EXPECT_EQ(panel().player()->mode(), MediaMode::Playing);
    EXPECT_FALSE(m_output.isPaused());
    EXPECT_FALSE(pause->isChecked());
}

TEST_F(PlayerPanelTest, StartAndEndMoveTheSlider)
{
    select(m_untagged);
    m_output.allowBuffers(0);
    settings().setPlayLoop(false);
    child<QPushButton>("playerPlayButton")->click();
    auto *slider = child<QSlider>("positionSlider");
    child<QPushButton>("playerEndButton")->click();
    EXPECT_EQ(slider->value(), slider->maximum());
    EXPECT_EQ(child<QLabel>("timeText")->text(), QStringLiteral("00:01 / 00:01"));
    child<QPushButton>("playerStartButton")->click();
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(child<QLabel>("timeText")->text(), QStringLiteral("00:00 / 00:01"));
    EXPECT_EQ(panel().player()->mode(), MediaMode::Stopped);
}

class PlayerPanelLoop : public PlayerPanelTest, public testing::WithParamInterface<bool>
{
};

// GIVEN the loop option WHEN the file plays to its end THEN it plays again from the start until
// Stop, which stops it for good; without the option it stays stopped with Play enabled.
TEST_P(PlayerPanelLoop, TheEndReplaysOnlyWithTheLoopOption)
{
    const bool loop = GetParam();
    settings().setPlayLoop(loop);
    const QByteArray whole = test::decodeForPlayback(m_untagged);
    ASSERT_GT(whole.size(), kRate * 4 / 2);
    select(m_untagged);
    auto *play = child<QPushButton>("playerPlayButton");
    play->click();
    if (loop) {
        ASSERT_TRUE(processUntil([&] { return m_output.played().size() >= 2 * whole.size(); }));
        const QByteArray played = m_output.played();
        EXPECT_EQ(played.left(whole.size()), whole);
        EXPECT_EQ(played.mid(whole.size(), whole.size()), whole) << "the second pass starts at the beginning";
        child<QPushButton>("playerStopButton")->click();
        EXPECT_EQ(panel().player(), nullptr);
        QCoreApplication::processEvents(); // notices posted before the stop
        EXPECT_FALSE(m_output.isOpen());
        EXPECT_EQ(panel().player(), nullptr);
    } else {
        ASSERT_TRUE(processUntil([&] { return play->isEnabled(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(m_output.played(), whole);
        ASSERT_NE(panel().player(), nullptr);
        EXPECT_EQ(panel().player()->mode(), MediaMode::Stopped);
    }
    EXPECT_TRUE(play->isEnabled());
    EXPECT_FALSE(child<QPushButton>("playerPauseButton")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Loop, PlayerPanelLoop, testing::Bool(),
                         [](const auto &info) { return std::string(info.param ? "Loop" : "Once"); });

TEST_F(PlayerPanelTest, VolumeDrivesTheOutputLine)
{
    m_mixer.setOutput(0, 65535, 40000);
    auto *volume = child<QSlider>("volumeSlider");
    EXPECT_EQ(volume->minimum(), 0);
    EXPECT_EQ(volume->maximum(), 65535);
    EXPECT_EQ(volume->value(), 40000);
    EXPECT_EQ(m_mixer.totalWrites(), 0) << "showing the level writes nothing";
    volume->setValue(65535);
    volume->triggerAction(QAbstractSlider::SliderPageStepSub);
    const int level = volume->value();
    EXPECT_LT(level, 65535);
    ASSERT_EQ(m_mixer.output().values.size(), 2U);
    EXPECT_EQ(m_mixer.output().values.front(), static_cast<std::uint32_t>(level));
    EXPECT_EQ(m_mixer.output().values.back(), static_cast<std::uint32_t>(level));
}

TEST_F(PlayerPanelTest, VolumeFollowsAnotherMixerDevice)
{
    m_mixer.setOutput(0, 65535, 40000);
    auto *volume = child<QSlider>("volumeSlider");
    ASSERT_EQ(volume->maximum(), 65535);
    m_mixer.setOutput(0, 100, 25);
    panel().bindVolume();
    EXPECT_EQ(volume->maximum(), 100);
    EXPECT_EQ(volume->value(), 25);
    EXPECT_EQ(m_mixer.totalWrites(), 0) << "reading the new line writes nothing";
    volume->setValue(60);
    EXPECT_EQ(m_mixer.output().values.front(), 60U);
}

TEST_F(PlayerPanelTest, WithoutAnOutputLineVolumeScalesThePlayer)
{
    settings().setPlayLoop(false);
    auto *volume = child<QSlider>("volumeSlider");
    EXPECT_EQ(volume->value(), volume->maximum());
    volume->setValue(volume->maximum() / 2);
    const QByteArray whole = test::decodeForPlayback(m_untagged);
    select(m_untagged);
    child<QPushButton>("playerPlayButton")->click();
    ASSERT_TRUE(processUntil([&] { return child<QPushButton>("playerPlayButton")->isEnabled(); }));
    const QByteArray played = m_output.played();
    ASSERT_EQ(played.size(), whole.size());
    int worst = 0;
    for (qsizetype at = 0; at + 1 < whole.size(); at += 2) {
        std::int16_t full = 0;
        std::int16_t half = 0;
        std::memcpy(&full, whole.constData() + at, 2);
        std::memcpy(&half, played.constData() + at, 2);
        worst = std::max(worst, std::abs(full / 2 - half));
    }
    EXPECT_LE(worst, 1);
}

TEST_F(PlayerPanelTest, Screenshot)
{
    const QString path = taggedCopy(QStringLiteral("shown.mp3"),
                                    {"Morning Chorus", "The Garden Birds", "Dawn", "2024", "", 1, 26});
    select(path);
    panel().showTag(path);
    m_output.allowBuffers(0);
    child<QPushButton>("playerPlayButton")->click();
    child<QLineEdit>("albumEdit")->setText(QString::fromUtf8("Dawn \xe2\x98\x80"));
    test::saveScreenshot(panel(), QStringLiteral("playerpanel.png"));
    EXPECT_EQ(child<QComboBox>("genreCombo")->currentText(), QStringLiteral("Ambient"));
}

} // namespace
} // namespace sonavell
