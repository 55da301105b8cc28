#include "gui/app/recorderwindow.h"

#include "core/encode/mp3encoder.h"
#include "core/files/filelist.h"
#include "core/files/removabledrives.h"
#include "core/record/captureengine.h"
#include "core/record/recordingrecovery.h"
#include "core/record/recordsourcepanel.h"
#include "core/record/timedrecording.h"
#include "core/settings/recordersettings.h"
#include "gui/app/aboutlinks.h"
#include "gui/edit/cutplaycommand.h"
#include "gui/files/filecommands.h"
#include "gui/play/playerpanel.h"
#include "gui/process/processcommands.h"
#include "gui/record/recordsetupdialog.h"
#include "gui/record/silencedetectordialog.h"
#include "gui/record/timedrecordingdialog.h"
#include "gui/skin/appicons.h"
#include "gui/skin/dialogskin.h"
#include "gui/skin/recorderskin.h"
#include "gui/skin/timedisplay.h"
#include "gui/skin/windowband.h"
#include "ui_recorderwindow.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QShortcut>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace sonavell {

namespace {

const QString kOpenDirKey = QStringLiteral("OpenDir");
const QString kWaitingText = QStringLiteral("Waiting...");
const QString kWaitingTip = QStringLiteral("Sonavell: waiting for sound (silence is left out)");
const QString kMp3Filter = QStringLiteral("mp3 File (*.mp3 *.MP3 *.Mp3 *.mP3)");

QStringList firstInstalled(std::initializer_list<QStringList> candidates)
{
    for (const QStringList &candidate : candidates) {
        if (!QStandardPaths::findExecutable(candidate.front()).isEmpty()
            && (candidate.size() < 3 || candidate[1] != QStringLiteral("-e")
                || !QStandardPaths::findExecutable(candidate[2]).isEmpty()))
            return candidate;
    }
    return {};
}

} // namespace

RecorderWindow::RecorderWindow(AudioInput &input, Mixer &mixer, QWidget *parent)
    : RecorderWindow(input, nullptr, mixer, parent)
{
}

RecorderWindow::RecorderWindow(AudioInput &input, AudioOutput &output, Mixer &mixer, QWidget *parent)
    : RecorderWindow(input, &output, mixer, parent)
{
}

