#include "gui/play/playernotices.h"

namespace sonavell {

PlayerNotices::PlayerNotices(QObject *context, ModeHandler onMode, PositionHandler onPosition)
    : m_context(context), m_onMode(std::move(onMode)), m_onPosition(std::move(onPosition))
{
}

PlayerNotices::~PlayerNotices()
{
    *m_live = false;
}

void PlayerNotices::mediaModeChanged(MediaMode mode)
{
    QMetaObject::invokeMethod(
        m_context,
        [live = m_live, handler = m_onMode, mode] {
            if (*live)
                handler(mode);
        },
        Qt::QueuedConnection);
}

void PlayerNotices::mediaPositionChanged(qint64 positionMs)
{
    QMetaObject::invokeMethod(
        m_context,
        [live = m_live, handler = m_onPosition, positionMs] {
            if (*live)
                handler(positionMs);
        },
        Qt::QueuedConnection);
}

} // namespace sonavell
