#include "gui/edit/cutplaydialog.h"

#include "core/mp3/mp3fileinfo.h"
#include "core/play/peakfile.h"
#include "core/play/waveoutplayer.h"
#include "core/process/mp3towavjob.h"
#include "core/process/outputfailure.h"
#include "core/process/replacementfile.h"
#include "core/process/wavefile.h"
#include "core/process/wavtomp3job.h"
#include "core/settings/recordersettings.h"
#include "gui/edit/cutplayicons.h"
#include "gui/edit/mmwaveeditxctrl.h"
#include "gui/edit/saveselectiondialog.h"
#include "gui/process/progressdialog.h"
#include "ui_cutplaydialog.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QTimerEvent>
#include <QToolBar>

#include <algorithm>
#include <limits>
#include <vector>

namespace sonavell {

namespace {

const QString kOpenDirKey = QStringLiteral("OpenDir");
const QString kOpenedDirKey = QStringLiteral("OpenDir1");
const QString kSaveDirKey = QStringLiteral("SWFFilePath");
const QString kFilters = QStringLiteral("MP3 File(*.MP3);;WAV File(*.WAV)");
constexpr std::uint32_t kCopyBlockBytes = 1 << 20;

bool hasSuffix(const QString &path, const char *suffix)
{
    return path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
}

// The folder part of a path, with its trailing '/', as the folder settings keep it.
QString folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath() + QLatin1Char('/');
}

std::uint32_t clampToU32(qint64 value)
{
    return static_cast<std::uint32_t>(
        std::clamp<qint64>(value, 0, std::numeric_limits<std::uint32_t>::max()));
}

} // namespace

CutPlayDialog::CutPlayDialog(AudioOutput &output, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CutPlayDialog>()), m_output(output),
      m_tempDir(QDir::tempPath() + QStringLiteral("/sonavell-edit-XXXXXX"))
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildToolBar();
    m_ui->scrollBar->setSingleStep(1);
    connect(m_ui->scrollBar, &QScrollBar::valueChanged, this, &CutPlayDialog::onScroll);
}

CutPlayDialog::~CutPlayDialog()
{
    if (isPlaying())
        endPlay();
    m_player.reset();
    if (isTemporary(m_wavPath))
        deleteWave(m_wavPath);
    else if (!m_wavPath.isEmpty())
        QFile::remove(peakfile::pathFor(m_wavPath));
}

MMWaveEditXCtrl *CutPlayDialog::view() const
{
    return m_ui->waveView;
}

QScrollBar *CutPlayDialog::scrollBar() const
{
    return m_ui->scrollBar;
}

QAction *CutPlayDialog::action(Command command) const
{
    for (QAction *action : m_toolBar->actions()) {
        if (action->data().toInt() == static_cast<int>(command))
            return action;
    }
    return nullptr;
}

void CutPlayDialog::buildToolBar()
{
    struct Button
    {
        Command command;
        CutPlayIcon icon;
        const char *tip;
        void (CutPlayDialog::*handler)();
    };
    static const Button kButtons[] = {
        {Command::Open, CutPlayIcon::Open, "Open audio file", &CutPlayDialog::open},
        {Command::Save, CutPlayIcon::Save, "Save selection as audio file ", &CutPlayDialog::save},
        {Command::Play, CutPlayIcon::Play, "Play selection", &CutPlayDialog::play},
        {Command::Stop, CutPlayIcon::Stop, "Stop play selection", &CutPlayDialog::stop},
        {Command::Repeat, CutPlayIcon::Repeat, "Repeat play selection", nullptr},
        {Command::ZoomIn, CutPlayIcon::ZoomIn, "Zoom In", nullptr},
        {Command::ZoomOut, CutPlayIcon::ZoomOut, "Zoom Out", nullptr},
    };
    m_toolBar = new QToolBar(m_ui->toolBarHost);
    m_toolBar->setObjectName(QStringLiteral("cutPlayToolBar"));
    m_toolBar->setIconSize(QSize(18, 18));
    m_toolBar->setStyleSheet(QStringLiteral("QToolButton { min-width: 22px; min-height: 22px; }"));
    for (const Button &button : kButtons) {
        const QString tip = QString::fromLatin1(button.tip);
        QAction *action = m_toolBar->addAction(cutPlayIcon(button.icon), tip);
        action->setToolTip(tip);
        action->setData(static_cast<int>(button.command));
        if (button.handler)
            connect(action, &QAction::triggered, this, button.handler);
    }
    QAction *repeat = action(Command::Repeat);
    repeat->setCheckable(true);
    repeat->setChecked(m_repeat);
    connect(repeat, &QAction::toggled, this, [this](bool on) { m_repeat = on; });
    connect(action(Command::ZoomIn), &QAction::triggered, this, [this] { zoom(true); });
    connect(action(Command::ZoomOut), &QAction::triggered, this, [this] { zoom(false); });
    m_ui->toolBarLayout->addWidget(m_toolBar);
}