RecorderWindow::RecorderWindow(AudioInput &input, AudioOutput *output, Mixer &mixer, QWidget *parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::RecorderWindow>()), m_input(input), m_output(output),
      m_fileList(std::make_unique<FileList>()), m_sources(std::make_unique<RecordSourcePanel>(mixer))
{
    m_ui->setupUi(this);
    // Frameless, with the band across the top: menu bar, time display, minimise and close.
    m_band = new WindowBand(this);
    m_time = m_band->timeDisplay();
    connect(m_band, &WindowBand::closeClicked, this, [this] { runCommand(CommandId::Exit); });
    connect(m_band, &WindowBand::minimiseClicked, this, [this] {
        // With a tray the window goes there; without one it is minimised as any window.
        if (m_tray)
            toTray();
        else
            showMinimized();
    });
    m_sources->create();
    m_recording = std::make_unique<RecordingControl>(input, static_cast<RecordingView &>(*this), settings());

    setWindowTitle(QStringLiteral("Sonavell "));
    setWindowIcon(applicationIcon());
    m_trayBase = trayIconImage();

    m_ui->fileList->setFileList(m_fileList.get());
    m_fileList->restore(settings().fileList());
    connect(m_fileList.get(), &FileList::fileError, this, [this](const QString &path, const QString &description) {
        showError(QStringLiteral("%1\n%2").arg(path, description));
    });
    // Every notification of the list tells the player panel the first selected file.
    connect(m_fileList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RecorderWindow::sendSelectionToPlayer);
    connect(m_fileList.get(), &QAbstractItemModel::dataChanged, this, &RecorderWindow::sendSelectionToPlayer);
    connect(m_ui->fileList, &QAbstractItemView::clicked, this, &RecorderWindow::sendSelectionToPlayer);
    connect(m_ui->fileList, &FileListView::contextMenuWanted, this, [this](const QPoint &at) {
        QMenu menu;
        buildMenu(fileListMenu(), &menu, false)->exec(at);
    });

    m_sources->initialise();
    m_ui->recordControl->bind(m_sources.get());

    // The strip reads the frames of the format the recording really runs with.
    connect(m_recording.get(), &RecordingControl::recordingChanged, this, [this](bool recording) {
        if (!recording)
            return;
        const WaveFormat &format = m_recording->recordFormat();
        m_ui->waveformStrip->setFrameFormat(format.channels, format.bitsPerSample);
    });
    m_ui->waveformStrip->setEngineSource([this] { return m_recording->engine(); });
    connect(m_recording.get(), &RecordingControl::stripRedrawRequested, m_ui->waveformStrip,
            qOverload<>(&QWidget::update));
    connect(m_recording.get(), &RecordingControl::bufferRecorded, this, &RecorderWindow::onBufferRecorded);

    auto button = [this](QAbstractButton *widget, CommandId id) {
        connect(widget, &QAbstractButton::clicked, this, [this, id] { runCommand(id); });
    };
    button(m_ui->recordButton, CommandId::RecordButton);
    button(m_ui->pauseButton, CommandId::PauseButton);
    button(m_ui->stopButton, CommandId::StopButton);
    button(m_ui->optionButton, CommandId::OptionButton);
    button(m_ui->playButton, CommandId::PlayButton);
    button(m_ui->tagEditButton, CommandId::TagEditButton);

    buildMenus();
    buildShortcuts();
    qApp->installEventFilter(this);
    buildTray();
    m_player = new PlayerPanel(*m_fileList, mixer, m_output, m_ui->playerFrame);
    auto *playerLayout = new QVBoxLayout(m_ui->playerFrame);
    playerLayout->setContentsMargins(0, 0, 0, 0);
    playerLayout->addWidget(m_player);
    connect(this, &RecorderWindow::selectedFileChanged, m_player, &PlayerPanel::showTag);
    connect(m_fileList.get(), &FileList::fileRenamed, m_player, &PlayerPanel::followRename);
    connect(m_fileList.get(), &FileList::fileDeleted, m_player, &PlayerPanel::forgetFile);
    skinRecorderWindow(this);
    skinPlayerPanel(m_player);
    // A headset plugged in or a sink changed: the rows and the volume follow without a restart.
    m_sources->watchLines([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_sources->linesChanged();
                m_player->bindVolume();
            },
            Qt::QueuedConnection);
    });
    m_ui->playerFrame->hide(); // the panel starts closed; "Open/Close Tag Edit" shows it
    m_timerId = startTimer(1000);
}

RecorderWindow::~RecorderWindow()
{
    qApp->removeEventFilter(this);
    shutdown();
    // The menus go with the base class, after this object's own members.
    m_actions.clear();
}

QMenu *RecorderWindow::buildMenu(std::span<const MenuItem> items, QWidget *parent, bool tracked)
{
    auto *menu = new QMenu(parent);
    for (const MenuItem &item : items) {
        if (item.id == CommandId::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(menuText(item));
        action->setData(static_cast<int>(item.id));
        if (item.id == CommandId::PlayLoop)
            action->setCheckable(true);
        const CommandId id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        action->setEnabled(isCommandEnabled(id));
        if (tracked)
            m_actions.emplace(id, action);
    }
    if (tracked)
        connect(menu, &QMenu::aboutToShow, this, &RecorderWindow::updateCommandStates);
    return menu;
}

void RecorderWindow::buildMenus()
{
    for (const MenuPopup &popup : menuBarPopups()) {
        QMenu *menu = buildMenu(popup.items, menuBar(), true);
        menu->setTitle(QString::fromUtf8(popup.title));
        menuBar()->addMenu(menu);
    }
    updateCommandStates();
}

void RecorderWindow::buildShortcuts()
{
    for (const CommandKey &key : commandKeys()) {
        auto *shortcut = new QShortcut(key.key, this);
        shortcut->setContext(Qt::ApplicationShortcut);
        const CommandId id = key.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] {
            if (isCommandEnabled(id))
                runCommand(id);
        });
    }
}

