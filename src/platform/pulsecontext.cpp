#include "platform/pulsecontext.h"

#include <pulse/pulseaudio.h>

#include <QHash>

#include <algorithm>

namespace sonavell {

static_assert(PulseContext::kVolumeMuted == PA_VOLUME_MUTED && PulseContext::kVolumeNorm == PA_VOLUME_NORM);

namespace {

std::uint32_t clampedVolume(const pa_cvolume &volume)
{
    return std::min<std::uint32_t>(pa_cvolume_max(&volume), PA_VOLUME_NORM);
}

// Sets the loudest channel to `volume` and keeps the balance between the channels.
pa_cvolume scaledVolume(pa_cvolume current, std::uint32_t volume)
{
    volume = std::min<std::uint32_t>(volume, PA_VOLUME_NORM);
    if (pa_cvolume_max(&current) == PA_VOLUME_MUTED)
        pa_cvolume_set(&current, current.channels, volume);
    else
        pa_cvolume_scale(&current, volume);
    return current;
}

struct Success
{
    pa_threaded_mainloop *mainloop = nullptr;
    bool ok = false;
};

void onSuccess(pa_context *, int success, void *data)
{
    auto *result = static_cast<Success *>(data);
    result->ok = success != 0;
    pa_threaded_mainloop_signal(result->mainloop, 0);
}

struct ServerQuery
{
    pa_threaded_mainloop *mainloop = nullptr;
    QString defaultSource;
    QString defaultSink;
};

struct SourceQuery
{
    pa_threaded_mainloop *mainloop = nullptr;
    QList<PulseSource> sources;
    QHash<std::uint32_t, std::uint32_t> monitoredSink; // source index -> sink index
};

struct SinkQuery
{
    pa_threaded_mainloop *mainloop = nullptr;
    QList<PulseSink> sinks;
};

template<typename Info>
int channelsOf(const Info *info)
{
    return std::max<int>(1, info->channel_map.channels ? info->channel_map.channels : info->sample_spec.channels);
}

QString describe(const char *description, const char *name)
{
    return description && *description ? QString::fromUtf8(description) : QString::fromUtf8(name);
}

} // namespace

// The C callbacks; they run on the mainloop thread.
struct PulseCallbacks
{
    static void state(pa_context *, void *data)
    {
        pa_threaded_mainloop_signal(static_cast<PulseContext *>(data)->m_mainloop, 0);
    }

    static void event(pa_context *, pa_subscription_event_type_t type, std::uint32_t, void *data)
    {
        const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const unsigned kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        const bool lines = (facility == PA_SUBSCRIPTION_EVENT_SOURCE || facility == PA_SUBSCRIPTION_EVENT_SINK)
                           && kind != PA_SUBSCRIPTION_EVENT_CHANGE;
        if (lines || facility == PA_SUBSCRIPTION_EVENT_SERVER)
            static_cast<PulseContext *>(data)->linesChanged();
    }

    static void server(pa_context *, const pa_server_info *info, void *data)
    {
        auto *query = static_cast<ServerQuery *>(data);
        if (info) {
            query->defaultSource = QString::fromUtf8(info->default_source_name ? info->default_source_name : "");
            query->defaultSink = QString::fromUtf8(info->default_sink_name ? info->default_sink_name : "");
        }
        pa_threaded_mainloop_signal(query->mainloop, 0);
    }

    static void source(pa_context *, const pa_source_info *info, int eol, void *data)
    {
        auto *query = static_cast<SourceQuery *>(data);
        if (eol || !info) {
            pa_threaded_mainloop_signal(query->mainloop, 0);
            return;
        }
        PulseSource source;
        source.index = info->index;
        source.name = QString::fromUtf8(info->name);
        source.description = describe(info->description, info->name);
        source.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
        source.channels = channelsOf(info);
        source.volume = clampedVolume(info->volume);
        if (source.monitor)
            query->monitoredSink.insert(info->index, info->monitor_of_sink);
        query->sources.append(source);
    }