bool CutPlayDialog::setFile(const QString &path)
{
    if (hasSuffix(path, ".wav")) {
        if (!QFileInfo::exists(path))
            return false;
        replaceWave(path, QString());
        return true;
    }
    return decode(path);
}

bool CutPlayDialog::decode(const QString &mp3Path)
{
    if (!m_tempDir.isValid())
        return false;
    // Each decode gets a folder of its own, so a new WAV never overwrites the one on show
    // (decoding the same file again gives the same name).
    const QString folder =
        m_tempDir.path() + QLatin1Char('/') + QString::number(++m_decodeCount) + QLatin1Char('/');
    if (!QDir().mkpath(folder))
        return false;
    Mp3ToWavJob job(QStringList{mp3Path});
    job.setOutputFolder(folder);
    const bool finished = ProgressDialog::runJob(job, this, ProgressDialog::Layout::DecodeMp3);
    // The name the job wrote, letter case and all: the file system tells "Wav" from "wav".
    const QString wave = job.outputPathFor(mp3Path);
    if (!finished || !QFileInfo::exists(wave)) {
        deleteWave(wave);
        return false;
    }
    replaceWave(wave, mp3Path);
    return true;
}

void CutPlayDialog::replaceWave(const QString &path, const QString &source)
{
    // The stretch being played belongs to the file that goes.
    if (isPlaying())
        endPlay();
    if (m_wavPath != path && isTemporary(m_wavPath))
        deleteWave(m_wavPath);
    m_wavPath = path;
    m_sourcePath = source;
}

bool CutPlayDialog::isTemporary(const QString &path) const
{
    if (path.isEmpty() || !m_tempDir.isValid())
        return false;
    const QString folder = QDir::cleanPath(QDir(m_tempDir.path()).absolutePath()) + QLatin1Char('/');
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).startsWith(folder);
}

void CutPlayDialog::deleteWave(const QString &path) const
{
    if (path.isEmpty())
        return;
    QFile::remove(peakfile::pathFor(path));
    QFile::remove(path);
    // A decode's own folder goes with its file; the temporary folder itself stays.
    const QString folder = QFileInfo(path).absolutePath();
    if (isTemporary(path) &&
        QDir::cleanPath(folder) != QDir::cleanPath(QDir(m_tempDir.path()).absolutePath()))
        QDir().rmdir(folder);
}

void CutPlayDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_initialised) {
        m_initialised = true;
        initialise();
    }
}

void CutPlayDialog::initialise()
{
    view()->setEnabled(true);
    if (m_wavPath.isEmpty() || !QFileInfo::exists(m_wavPath)) {
        view()->load(QString());
        setUpScrollBar();
        // Once the dialog is up, so that the message stands over it.
        QTimer::singleShot(0, this, [this] { showMessage(QStringLiteral("There is not selected file!")); });
    } else {
        showWave();
    }
    const QString caption = m_sourcePath.isEmpty() ? m_wavPath : m_sourcePath;
    if (!caption.isEmpty())
        setWindowTitle(caption);
}

void CutPlayDialog::showWave()
{
    view()->setEnabled(true);
    view()->load(m_wavPath);
    setUpScrollBar();
    update();
}

void CutPlayDialog::setUpScrollBar()
{
    int min = 0;
    int range = 0;
    view()->getScrollRange(&min, &range);
    const QSignalBlocker block(m_ui->scrollBar);
    m_ui->scrollBar->setRange(min, range);
    m_ui->scrollBar->setPageStep(std::max(1, m_ui->scrollBar->width()));
    m_ui->scrollBar->setValue(min);
}

void CutPlayDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The range depends on the view's width; the position stays where it is if it still fits.
    int min = 0;
    int range = 0;
    view()->getScrollRange(&min, &range);
    m_ui->scrollBar->setRange(min, range);
    m_ui->scrollBar->setPageStep(std::max(1, m_ui->scrollBar->width()));
}

void CutPlayDialog::onScroll(int position)
{
    view()->scrollTo(position);
}

void CutPlayDialog::zoom(bool in)
{
    if (in)
        view()->zoomIn();
    else
        view()->zoomOut();
    setUpScrollBar();
    // The view follows the bar back to the start at once.
    view()->scrollTo(m_ui->scrollBar->value());
}

void CutPlayDialog::open()
{
    const QString start = readFolderValue(kOpenDirKey).value_or(QDir::homePath());
    QFileDialog dialog(this, QString(), start, kFilters);
    dialog.setObjectName(QStringLiteral("openAudioDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().front();
    if (hasSuffix(chosen, ".mp3")) {
        if (!decode(chosen))
            return;
        setWindowTitle(chosen);
    } else if (hasSuffix(chosen, ".wav")) {
        replaceWave(chosen, QString());
        setWindowTitle(chosen);
    }
    showWave();
    writeFolderValue(kOpenedDirKey, folderOf(chosen));
}

void CutPlayDialog::selectionRange(qint64 *start, qint64 *end) const
{
    view()->getSelectionBytes(start, end);
    if (*start < 0) {
        *start = 0;
        *end = view()->getDataBytes();
    } else if (*start == *end) {
        *end = view()->getDataBytes();
    }
}

void CutPlayDialog::play()
{
    if (isPlaying() || m_wavPath.isEmpty() || !QFileInfo::exists(m_wavPath))
        return;
    selectionRange(&m_playStart, &m_playEnd);
    // A caret at the very end leaves nothing to play.
    if (m_playStart >= m_playEnd)
        return;
    view()->update();
    action(Command::Play)->setEnabled(false);
    view()->setEnabled(false);
    m_playCount = 0;
    startPlayer();
    m_playTimer.start(kPollMs, this);
}

void CutPlayDialog::startPlayer()
{
    // One player plays the stretch once; the device is free again before the next one opens it.
    m_player.reset();
    m_player = std::make_unique<WaveOutPlayer>(m_output);
    ++m_playCount;
    // A start the player cannot reach (past the data) would play from the beginning instead.
    if (m_player->open(m_wavPath, m_playStart, m_playEnd) && m_player->startOffset() != m_playStart)
        m_player->stop();
}

void CutPlayDialog::pollPlayer()
{
    if (!m_player) {
        endPlay();
        return;
    }
    const qint64 reached = m_player->position() + m_playStart;
    view()->setPlayCursor(reached / std::max(1, view()->getFrameBytes()));
    if (reached >= m_playEnd)
        m_player->stop();
    if (m_player->isPlaying())
        return;
    if (m_repeat)
        startPlayer();
    else
        endPlay();
}

void CutPlayDialog::endPlay()
{
    m_playTimer.stop();
    m_player.reset();
    view()->setPlayCursor(-1);
    view()->setEnabled(true);
    action(Command::Play)->setEnabled(true);
}

void CutPlayDialog::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_playTimer.timerId())
        pollPlayer();
    else
        QDialog::timerEvent(event);
}

void CutPlayDialog::stop()
{
    if (isPlaying())
        endPlay();
    view()->update();
}

void CutPlayDialog::setRepeat(bool repeat)
{
    action(Command::Repeat)->setChecked(repeat);
    m_repeat = repeat;
}

void CutPlayDialog::done(int result)
{
    if (isPlaying())
        endPlay();
    if (!m_wavPath.isEmpty())
        QFile::remove(peakfile::pathFor(m_wavPath));
    QDialog::done(result);
}

void CutPlayDialog::save()
{
    if (m_wavPath.isEmpty())
        return;
    qint64 start = 0;
    qint64 end = 0;
    selectionRange(&start, &end);
    SaveSelectionDialog dialog(readFolderValue(kSaveDirKey).value_or(QDir::homePath()), this);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveSelection(dialog.selectedFiles().front(), start, end, dialog.bitrateKbps(),
                  dialog.keepOriginalBitrate());
}