bool RecorderWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<const QKeyEvent *>(event);
    const CommandId id = keypadCommand(key->key(), key->modifiers());
    // As the other keys of the table: not while a dialog or a menu holds the keyboard.
    if (id == CommandId::Separator || key->isAutoRepeat() || QApplication::activeModalWidget()
        || QApplication::activePopupWidget())
        return QMainWindow::eventFilter(watched, event);
    if (isCommandEnabled(id))
        runCommand(id);
    return true;
}

void RecorderWindow::sendSelectionToPlayer()
{
    const QString path = m_fileList->firstSelectedPath();
    if (!path.isEmpty())
        Q_EMIT selectedFileChanged(path);
}

void RecorderWindow::buildTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(QIcon(QPixmap::fromImage(m_trayBase)), this);
    m_tray->setToolTip(QStringLiteral("Sonavell"));
    m_tray->setContextMenu(buildMenu(trayMenu(), this, true));
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            restoreFromTray();
    });
}

QAction *RecorderWindow::action(CommandId id) const
{
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

const RemovableDrives &RecorderWindow::removableDrives() const
{
    static const KernelRemovableDrives kernelView;
    return m_drives ? *m_drives : kernelView;
}

bool RecorderWindow::isCommandEnabled(CommandId id) const
{
    switch (id) {
    case CommandId::ReplaceFileName:
    case CommandId::Join:
        return m_fileList->rowCount() > 0;
    case CommandId::UpdatePlayerOrder:
        return m_fileList->rowCount() > 0 && removableDrives().isOnPlayerVolume(m_fileList->pathOfRow(0));
    case CommandId::VolumeControl:
        return !mixerProgram().isEmpty();
    case CommandId::SystemSetting:
        return !soundSettingsProgram().isEmpty();
    default:
        return true;
    }
}

void RecorderWindow::updateCommandStates()
{
    for (const auto &[id, action] : m_actions) {
        action->setEnabled(isCommandEnabled(id));
        if (id == CommandId::PlayLoop)
            action->setChecked(settings().playLoop());
    }
}

bool RecorderWindow::requireSelection()
{
    QStringList selected;
    if (m_fileList->collectSelected(selected) > 0)
        return true;
    QMessageBox::information(this, QStringLiteral("Sonavell"), QStringLiteral("There is not selected file!"));
    return false;
}

void RecorderWindow::runCommand(CommandId id)
{
    if (needsSelection(id) && !requireSelection())
        return;
    if (runProcessCommand(id, *m_fileList, this))
        return;
    switch (id) {
    case CommandId::Open:
        openFiles();
        break;
    case CommandId::SaveAs:
        saveAs();
        break;
    case CommandId::Exit:
        close();
        break;
    case CommandId::Record:
    case CommandId::RecordButton:
        m_recording->record();
        break;
    case CommandId::Pause:
    case CommandId::PauseButton:
        m_recording->togglePause();
        break;
    case CommandId::Stop:
    case CommandId::StopButton:
        m_recording->stop();
        break;
    case CommandId::SelectAll:
        m_fileList->selectAll();
        break;
    case CommandId::InvertSelection:
        m_fileList->invertSelection();
        break;
    case CommandId::DeleteSelectedItems:
        m_fileList->removeSelectedRows();
        break;
    case CommandId::DeleteSelectedFiles:
        m_fileList->deleteSelectedFiles();
        break;
    case CommandId::DeleteAllItems:
        m_fileList->removeAllRows();
        break;
    case CommandId::DeleteAllFiles:
        m_fileList->deleteAllFiles();
        break;
    case CommandId::PlayLoop:
        settings().setPlayLoop(!settings().playLoop());
        updateCommandStates();
        break;
    case CommandId::VolumeControl:
        startProgram(mixerProgram());
        break;
    case CommandId::SystemSetting:
        startProgram(soundSettingsProgram());
        break;
    case CommandId::Help:
        showHelp();
        break;
    case CommandId::Homepage:
        openAboutLink(homepageTarget());
        break;
    case CommandId::Support:
        openAboutLink(supportTarget());
        break;
    case CommandId::About:
        showAbout();
        break;
    case CommandId::RestoreWindow:
        restoreFromTray();
        break;
    case CommandId::TagEditButton:
        toggleTagPanel();
        break;
    case CommandId::PlayButton:
        if (!m_ui->playerFrame->isVisible())
            toggleTagPanel();
        m_player->playSelected();
        break;
    case CommandId::SilenceDetector: {
        SilenceDetectorDialog dialog(settings(), this);
        skinDialog(&dialog);
        dialog.exec();
        break;
    }
    case CommandId::TimedRecording: {
        TimedRecordingDialog dialog(settings(), this);
        dialog.exec();
        break;
    }
    case CommandId::RecordSetup:
    case CommandId::OptionButton:
        showRecordSetup();
        break;
    case CommandId::Rename:
    case CommandId::ReplaceFileName:
    case CommandId::LoadPlayerFiles:
    case CommandId::UpdatePlayerOrder:
        FileCommands(*m_fileList, this, removableDrives()).run(id);
        break;
    case CommandId::CutAndPlay:
        runCutAndPlay(this, m_output, m_fileList->firstSelectedPath());
        break;
    default:
        break;
    }
}

void RecorderWindow::showRecordSetup()
{
    RecordSetupDialog dialog(settings(), m_input, this);
    skinDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The mixer device may have changed: list its inputs and read its output line again.
    m_sources->setupAccepted();
    // Where the dialog chose the record source itself, the rows show that choice.
    if (m_input.chosenDevice() >= 0)
        m_sources->linesChanged();
    m_ui->recordControl->refresh();
    m_player->bindVolume();
    update();
}

void RecorderWindow::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId) {
        QMainWindow::timerEvent(event);
        return;
    }
    checkSchedule(settings().timedRecordings(), QDateTime::currentDateTime(), *m_recording);
}