    static void sink(pa_context *, const pa_sink_info *info, int eol, void *data)
    {
        auto *query = static_cast<SinkQuery *>(data);
        if (eol || !info) {
            pa_threaded_mainloop_signal(query->mainloop, 0);
            return;
        }
        query->sinks.append(PulseSink{info->index, QString::fromUtf8(info->name), describe(info->description, info->name),
                                      channelsOf(info), clampedVolume(info->volume)});
    }
};

PulseLock::PulseLock(const PulseContext &context) : m_mainloop(context.mainloop())
{
    pa_threaded_mainloop_lock(m_mainloop);
}

PulseLock::~PulseLock()
{
    pa_threaded_mainloop_unlock(m_mainloop);
}

PulseContext::PulseContext() = default;

std::shared_ptr<PulseContext> PulseContext::connect(const QString &server, QString *error)
{
    std::shared_ptr<PulseContext> pulse(new PulseContext);
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return nullptr;
    };
    pulse->m_mainloop = pa_threaded_mainloop_new();
    if (!pulse->m_mainloop)
        return fail(QStringLiteral("Cannot create the sound server's event loop"));
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Sonavell");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "sonavell");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "sonavell");
    pulse->m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(pulse->m_mainloop), "Sonavell", properties);
    pa_proplist_free(properties);
    if (!pulse->m_context)
        return fail(QStringLiteral("Cannot create a sound server connection"));
    pa_context_set_state_callback(pulse->m_context, PulseCallbacks::state, pulse.get());
    pa_context_set_subscribe_callback(pulse->m_context, PulseCallbacks::event, pulse.get());
    if (pa_threaded_mainloop_start(pulse->m_mainloop) < 0)
        return fail(QStringLiteral("Cannot start the sound server's event loop"));

    PulseLock lock(*pulse);
    const QByteArray address = server.toUtf8();
    if (pa_context_connect(pulse->m_context, address.isEmpty() ? nullptr : address.constData(), PA_CONTEXT_NOAUTOSPAWN,
                           nullptr)
        < 0)
        return fail(pulse->lastServerError());
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(pulse->m_context);
        if (state == PA_CONTEXT_READY)
            break;
        if (!PA_CONTEXT_IS_GOOD(state))
            return fail(pulse->lastServerError());
        pa_threaded_mainloop_wait(pulse->m_mainloop);
    }
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK
                                                          | PA_SUBSCRIPTION_MASK_SERVER);
    if (pa_operation *operation = pa_context_subscribe(pulse->m_context, mask, nullptr, nullptr))
        pa_operation_unref(operation);
    return pulse;
}

PulseContext::~PulseContext()
{
    if (m_mainloop && m_context) {
        pa_threaded_mainloop_lock(m_mainloop);
        pa_context_disconnect(m_context);
        pa_threaded_mainloop_unlock(m_mainloop);
    }
    if (m_mainloop)
        pa_threaded_mainloop_stop(m_mainloop);
    if (m_context)
        pa_context_unref(m_context);
    if (m_mainloop)
        pa_threaded_mainloop_free(m_mainloop);
}

bool PulseContext::isConnected()
{
    PulseLock lock(*this);
    return pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

QString PulseContext::lastServerError()
{
    return QString::fromUtf8(pa_strerror(pa_context_errno(m_context)));
}

QString PulseContext::errorText()
{
    PulseLock lock(*this);
    return lastServerError();
}

bool PulseContext::wait(pa_operation *operation)
{
    if (!operation)
        return false;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
            pa_operation_cancel(operation);
            break;
        }
        pa_threaded_mainloop_wait(m_mainloop);
    }
    const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pa_operation_unref(operation);
    return done;
}

QString PulseContext::defaultSourceName()
{
    PulseLock lock(*this);
    ServerQuery query{m_mainloop, {}, {}};
    wait(pa_context_get_server_info(m_context, PulseCallbacks::server, &query));
    return query.defaultSource;
}

QList<PulseSource> PulseContext::sources()
{
    PulseLock lock(*this);
    SourceQuery query{m_mainloop, {}, {}};
    if (!wait(pa_context_get_source_info_list(m_context, PulseCallbacks::source, &query)))
        return {};
    // Some servers describe a monitor by its sink's name alone.
    const bool unnamedMonitor = std::any_of(query.sources.begin(), query.sources.end(), [](const PulseSource &source) {
        return source.monitor && !source.description.startsWith(QLatin1String("Monitor of "));
    });
    if (unnamedMonitor) {
        SinkQuery sinks{m_mainloop, {}};
        wait(pa_context_get_sink_info_list(m_context, PulseCallbacks::sink, &sinks));
        for (PulseSource &source : query.sources) {
            if (!source.monitor || source.description.startsWith(QLatin1String("Monitor of ")))
                continue;
            const std::uint32_t sinkIndex = query.monitoredSink.value(source.index, PA_INVALID_INDEX);
            const auto sink = std::find_if(sinks.sinks.begin(), sinks.sinks.end(),
                                           [&](const PulseSink &s) { return s.index == sinkIndex; });
            source.description = QStringLiteral("Monitor of %1").arg(sink != sinks.sinks.end() ? sink->description
                                                                                                : source.description);
        }
    }
    std::stable_sort(query.sources.begin(), query.sources.end(),
                     [](const PulseSource &a, const PulseSource &b) { return a.index < b.index; });
    std::stable_partition(query.sources.begin(), query.sources.end(), [](const PulseSource &s) { return !s.monitor; });
    return query.sources;
}