bool CutPlayDialog::saveSelection(const QString &target, qint64 start, qint64 end, int bitrateKbps,
                                  bool keepOriginal)
{
    SaveOutcome outcome = SaveOutcome::Nothing;
    if (hasSuffix(target, ".mp3"))
        outcome = saveAsMp3(target, start, end, bitrateKbps, keepOriginal);
    else if (hasSuffix(target, ".wav"))
        outcome = saveAsWave(target, start, end);
    // Any other name writes nothing, yet the folder is remembered.
    if (outcome != SaveOutcome::OpenFailed)
        writeFolderValue(kSaveDirKey, folderOf(target));
    return outcome == SaveOutcome::Written;
}

CutPlayDialog::SaveOutcome CutPlayDialog::saveAsMp3(const QString &target, qint64 start, qint64 end,
                                                    int bitrateKbps, bool keepOriginal)
{
    if (keepOriginal && hasSuffix(m_sourcePath, ".mp3")) {
        // The WAV only tells how many bytes a second holds; the frames come from the MP3.
        WaveFile wave;
        if (wave.open(m_wavPath, nullptr, WaveFile::ReadMode) != WaveFile::Result::Success)
            return SaveOutcome::OpenFailed;
        const WaveFormat format = *wave.format();
        wave.close();
        const int bits = format.bitsPerSample == 8 ? 16 : format.bitsPerSample;
        const double bytesPerSecond = static_cast<double>(format.channels) * bits * format.samplesPerSec / 8;
        if (bytesPerSecond <= 0)
            return SaveOutcome::Nothing;
        Mp3FileInfo copier;
        if (!copier.copyFramesByTime(m_sourcePath, target, static_cast<float>(start / bytesPerSecond),
                                     static_cast<float>(end / bytesPerSecond))) {
            showMessage(QString::asprintf("Open File %s Error", qUtf8Printable(target)));
            return SaveOutcome::OpenFailed;
        }
        return SaveOutcome::Written;
    }
    // The encoder job takes an empty range for the whole file; an empty selection saves nothing.
    if (start >= end)
        return SaveOutcome::Nothing;
    WavToMp3Job job(QStringList{m_wavPath});
    job.setBitrateKbps(bitrateKbps);
    job.setOutputPath(target);
    job.setRange(clampToU32(start), clampToU32(end));
    ProgressDialog::runJob(job, this, ProgressDialog::Layout::EncodeMp3);
    return QFileInfo::exists(target) ? SaveOutcome::Written : SaveOutcome::Nothing;
}

CutPlayDialog::SaveOutcome CutPlayDialog::saveAsWave(const QString &target, qint64 start, qint64 end)
{
    WaveFile source;
    if (source.open(m_wavPath, nullptr, WaveFile::ReadMode) != WaveFile::Result::Success) {
        showMessage(QString::asprintf("Open File %s Error", qUtf8Printable(m_wavPath)));
        return SaveOutcome::OpenFailed;
    }
    // Written beside the target and renamed over it at the end: the target may be the very
    // file being read.
    ReplacementFile replacement(target);
    WaveFile out;
    if (!replacement.isValid() || out.open(replacement.path(), source.format(), WaveFile::WriteMode,
                                           source.formatExtra()) != WaveFile::Result::Success) {
        showMessage(outputFailureText(target));
        return SaveOutcome::OpenFailed;
    }
    std::uint32_t count = 0;
    bool ok = source.read(nullptr, clampToU32(start), &count) == WaveFile::Result::Success;
    std::vector<char> block(kCopyBlockBytes);
    qint64 left = std::max<qint64>(0, end - start);
    while (ok && left > 0) {
        const auto want = static_cast<std::uint32_t>(std::min<qint64>(left, kCopyBlockBytes));
        std::uint32_t got = 0;
        if (source.read(block.data(), want, &got) != WaveFile::Result::Success || got == 0)
            break;
        std::uint32_t put = 0;
        ok = out.write(got, block.data(), &put) == WaveFile::Result::Success && put == got;
        left -= got;
    }
    source.close();
    ok = out.close() == WaveFile::Result::Success && ok;
    if (!ok || !replacement.commit()) {
        showMessage(outputFailureText(target));
        return SaveOutcome::OpenFailed;
    }
    return SaveOutcome::Written;
}

void CutPlayDialog::showMessage(const QString &text)
{
    QMessageBox::information(this, QStringLiteral("Sonavell"), text);
}

} // namespace sonavell
