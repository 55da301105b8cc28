#include "core/record/recordingcontrol.h"

#include "core/files/filelist.h"
#include "core/record/recordinglistener.h"
#include "core/settings/recordersettings.h"

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

RecordingControl::RecordingControl(AudioInput &input, RecordingView &view, QObject *parent)
    : QObject(parent), m_input(input), m_view(view), m_format(settings().recordFormat()),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    connect(this, &RecordingControl::stopRequested, this, &RecordingControl::stop, Qt::QueuedConnection);
    connect(this, &RecordingControl::splitRequested, this, &RecordingControl::splitOnSilence, Qt::QueuedConnection);
    connect(this, &RecordingControl::stopWithErrorRequested, this, &RecordingControl::stopWithError,
            Qt::QueuedConnection);
}

RecordingControl::~RecordingControl()
{
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
    m_splitCount = 0;
    start();
}

void RecordingControl::start()
{
    if (m_engine)
        return;
    m_recordPath = settings().saveDirectory() + m_clock().toString(QStringLiteral("yyyy-MM-dd-HH-mm"));
    m_format = settings().recordFormat();

    auto engine = std::make_unique<CaptureEngine>(m_input);
    auto listener = std::make_unique<RecordingListener>(*this, m_format, *engine);
    engine->setListener(listener.get());
    if (!engine->open(m_recordPath) || !engine->start()) {
        // Never show a recording that is not happening: say why and stay idle.
        const CaptureEngine::Failure failure = engine->failure();
        const QString why = engine->failureText();
        engine->setListener(nullptr);
        engine->stop();
        engine->close();
        engine.reset();
        const bool fileWasCreated =
            failure == CaptureEngine::Failure::DeviceOpen || failure == CaptureEngine::Failure::DevicePrepare
            || failure == CaptureEngine::Failure::DeviceQueue || failure == CaptureEngine::Failure::DeviceStart;
        if (fileWasCreated)
            QFile::remove(m_recordPath);
        m_view.showError(QStringLiteral("The recording could not start: %1").arg(why));
        Q_EMIT recordingChanged(false);
        return;
    }
    m_engine = std::move(engine);
    m_listener = std::move(listener);

    const QString base = m_recordPath.mid(m_recordPath.lastIndexOf(QLatin1Char('/')) + 1);
    QString box = m_view.recordFileText();
    if (!box.isEmpty() && QFileInfo::exists(folderOf(m_recordPath) + QLatin1Char('/') + box)
        && !m_view.confirmReplace(box + QStringLiteral(" already exists,Do you want to replace it?")))
        box.clear();
    if (box.isEmpty())
        m_view.setRecordFileText(forceMp3Extension(base));
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
    m_engine->close();
    m_engine.reset();
    m_listener.reset();

    QString target = finalTarget();
    if (QFileInfo::exists(target) && !QFile::remove(target))
        target = target.chopped(4) + unusedNamePart(folderOf(target), QStringLiteral("Un")) + QStringLiteral(".Mp3");
    if (!QFile::rename(recorded, target)) {
        target = target.chopped(4) + QStringLiteral("repeat.mp3");
        if (!QFile::rename(recorded, target)) {
            target = recorded;
            m_view.showError(QStringLiteral("The recording could not be renamed; it is kept as %1").arg(recorded));
        }
    }

    // A file smaller than the sample rate in bytes (about two seconds at 160 kbit/s) is a false start.
    const QFileInfo file(target);
    if (settings().silenceEnabled() && file.size() < static_cast<qint64>(m_format.samplesPerSec))
        QFile::remove(target);
    else
        m_view.addFile(target);

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
    start();
}

} // namespace sonavell