void RecorderWindow::openFiles()
{
    const QString start = readFolderValue(kOpenDirKey).value_or(QDir::homePath());
    const QStringList chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("Open"), start, kMp3Filter);
    for (const QString &path : chosen)
        m_fileList->addFile(path);
    if (!chosen.isEmpty())
        writeFolderValue(kOpenDirKey, QFileInfo(chosen.back()).absolutePath() + QLatin1Char('/'));
}

QString RecorderWindow::saveAsName(const QString &chosen)
{
    if (chosen.size() >= 4 && chosen[chosen.size() - 4] == QLatin1Char('.'))
        return chosen.chopped(3) + QStringLiteral("mp3");
    return chosen + QStringLiteral(".mp3");
}

void RecorderWindow::saveAs()
{
    const QString source = m_fileList->firstSelectedPath();
    const QString start = readFolderValue(kOpenDirKey).value_or(QDir::homePath());
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), start, kMp3Filter, nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty())
        return;
    writeFolderValue(kOpenDirKey, QFileInfo(chosen).absolutePath() + QLatin1Char('/'));
    if (source.isEmpty())
        return;
    const QString target = saveAsName(chosen);
    // Copying a file onto itself would first delete the only copy.
    if (QFileInfo(target).canonicalFilePath() == QFileInfo(source).canonicalFilePath())
        return;
    QFile existing(target);
    if (existing.exists() && !existing.remove()) {
        showError(QStringLiteral("%1\n%2").arg(target, existing.errorString()));
        return;
    }
    QFile file(source);
    if (!file.copy(target))
        showError(QStringLiteral("%1\n%2").arg(target, file.errorString()));
}

void RecorderWindow::toggleTagPanel()
{
    const int grow = m_ui->playerFrame->sizeHint().height() + 20;
    if (m_ui->playerFrame->isVisible()) {
        m_ui->playerFrame->hide();
        resize(width(), height() - grow);
    } else {
        resize(width(), height() + grow);
        m_ui->playerFrame->show();
    }
}

bool RecorderWindow::isWaitingForSound() const
{
    // The encoder leaves out silent chunks until the first sound when both options are on.
    const CaptureEngine *engine = m_recording->engine();
    const Mp3Encoder *encoder = engine ? engine->encoder() : nullptr;
    return encoder && !engine->isPaused() && !encoder->hasStarted() && settings().silenceEnabled()
           && settings().skipSilence();
}

