#include "tevro/player/mpv_core.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include <mpv/client.h>
#include <mpv/stream_cb.h>

#include <QCoreApplication>

#include "tevro/player/stream_protocol.h"

namespace tevro {

namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kPositionID = 1;
constexpr std::uint64_t kCacheID = 2;

struct ObservedProperty {
    const char* name;
    mpv_format format;
};

constexpr ObservedProperty kObserved[] = {
    {"duration", MPV_FORMAT_DOUBLE},
    {"pause", MPV_FORMAT_FLAG},
    {"paused-for-cache", MPV_FORMAT_FLAG},
    {"seeking", MPV_FORMAT_FLAG},
    {"eof-reached", MPV_FORMAT_FLAG},
    {"volume", MPV_FORMAT_DOUBLE},
    {"mute", MPV_FORMAT_FLAG},
    {"speed", MPV_FORMAT_DOUBLE},
    {"track-list", MPV_FORMAT_NODE},
    {"video-params/w", MPV_FORMAT_DOUBLE},
};

constexpr const char* kDiagnosticProperties[] = {
    "mpv-version",
    "current-vo",
    "hwdec-current",
    "video-codec",
    "time-pos",
    "seeking",
    "pause",
    "video-params/pixelformat",
    "video-params/hw-pixelformat",
    "video-out-params/w",
    "video-out-params/h",
    "estimated-vf-fps",
    "decoder-frame-drop-count",
    "frame-drop-count",
    "mistimed-frame-count",
    "vo-delayed-frame-count",
    "avsync",
    "display-fps",
};

std::optional<std::string> text(const mpv_node* node) {
    if (node && node->format == MPV_FORMAT_STRING && node->u.string)
        return std::string(node->u.string);
    return std::nullopt;
}

std::optional<std::int64_t> integer(const mpv_node* node) {
    if (node && node->format == MPV_FORMAT_INT64)
        return node->u.int64;
    return std::nullopt;
}

bool flag(const mpv_node* node) {
    return node && node->format == MPV_FORMAT_FLAG && node->u.flag;
}

MPVValue valueOf(const mpv_event_property& p) {
    switch (p.format) {
    case MPV_FORMAT_FLAG:
        return MPVValue::flag(*static_cast<int*>(p.data) != 0);
    case MPV_FORMAT_DOUBLE:
        return MPVValue::number(*static_cast<double*>(p.data));
    case MPV_FORMAT_STRING: {
        const char* s = *static_cast<char**>(p.data);
        return s ? MPVValue::string(s) : MPVValue::none();
    }
    default:
        return MPVValue::none();
    }
}

} // namespace

const std::map<std::uint64_t, std::string>& MPVCore::telemetryNames() {
    static const std::map<std::uint64_t, std::string> names = {{kPositionID, "time-pos"},
                                                               {kCacheID, "demuxer-cache-time"}};
    return names;
}

MPVCore::MPVCore(Passkey, mpv_handle* handle) : m_handle(handle) {
    m_events = std::make_unique<SerialQueue>("tevro.mpv.events");
    m_telemetry = std::make_unique<QueueTimer>(*m_events, [this] {
        if (!m_terminated)
            requestTelemetry(false);
    });
}

std::shared_ptr<MPVCore> MPVCore::create(const Options& options) {
    // mpv refuses to start under a locale whose decimal point is not ".": the
    // program sets LC_NUMERIC to "C" at start-up, before any thread runs.
    mpv_handle* handle = mpv_create();
    if (!handle)
        return nullptr;
    const std::pair<const char*, const char*> settings[] = {
        {"vo", "libmpv"},
        {"video-timing-offset", "0"},
        {"hwdec", options.hardwareDecoding ? "auto-safe" : "no"},
        {"keep-open", "yes"},
        {"idle", "yes"},
        {"config", "no"},
        {"terminal", "no"},
        {"osc", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"ytdl", "no"},
        {"cache", "yes"},
        {"demuxer-max-bytes", "300MiB"},
        {"demuxer-max-back-bytes", "100MiB"},
        {"demuxer-readahead-secs", "10"},
        {"cache-pause-wait", "6"},
        {"volume-max", "200"},
        {"sub-auto", "no"},
        {"audio-file-auto", "no"},
        {"audio-client-name", "Tevro"},
        {"screenshot-format", "png"},
        {"msg-level", "all=warn"},
        // The trailing comma lets mpv go on probing when none of these opens.
        {"ao", options.silent ? "null" : "pipewire,pulse,alsa,"},
    };
    for (const auto& [name, value] : settings)
        mpv_set_option_string(handle, name, value);
    if (mpv_initialize(handle) < 0) {
        mpv_terminate_destroy(handle);
        return nullptr;
    }
    auto core = std::make_shared<MPVCore>(Passkey{}, handle);
    core->start(options.session);
    return core;
}

