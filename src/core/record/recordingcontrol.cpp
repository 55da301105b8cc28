#include "core/record/recordingcontrol.h"

#include "core/encode/mp3encoder.h"
#include "core/files/filelist.h"
#include "core/record/recordinglistener.h"
#include "core/record/recordingmarker.h"
#include "core/record/recordingrecovery.h"
#include "core/settings/recordersettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cstring>

namespace sonavell {

namespace {

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

// A name part no file in `folder` has yet, for a target that could not be freed.
QString unusedNamePart(const QString &folder, const QString &prefix)
{
    for (;;) {
        const QString part = prefix + QUuid::createUuid().toString(QUuid::Id128).left(8).toUpper();
        if (!QFileInfo::exists(folder + QLatin1Char('/') + part))
            return part;
    }
}

} // namespace

RecordingControl::RecordingControl(AudioInput &input, RecordingView &view, const RecorderSettings &settings,
                                   QObject *parent)
    : QObject(parent), m_input(input), m_view(view), m_settings(settings), m_format(settings.recordFormat()),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    connect(this, &RecordingControl::stopRequested, this, &RecordingControl::stop, Qt::QueuedConnection);
    connect(this, &RecordingControl::splitRequested, this, &RecordingControl::splitOnSilence, Qt::QueuedConnection);
    connect(this, &RecordingControl::stopWithErrorRequested, this, &RecordingControl::stopWithError,
            Qt::QueuedConnection);
    connect(this, &RecordingControl::lostAudioReported, this, &RecordingControl::showLostAudio, Qt::QueuedConnection);
}

RecordingControl::~RecordingControl()
{
    // Destroyed while recording (the window goes without a Stop): the marker stays, so the
    // take is recovered at the next start.
    if (m_engine) {
        m_engine->setListener(nullptr);
        m_engine->stop();
        m_engine->close();
    }
}

int RecordingControl::bufferPeak(const std::int16_t *samples, std::uint32_t byteCount)
{
    if (byteCount < 2)
        return 0;
    int highest = 0;
    for (std::uint32_t i = 0; i < byteCount / 2; ++i)
        highest = std::max(highest, static_cast<int>(static_cast<std::uint16_t>(samples[i] + 0x7FFF)));
    return std::abs(highest - 0x7FFF);
}

void RecordingControl::record()
{
    if (m_engine || m_asking)
        return;
    m_splitCount = 0;
    start(NameChoice::Ask);
}

void RecordingControl::recordScheduled()
{
    if (m_engine)
        return;
    m_splitCount = 0;
    start(NameChoice::TakeFreeName);
}

QString RecordingControl::freeTarget(const QString &target) const
{
    const QString free = recordnames::nextFreeName(target);
    // All thousand numbers taken: a name no file has, as the Part's temporary-name rule does.
    return free.isEmpty() ? target.chopped(4) + unusedNamePart(folderOf(target), QStringLiteral("Un")) + QStringLiteral(".Mp3")
                          : free;
}

// Decides the Record File name before anything is captured, so no answer can come too late.
// False when the take must not start (a question answered while a timed start began).
bool RecordingControl::settleName(NameChoice choice, const QString &folder)
{
    m_approvedTarget.clear();
    const QString box = m_view.recordFileText();
    if (box.isEmpty())
        return true;
    // The name the file will really get, with ".mp3" forced.
    const QString target = forceMp3Extension(folder + box);
    if (!QFileInfo::exists(target))
        return true;
    if (choice == NameChoice::TakeFreeName) {
        m_view.setRecordFileText(freeTarget(target).mid(folder.size()));
        return true;
    }
    m_asking = true;
    const bool replace = m_view.confirmReplace(box + QStringLiteral(" already exists,Do you want to replace it?"));
    m_asking = false;
    if (m_engine)
        return false;
    if (replace)
        m_approvedTarget = target;
    else
        m_view.setRecordFileText(QString());
    return true;
}

