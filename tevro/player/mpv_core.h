#pragma once

// The one libmpv player of the application: configures mpv for embedded
// playback of torrent files, registers the "tevro" stream protocol, observes
// the properties the player model needs, drains mpv's events on its queue
// "tevro.mpv.events" and hands them to the main thread in batches, and polls
// position and cache fill at a rate that follows playback.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tevro/core/serial_queue.h"
#include "tevro/player/media_track.h"
#include "tevro/player/mpv_event.h"
#include "tevro/player/queue_timer.h"
#include "tevro/player/render_context_owner.h"

struct mpv_handle;
struct mpv_node;
struct tb_session;

namespace tevro {

class MPVCore : public std::enable_shared_from_this<MPVCore> {
public:
    struct Options {
        // The bridge session the stream protocol opens readers on; may be null.
        tb_session* session = nullptr;
        bool hardwareDecoding = true;
        // No audio output at all.
        bool silent = false;
    };

    // A configured, initialised core with the stream protocol registered, or
    // nothing when mpv cannot be created or initialised. Main thread.
    static std::shared_ptr<MPVCore> create(const Options& options);

    // Destroys the mpv handle when destroy() has not run yet.
    ~MPVCore();
    MPVCore(const MPVCore&) = delete;
    MPVCore& operator=(const MPVCore&) = delete;

    // Called on the main thread with each event of each batch, in order.
    void setOnEvent(std::function<void(const MPVEvent&)> onEvent);

    // Sets a property in text form without waiting; the reply is not reported.
    // Nothing once destroy() has begun.
    void set(const std::string& name, const std::string& value);

    // Sends a command without waiting. A non-zero `replyID` asks for its
    // reply as a CommandReply event; mpv's immediate result is returned (a
    // negative code when mpv refused the command outright; 0 once destroy()
    // has begun, when nothing is sent).
    int commandAsync(const std::vector<std::string>& arguments, std::uint64_t replyID = 0);

    // Reads the diagnostic properties and counters on the event queue and
    // hands the map to `done` on the main thread (empty after destroy()).
    void diagnostics(std::function<void(std::map<std::string, std::string>)> done);

    // Tears the core down: no more deliveries or commands, the render
    // context's owner frees its context, then the mpv handle is destroyed on
    // the event queue. Blocks until that is done. Idempotent.
    void destroy();

    // The mpv handle, for making a render context on it. Null after destroy().
    mpv_handle* handle() const { return m_terminated ? nullptr : m_handle; }

    // The video layer drawing this core's frames; it registers itself.
    void setVideoLayer(std::weak_ptr<RenderContextOwner> layer) { m_videoLayer = std::move(layer); }
    std::weak_ptr<RenderContextOwner> videoLayer() const { return m_videoLayer; }

    bool isClosing() const { return m_closing; }

    // The track list of an mpv "track-list" node; malformed entries are left out.
    static std::vector<MediaTrack> tracks(const mpv_node& node);

    // The ids of the telemetry reads: 1 "time-pos", 2 "demuxer-cache-time".
    static const std::map<std::uint64_t, std::string>& telemetryNames();

private:
    struct Passkey {};

public:
    MPVCore(Passkey, mpv_handle* handle);

private:
    void start(tb_session* session);
    void drain();
    void scheduleTelemetry();
    void requestTelemetry(bool refresh);
    void requestTelemetry(std::uint64_t id);
    void deliver(std::vector<MPVEvent> batch);
    static void wakeup(void* context);

    mpv_handle* m_handle = nullptr;
    std::function<void(const MPVEvent&)> m_onEvent;
    std::weak_ptr<RenderContextOwner> m_videoLayer;

    // Touched only on the event queue.
    std::set<std::uint64_t> m_pendingTelemetry;
    std::set<std::uint64_t> m_refreshTelemetry;
    bool m_fileActive = false;
    bool m_paused = false;
    std::int64_t m_telemetryRequests = 0;
    std::int64_t m_positionRequests = 0;
    std::int64_t m_eventBatches = 0;

    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_drainQueued{false};

    // Declared last: stopped first, while everything its tasks touch still exists.
    std::unique_ptr<SerialQueue> m_events;
    std::unique_ptr<QueueTimer> m_telemetry;
};

} // namespace tevro
