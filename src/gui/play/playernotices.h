#pragma once

#include "core/play/mediawindowplayer.h"

#include <QObject>

#include <functional>
#include <memory>

namespace sonavell {

// Carries one player's notifications to the thread of `context`: the player calls in on its
// output's thread (or on the commanding thread), and each notification is posted and handled
// there. Notifications still queued when the relay is destroyed are dropped, so a stopped or
// replaced player can no longer steer the window. Create and destroy on the context's thread,
// after the player that calls it has been stopped.
class PlayerNotices final : public MediaPlayerOwner
{
public:
    using ModeHandler = std::function<void(MediaMode)>;
    using PositionHandler = std::function<void(qint64)>;

    PlayerNotices(QObject *context, ModeHandler onMode, PositionHandler onPosition);
    ~PlayerNotices() override;
    PlayerNotices(const PlayerNotices &) = delete;
    PlayerNotices &operator=(const PlayerNotices &) = delete;

    void mediaModeChanged(MediaMode mode) override;
    void mediaPositionChanged(qint64 positionMs) override;

private:
    QObject *m_context;
    const ModeHandler m_onMode;
    const PositionHandler m_onPosition;
    // Read and cleared on the context's thread only; other threads just copy the pointer.
    std::shared_ptr<bool> m_live = std::make_shared<bool>(true);
};

} // namespace sonavell