void RecorderWindow::showWaiting(bool waiting)
{
    if (waiting == m_waitingShown)
        return;
    m_waitingShown = waiting;
    if (m_tray)
        m_tray->setToolTip(waiting ? kWaitingTip : QStringLiteral("Sonavell"));
}

void RecorderWindow::onBufferRecorded(int peak, const QString &elapsed)
{
    // While silence is left out nothing is written: say so rather than count time.
    const bool waiting = isWaitingForSound();
    showWaiting(waiting);
    m_time->setText(waiting ? kWaitingText : elapsed);
    m_time->draw();
    if (m_inTray && m_tray)
        m_tray->setIcon(QIcon(QPixmap::fromImage(levelIcon(m_trayBase, peak))));
    if (isMinimized())
        setWindowTitle(elapsed);
}

QImage RecorderWindow::levelIcon(const QImage &base, int peak)
{
    QImage icon = base.convertToFormat(QImage::Format_ARGB32);
    const int margin = 3;
    const QRect inside(margin, margin, icon.width() - 2 * margin, icon.height() - 2 * margin);
    QPainter painter(&icon);
    painter.fillRect(inside, Qt::black);
    const int bar = std::clamp(peak, 0, 32767) * inside.height() / 32767;
    painter.fillRect(QRect(inside.left(), inside.bottom() + 1 - bar, inside.width(), bar), QColor(0, 255, 0));
    return icon;
}

void RecorderWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray)
        toTray();
}

void RecorderWindow::toTray()
{
    m_inTray = true;
    m_tray->setIcon(QIcon(QPixmap::fromImage(m_trayBase)));
    m_tray->show();
    hide();
}

void RecorderWindow::restoreFromTray()
{
    m_inTray = false;
    if (m_tray)
        m_tray->hide();
    showNormal();
    raise();
    activateWindow();
}