void MPVCore::start(tb_session* session) {
    mpv_stream_cb_add_ro(m_handle, kStreamProtocol, session, tevroOpen);
    if (const char* level = std::getenv("TEVRO_MPV_LOG"))
        mpv_request_log_messages(m_handle, level);
    for (const auto& p : kObserved)
        mpv_observe_property(m_handle, 0, p.name, p.format);
    mpv_set_wakeup_callback(m_handle, &MPVCore::wakeup, this);
}

MPVCore::~MPVCore() {
    destroy();
    // Queued drains and timer firings run (and find the core terminated)
    // while every member they touch still exists.
    m_events->stop();
}

void MPVCore::wakeup(void* context) {
    auto* core = static_cast<MPVCore*>(context);
    // Any number of wakeups before the drain starts make one drain.
    if (!core->m_drainQueued.exchange(true))
        core->m_events->post([core] {
            core->m_drainQueued = false;
            core->drain();
        });
}

void MPVCore::setOnEvent(std::function<void(const MPVEvent&)> onEvent) {
    m_onEvent = std::move(onEvent);
}

void MPVCore::set(const std::string& name, const std::string& value) {
    if (m_closing)
        return;
    const char* data = value.c_str();
    mpv_set_property_async(m_handle, 0, name.c_str(), MPV_FORMAT_STRING, &data);
}

int MPVCore::commandAsync(const std::vector<std::string>& arguments, std::uint64_t replyID) {
    if (m_closing)
        return 0;
    std::vector<const char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& a : arguments)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return mpv_command_async(m_handle, replyID, argv.data());
}

void MPVCore::drain() {
    if (m_terminated)
        return;
    ++m_eventBatches;
    std::vector<MPVEvent> batch;
    bool reading = true;
    while (reading) {
        mpv_event* e = mpv_wait_event(m_handle, 0);
        switch (e->event_id) {
        case MPV_EVENT_NONE:
            reading = false;
            break;
        case MPV_EVENT_SHUTDOWN:
            batch.emplace_back(MPVEvent::Shutdown{});
            reading = false;
            break;
        case MPV_EVENT_LOG_MESSAGE:
            if (auto* m = static_cast<mpv_event_log_message*>(e->data)) {
                std::string line = std::string("mpv[") + (m->prefix ? m->prefix : "") + "] " +
                                   (m->text ? m->text : "");
                std::fputs(line.c_str(), stderr);
            }
            break;
        case MPV_EVENT_GET_PROPERTY_REPLY:
            m_pendingTelemetry.erase(e->reply_userdata);
            [[fallthrough]];
        case MPV_EVENT_PROPERTY_CHANGE: {
            auto* p = static_cast<mpv_event_property*>(e->data);
            std::string name = p && p->name ? p->name : "";
            if (name == "track-list") {
                std::vector<MediaTrack> list;
                if (p->format == MPV_FORMAT_NODE && p->data)
                    list = tracks(*static_cast<mpv_node*>(p->data));
                batch.emplace_back(MPVEvent::Tracks{std::move(list)});
            } else if (p) {
                MPVValue value = valueOf(*p);
                if (name == "pause" && value.asFlag()) {
                    m_paused = *value.asFlag();
                    scheduleTelemetry();
                    requestTelemetry(true);
                } else if (name == "seeking" && value.asFlag() == false) {
                    requestTelemetry(true);
                }
                batch.emplace_back(MPVEvent::Property{std::move(name), std::move(value)});
            }
            if (m_refreshTelemetry.erase(e->reply_userdata) > 0)
                requestTelemetry(e->reply_userdata);
            break;
        }
        case MPV_EVENT_END_FILE:
            m_fileActive = false;
            scheduleTelemetry();
            if (auto* f = static_cast<mpv_event_end_file*>(e->data))
                batch.emplace_back(MPVEvent::EndFile{static_cast<std::int32_t>(f->reason),
                                                     static_cast<std::int32_t>(f->error)});
            break;
        case MPV_EVENT_FILE_LOADED: {
            m_fileActive = true;
            scheduleTelemetry();
            requestTelemetry(true);
            std::vector<MediaTrack> list;
            mpv_node node;
            if (mpv_get_property(m_handle, "track-list", MPV_FORMAT_NODE, &node) >= 0) {
                list = tracks(node);
                mpv_free_node_contents(&node);
            }
            batch.emplace_back(MPVEvent::Tracks{std::move(list)});
            batch.emplace_back(MPVEvent::FileLoaded{});
            break;
        }
        case MPV_EVENT_PLAYBACK_RESTART:
            requestTelemetry(true);
            batch.emplace_back(MPVEvent::PlaybackRestart{});
            break;
        case MPV_EVENT_COMMAND_REPLY:
            if (e->reply_userdata != 0)
                batch.emplace_back(
                    MPVEvent::CommandReply{e->reply_userdata, static_cast<std::int32_t>(e->error)});
            break;
        default:
            break;
        }
    }
    if (!batch.empty())
        deliver(std::move(batch));
}