void RecordingControl::start(NameChoice choice)
{
    if (m_engine)
        return;
    auto refuse = [this](const QString &message) {
        m_view.setRecordingState(false);
        m_view.showError(message);
        Q_EMIT recordingChanged(false);
    };
    // The save directory is always a folder: a trailing '/' is added. A missing one is not made,
    // since it may be a drive that is not mounted.
    QString folder = m_settings.saveDirectory();
    if (folder.trimmed().isEmpty()) {
        refuse(QStringLiteral("No save folder is set. Choose one in Record Setup."));
        return;
    }
    folder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!QFileInfo(folder).isDir()) {
        refuse(QStringLiteral("The save folder %1 does not exist. Choose another in Record Setup.").arg(folder));
        return;
    }
    if (!settleName(choice, folder))
        return;

    // A second take in the same minute, or a file left by a crash, keeps its name.
    const QString stamp = folder + m_clock().toString(QStringLiteral("yyyy-MM-dd-HH-mm"));
    m_recordPath = stamp;
    for (int n = 1; n <= 999 && (QFileInfo::exists(m_recordPath) || QFileInfo(m_recordPath).isSymLink()); ++n)
        m_recordPath = stamp + QString::asprintf("%03d", n);
    m_format = m_settings.recordFormat();
    const QString base = m_recordPath.mid(m_recordPath.lastIndexOf(QLatin1Char('/')) + 1);
    const QString box = m_view.recordFileText();
    // With an empty box the take is named after its time stamp; another take of this minute may
    // already have that name.
    const QString plannedTarget = box.isEmpty() ? freeTarget(forceMp3Extension(m_recordPath)) : forceMp3Extension(folder + box);

    auto marker = std::make_unique<RecordingMarker>();
    marker->write(m_markerFolder.isEmpty() ? dataFolder() : m_markerFolder, m_recordPath, plannedTarget);
    auto engine = std::make_unique<CaptureEngine>(m_input, m_settings);
    auto listener = std::make_unique<RecordingListener>(*this, m_format, *engine, m_settings);
    engine->setListener(listener.get());
    if (!engine->open(m_recordPath) || !engine->start()) {
        // Never show a recording that is not happening: say why and stay idle.
        const CaptureEngine::Error failure = engine->error();
        const QString why = engine->errorText();
        engine->setListener(nullptr);
        engine->stop();
        engine->close();
        engine.reset();
        const bool fileWasCreated =
            failure == CaptureEngine::Error::DeviceOpen || failure == CaptureEngine::Error::DevicePrepare
            || failure == CaptureEngine::Error::DeviceQueue || failure == CaptureEngine::Error::DeviceStart;
        if (fileWasCreated)
            QFile::remove(m_recordPath);
        marker->remove();
        refuse(QStringLiteral("The recording could not start: %1").arg(why));
        return;
    }
    m_engine = std::move(engine);
    m_listener = std::move(listener);
    m_marker = std::move(marker);

    if (box.isEmpty())
        m_view.setRecordFileText(plannedTarget.mid(folder.size()));
    m_view.setRecordingState(true);
    Q_EMIT recordingChanged(true);
}

void RecordingControl::togglePause()
{
    if (!m_engine)
        return;
    const bool paused = m_engine->togglePause();
    m_view.setPauseText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

QString RecordingControl::finalTarget() const
{
    const QString box = m_view.recordFileText();
    return forceMp3Extension(box.isEmpty() ? m_recordPath : folderOf(m_recordPath) + QLatin1Char('/') + box);
}

void RecordingControl::stop()
{
    if (!m_engine) {
        m_view.setTitle(QStringLiteral("Sonavell"));
        return;
    }
    m_engine->setListener(nullptr);
    m_engine->stop();
    const QString recorded = m_recordPath;
    // Every chunk left out as silence: the file holds only the encoder's own closing frames.
    const bool nothingEncoded = m_engine->encoder() && !m_engine->encoder()->hasStarted();
    const bool writeFailed = m_engine->encoder() && m_engine->encoder()->hasFailed();
    m_engine->close();
    m_engine.reset();
    m_listener.reset();

    // Only the file the user agreed to replace is replaced; any other taken name (the box edited
    // during the take, another program's file) gives way to the next free number.
    QString target = finalTarget();
    if (QFileInfo::exists(target)) {
        if (target != m_approvedTarget || !QFile::remove(target))
            target = freeTarget(target);
    }
    bool renamed = QFile::rename(recorded, target);
    if (!renamed) {
        target = freeTarget(target.chopped(4) + QStringLiteral("repeat.mp3"));
        renamed = QFile::rename(recorded, target);
    }
    if (!renamed) {
        // The marker stays, so the next start tries again.
        target = recorded;
        m_view.showError(QStringLiteral("The recording could not be renamed; it is kept as %1").arg(recorded));
    } else if (m_marker) {
        m_marker->remove();
    }
    m_marker.reset();
    m_approvedTarget.clear();
    // A failed write (full disk) may have torn the last frame and kept the tag from being written.
    if (writeFailed && renamed)
        recoverRecording(target, QString());

    // A take in which not one frame of sound was written (the detector left out a silent start
    // that never ended) is no recording.
    if (m_settings.silenceEnabled() && renamed && (nothingEncoded || scanMp3Frames(target).audioFrames == 0)) {
        QFile::remove(target);
        m_view.showNotice(QStringLiteral("Nothing was heard during the recording, so no file was kept."));
    } else {
        m_view.addFile(target);
    }

    m_view.setRecordingState(false);
    m_view.setPauseText(QStringLiteral("Pause"));
    Q_EMIT stripRedrawRequested();
    m_view.setTitle(QStringLiteral("Sonavell"));
    Q_EMIT recordingChanged(false);
}

void RecordingControl::stopWithError(const QString &message)
{
    if (!m_engine)
        return;
    stop();
    m_view.showError(message);
}

void RecordingControl::splitOnSilence()
{
    // A request that arrives after the user stopped must not start a recording.
    if (!m_engine)
        return;
    stop();
    QString text = m_view.recordFileText();
    text.chop(m_splitCount != 0 ? 7 : 4);
    text += QString::asprintf("%03d", m_splitCount + 1) + QStringLiteral(".mp3");
    m_view.setRecordFileText(text);
    ++m_splitCount;
    // Nobody is there to answer: a numbered name that is taken gives way to a free one.
    start(NameChoice::TakeFreeName);
}

void RecordingControl::showLostAudio(quint64 milliseconds)
{
    if (!m_engine)
        return;
    m_view.showLostAudio(QStringLiteral("%1 s of audio were lost during this recording: the sound card delivered "
                                        "less than it should have. The file has a gap there.")
                             .arg(QString::number(double(milliseconds) / 1000.0, 'f', 1)));
}

} // namespace sonavell