void RecorderWindow::showHelp(const QUrl &page)
{
    // One help window: F1 again brings it to the front.
    if (!m_help) {
        m_help = new QDialog(this);
        m_help->setObjectName(QStringLiteral("helpWindow"));
        m_help->setAttribute(Qt::WA_DeleteOnClose);
        m_help->setWindowTitle(QStringLiteral("Sonavell Help"));
        auto *browser = new QTextBrowser(m_help);
        browser->setObjectName(QStringLiteral("helpBrowser"));
        browser->setOpenExternalLinks(true);
        browser->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
        auto *layout = new QVBoxLayout(m_help);
        layout->addWidget(browser);
        m_help->resize(560, 480);
    }
    if (page.isValid())
        m_help->findChild<QTextBrowser *>()->setSource(page);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void RecorderWindow::openAboutLink(const QUrl &target)
{
    // Bundled pages show in the help window; the rest goes to the desktop's browser or mailer,
    // and where none takes it the help's contact page says where to turn.
    if (target.scheme() == QLatin1String("qrc") || !QDesktopServices::openUrl(target))
        showHelp(target.scheme() == QLatin1String("qrc") ? target : contactPage());
}

void RecorderWindow::showAbout()
{
    QMessageBox about(QMessageBox::Information, QStringLiteral("About Sonavell"),
                      QStringLiteral("Sonavell Version 1.15"), QMessageBox::Ok, this);
    about.setIconPixmap(applicationIcon().pixmap(48));
    about.exec();
}

QStringList RecorderWindow::mixerProgram()
{
    return firstInstalled({{QStringLiteral("pavucontrol")},
                           {QStringLiteral("gnome-control-center"), QStringLiteral("sound")},
                           {QStringLiteral("systemsettings"), QStringLiteral("kcm_pulseaudio")},
                           {QStringLiteral("x-terminal-emulator"), QStringLiteral("-e"), QStringLiteral("alsamixer")}});
}

QStringList RecorderWindow::soundSettingsProgram()
{
    return firstInstalled({{QStringLiteral("gnome-control-center"), QStringLiteral("sound")},
                           {QStringLiteral("systemsettings"), QStringLiteral("kcm_pulseaudio")},
                           {QStringLiteral("pavucontrol"), QStringLiteral("--tab=3")},
                           {QStringLiteral("x-terminal-emulator"), QStringLiteral("-e"), QStringLiteral("alsamixer")}});
}

void RecorderWindow::startProgram(const QStringList &program)
{
    if (!program.isEmpty())
        QProcess::startDetached(program.front(), program.mid(1));
}

QString RecorderWindow::recordFileText() const
{
    return m_ui->recordFileEdit->text();
}

void RecorderWindow::setRecordFileText(const QString &text)
{
    m_ui->recordFileEdit->setText(text);
}

bool RecorderWindow::confirmReplace(const QString &question)
{
    return QMessageBox::question(this, QStringLiteral("Sonavell"), question, QMessageBox::Yes | QMessageBox::No)
           == QMessageBox::Yes;
}

void RecorderWindow::setRecordingState(bool recording)
{
    m_ui->recordButton->setEnabled(!recording);
    m_ui->pauseButton->setEnabled(recording);
    // Record shows its lit face for as long as a recording runs.
    m_ui->recordButton->setChecked(recording);
    if (!recording) {
        showWaiting(false);
        m_time->setText(QStringLiteral("00 : 00"));
        m_time->draw();
    }
}

void RecorderWindow::setPauseText(const QString &text)
{
    m_ui->pauseButton->setText(text);
    m_ui->pauseButton->setChecked(text != QStringLiteral("Pause"));
}

void RecorderWindow::setTitle(const QString &title)
{
    setWindowTitle(title);
}

void RecorderWindow::showError(const QString &message)
{
    QMessageBox::warning(this, QStringLiteral("Sonavell"), message);
}

// Not modal: a timed or split recording may be running unattended.
void RecorderWindow::showNotice(const QString &message)
{
    showModeless(QMessageBox::Information, message);
}

// A box that does not hold up the window: a recording goes on behind it.
QMessageBox *RecorderWindow::showModeless(QMessageBox::Icon icon, const QString &message)
{
    auto *box = new QMessageBox(icon, QStringLiteral("Sonavell"), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return box;
}

// A later loss only updates the text of the box already shown.
void RecorderWindow::showLostAudio(const QString &message)
{
    if (m_lostAudioBox)
        m_lostAudioBox->setText(message);
    else
        m_lostAudioBox = showModeless(QMessageBox::Warning, message);
}

void RecorderWindow::addFile(const QString &path)
{
    m_fileList->addFile(path);
}

QString RecorderWindow::recoverInterruptedRecordings(const QString &markerFolder)
{
    const RecoveryReport report = recoverRecordings(settings().saveDirectory(), markerFolder);
    if (report.isEmpty())
        return {};
    // A row restored under a name the file no longer has takes the new one, in its place.
    QStringList paths;
    m_fileList->collectAll(paths);
    bool renamedRows = false;
    for (const RecoveredFile &file : report.files) {
        const qsizetype at = paths.indexOf(file.original);
        if (at >= 0 && file.path != file.original && file.outcome == RecoveredFile::Outcome::Recovered) {
            paths[at] = file.path;
            renamedRows = true;
        }
    }
    if (renamedRows) {
        m_fileList->removeAllRows();
        for (const QString &path : paths)
            m_fileList->addFile(path);
    }
    for (const QString &path : report.recoveredPaths()) {
        if (!paths.contains(path))
            m_fileList->addFile(path);
    }
    const QString message = report.message();
    QTimer::singleShot(0, this, [this, message] { showModeless(QMessageBox::Information, message); });
    return message;
}

void RecorderWindow::closeEvent(QCloseEvent *event)
{
    // Off the screen first: stopping a recording and saving take their time unseen.
    hide();
    if (m_help)
        m_help->close();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    shutdown();
    event->accept();
}

void RecorderWindow::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_recording->stop();
    settings().setFileList(m_fileList->allPaths());
    if (m_timerId)
        killTimer(m_timerId);
    m_timerId = 0;
    if (m_tray)
        m_tray->hide();
}

} // namespace sonavell