std::optional<PulseSink> PulseContext::playbackSink()
{
    PulseLock lock(*this);
    ServerQuery server{m_mainloop, {}, {}};
    wait(pa_context_get_server_info(m_context, PulseCallbacks::server, &server));
    SinkQuery query{m_mainloop, {}};
    if (!wait(pa_context_get_sink_info_list(m_context, PulseCallbacks::sink, &query)) || query.sinks.isEmpty())
        return std::nullopt;
    for (const PulseSink &sink : query.sinks)
        if (sink.name == server.defaultSink)
            return sink;
    return query.sinks.front();
}

namespace {

// Reads the volume of one source or sink by index, then sets its loudest channel to `volume`
// with the balance kept. Mainloop lock held.
template <typename Info, typename Get, typename Set>
bool setVolume(PulseContext &pulse, std::uint32_t index, std::uint32_t volume, Get get, Set set)
{
    struct Current
    {
        pa_threaded_mainloop *mainloop;
        pa_cvolume volume{};
        bool found = false;
    } current{pulse.mainloop()};
    auto read = [](pa_context *, const Info *info, int eol, void *data) {
        auto *c = static_cast<Current *>(data);
        if (!eol && info) {
            c->volume = info->volume;
            c->found = true;
        }
        pa_threaded_mainloop_signal(c->mainloop, 0);
    };
    pulse.wait(get(pulse.context(), index, read, &current));
    if (!current.found)
        return false;
    const pa_cvolume wanted = scaledVolume(current.volume, volume);
    Success result{pulse.mainloop()};
    return pulse.wait(set(pulse.context(), index, &wanted, onSuccess, &result)) && result.ok;
}

} // namespace

bool PulseContext::setSourceVolume(std::uint32_t index, std::uint32_t volume)
{
    PulseLock lock(*this);
    return setVolume<pa_source_info>(*this, index, volume, pa_context_get_source_info_by_index,
                                     pa_context_set_source_volume_by_index);
}

bool PulseContext::setSinkVolume(std::uint32_t index, std::uint32_t volume)
{
    PulseLock lock(*this);
    return setVolume<pa_sink_info>(*this, index, volume, pa_context_get_sink_info_by_index,
                                   pa_context_set_sink_volume_by_index);
}

QString PulseContext::chosenSource()
{
    std::lock_guard lock(m_mutex);
    return m_chosen;
}

QString PulseContext::recordingSource()
{
    {
        PulseLock lock(*this);
        if (m_captureStream)
            return m_captureSource;
    }
    const QString chosen = chosenSource();
    if (!chosen.isEmpty()) {
        const QList<PulseSource> all = sources();
        if (std::any_of(all.begin(), all.end(), [&](const PulseSource &s) { return s.name == chosen; }))
            return chosen;
    }
    return defaultSourceName();
}

bool PulseContext::chooseSource(const QString &name)
{
    std::function<void(const QString &)> changed;
    {
        std::lock_guard lock(m_mutex);
        m_chosen = name;
        changed = m_choiceChanged;
    }
    bool ok = true;
    {
        PulseLock lock(*this);
        if (m_captureStream && pa_stream_get_state(m_captureStream) == PA_STREAM_READY && name != m_captureSource) {
            Success result{m_mainloop};
            const QByteArray source = name.toUtf8();
            ok = wait(pa_context_move_source_output_by_name(m_context, pa_stream_get_index(m_captureStream),
                                                            source.constData(), onSuccess, &result))
                 && result.ok;
            if (ok)
                m_captureSource = name;
        }
    }
    if (changed)
        changed(name);
    return ok;
}

void PulseContext::setChoiceChanged(std::function<void(const QString &)> callback)
{
    std::lock_guard lock(m_mutex);
    m_choiceChanged = std::move(callback);
}

void PulseContext::setLinesChanged(std::function<void()> callback)
{
    std::lock_guard lock(m_mutex);
    m_linesChanged = std::move(callback);
}

// Mainloop thread. The lock makes sure no call runs after setLinesChanged({}) returned.
void PulseContext::linesChanged()
{
    std::lock_guard lock(m_mutex);
    if (m_linesChanged)
        m_linesChanged();
}

void PulseContext::setCaptureStream(pa_stream *stream, const QString &source)
{
    m_captureStream = stream;
    m_captureSource = source;
}

void PulseContext::setCaptureSource(const QString &source)
{
    m_captureSource = source;
}

} // namespace sonavell