void MPVCore::deliver(std::vector<MPVEvent> batch) {
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    // The batch crosses threads through Qt's event queue; the atomic flag
    // makes that hand-off explicit (and visible to thread checkers).
    struct Box {
        std::vector<MPVEvent> batch;
        std::atomic<bool> ready{false};
    };
    auto box = std::make_shared<Box>();
    box->batch = std::move(batch);
    box->ready.store(true, std::memory_order_release);
    std::weak_ptr<MPVCore> weak = weak_from_this();
    QMetaObject::invokeMethod(
        app,
        [weak, box] {
            if (!box->ready.load(std::memory_order_acquire))
                return;
            auto core = weak.lock();
            if (!core || core->m_closing)
                return;
            for (const auto& event : box->batch) {
                auto onEvent = core->m_onEvent;
                if (onEvent)
                    onEvent(event);
            }
        },
        Qt::QueuedConnection);
}

void MPVCore::scheduleTelemetry() {
    if (!m_fileActive)
        m_telemetry->suspend();
    else if (m_paused)
        m_telemetry->schedule(1s, 1s);
    else
        m_telemetry->schedule(0s, 250ms);
}

void MPVCore::requestTelemetry(bool refresh) {
    if (!m_fileActive || m_terminated)
        return;
    for (const auto& [id, name] : telemetryNames()) {
        // While paused the timer polls only the cache.
        if (m_paused && !refresh && id != kCacheID)
            continue;
        if (m_pendingTelemetry.contains(id)) {
            if (refresh)
                m_refreshTelemetry.insert(id);
            continue;
        }
        requestTelemetry(id);
    }
}

void MPVCore::requestTelemetry(std::uint64_t id) {
    if (!m_fileActive || m_terminated)
        return;
    auto it = telemetryNames().find(id);
    if (it == telemetryNames().end())
        return;
    if (mpv_get_property_async(m_handle, id, it->second.c_str(), MPV_FORMAT_DOUBLE) < 0)
        return;
    m_pendingTelemetry.insert(id);
    ++m_telemetryRequests;
    if (id == kPositionID)
        ++m_positionRequests;
}

void MPVCore::diagnostics(std::function<void(std::map<std::string, std::string>)> done) {
    auto reply = [done = std::move(done)](std::map<std::string, std::string> map) {
        struct Box {
            std::map<std::string, std::string> map;
            std::atomic<bool> ready{false};
        };
        auto box = std::make_shared<Box>();
        box->map = std::move(map);
        box->ready.store(true, std::memory_order_release);
        if (auto* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [done, box] {
                    if (box->ready.load(std::memory_order_acquire))
                        done(std::move(box->map));
                },
                Qt::QueuedConnection);
    };
    bool posted = m_events->post([this, reply] {
        std::map<std::string, std::string> map;
        if (!m_terminated) {
            for (const char* name : kDiagnosticProperties) {
                if (char* value = mpv_get_property_string(m_handle, name)) {
                    map[name] = value;
                    mpv_free(value);
                }
            }
            map["telemetry-requests"] = std::to_string(m_telemetryRequests);
            map["position-requests"] = std::to_string(m_positionRequests);
            map["event-batches"] = std::to_string(m_eventBatches);
        }
        reply(std::move(map));
    });
    if (!posted)
        reply({});
}

void MPVCore::destroy() {
    if (m_closing.exchange(true))
        return;
    m_onEvent = nullptr;
    mpv_set_wakeup_callback(m_handle, nullptr, nullptr);
    // mpv wants its render context gone before the handle.
    if (auto layer = m_videoLayer.lock())
        layer->destroy();
    m_events->sync([this] {
        m_terminated = true;
        m_telemetry->cancel();
        mpv_terminate_destroy(m_handle);
    });
}

std::vector<MediaTrack> MPVCore::tracks(const mpv_node& node) {
    std::vector<MediaTrack> out;
    if (node.format != MPV_FORMAT_NODE_ARRAY || !node.u.list)
        return out;
    for (int i = 0; i < node.u.list->num; ++i) {
        const mpv_node& entry = node.u.list->values[i];
        if (entry.format != MPV_FORMAT_NODE_MAP || !entry.u.list)
            continue;
        std::map<std::string_view, const mpv_node*> keys;
        for (int k = 0; k < entry.u.list->num; ++k)
            if (entry.u.list->keys && entry.u.list->keys[k])
                keys[entry.u.list->keys[k]] = &entry.u.list->values[k];
        auto get = [&](std::string_view key) -> const mpv_node* {
            auto it = keys.find(key);
            return it == keys.end() ? nullptr : it->second;
        };
        auto type = text(get("type"));
        auto kind = type ? mediaTrackKindFromRaw(*type) : std::nullopt;
        auto id = integer(get("id"));
        if (!kind || !id)
            continue;
        MediaTrack t;
        t.id = *id;
        t.kind = *kind;
        t.title = text(get("title"));
        t.language = text(get("lang"));
        t.codec = text(get("codec"));
        t.channels = integer(get("demux-channel-count"));
        t.external = flag(get("external"));
        t.externalFile = text(get("external-filename"));
        t.isDefault = flag(get("default"));
        t.forced = flag(get("forced"));
        t.selected = flag(get("selected"));
        out.push_back(std::move(t));
    }
    return out;
}

} // namespace tevro
