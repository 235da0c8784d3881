#pragma once

// Tevro's torrent bridge: a flat C interface over libtorrent. Every argument
// and result is an opaque handle, a number or a NUL-terminated UTF-8 text.
// Every text the bridge returns is a fresh malloc'd copy, released with
// tb_free (tevro/bridge/bridge_string.h wraps that for C++ callers). JSON and
// piece-string functions never return null; add functions return null on
// failure. All session calls may come from any thread.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tb_session tb_session;
typedef struct tb_reader tb_reader;

// ---- Session -------------------------------------------------------------

// Creates the state folder (and its "resume" folder), loads the DHT state of
// "session.state", starts the session with the settings text (key=value lines
// of libtorrent setting names), restores every saved torrent and starts the
// alert thread. Never returns null: a session that cannot start ends the process.
tb_session* tb_session_create(const char* state_dir, const char* settings);

// Orderly shutdown: stops the alert thread, cancels open readers, saves resume
// data (at most 10 s) and the DHT state, tears the library down (at most 3 s
// waited) and frees the session. Null is ignored. Close readers first.
void tb_session_destroy(tb_session* s);

// Applies a settings text to the running session. Settings an earlier text set
// and this one leaves out return to libtorrent's defaults.
void tb_apply_settings(tb_session* s, const char* settings);

// Requests resume data of every torrent that needs saving and writes
// "session.state". Does not wait for the resume files.
void tb_save_state(tb_session* s);

// Releases a text returned by the bridge. Null is ignored.
void tb_free(void* p);

// ---- Torrent operations ----------------------------------------------------

// Adds a .torrent file with an option text ("save_path", "paused", "sequential",
// "choose", "priorities"). Returns the torrent's id, or null with *error set to
// the reason. A torrent already in the session returns its id with *error
// "duplicate". `error` may be null; a text put in it is freed with tb_free.
char* tb_add_torrent(tb_session* s, const char* path, const char* options, char** error);

// Adds a magnet link, like tb_add_torrent ("priorities" is ignored).
char* tb_add_magnet(tb_session* s, const char* uri, const char* options, char** error);

// Removes a torrent and its state files; delete_files 1 also deletes its data.
// 1 when the torrent was found.
int tb_remove(tb_session* s, const char* id, int delete_files);

// Applies a named action: "resume", "pause", "force_start", "recheck",
// "reannounce", "sequential_on", "sequential_off", "queue_up", "queue_down",
// "queue_top", "queue_bottom". 0 for an unknown torrent or action.
int tb_action(tb_session* s, const char* id, const char* name);

// Sets the priority (clamped to 0...7) of the given files; indices outside the
// torrent are ignored. 0 for an unknown torrent or one without metadata.
int tb_set_file_priorities(tb_session* s, const char* id, const int* indices, int count,
                           int priority);

// Per-torrent limits: rates in bytes/s and connections, below 1 unlimited;
// upload slots below 1 unlimited. 0 for an unknown torrent.
int tb_set_limits(tb_session* s, const char* id, int download, int upload, int connections,
                  int upload_slots);

// Adds one tracker per line and reannounces. 0 for an unknown torrent.
int tb_add_trackers(tb_session* s, const char* id, const char* urls);

// Moves the torrent's data to a new folder, replacing files there. A failed
// move queues an "error" event. 0 for an unknown torrent.
int tb_move_storage(tb_session* s, const char* id, const char* path);

// Session-wide extra trackers (one per line, tier 99) and mirror trackers
// (tier 98, mirror 1 on); private torrents get neither.
void tb_set_extra_trackers(tb_session* s, const char* urls, int mirror);

// Banned peer clients, one pattern per line: "-XL" matches a peer-id prefix,
// anything else a part of the client name (case ignored). Empty lifts all bans.
void tb_set_banned_clients(tb_session* s, const char* patterns);

// Describes a .torrent file without a session: JSON object, or {"error": text}.
char* tb_inspect_torrent(const char* path);

// ---- Reports -------------------------------------------------------------

// {"session": {...}, "torrents": [...]}.
char* tb_status_json(tb_session* s);
// The same report when it differs from the one numbered *revision (0: none
// yet), whose number it then stores there; null when it is the same one.
char* tb_status_json_since(tb_session* s, uint64_t* revision);
// Files of a torrent; "[]" when unknown or without metadata.
char* tb_files_json(tb_session* s, const char* id);
// Connected peers of a torrent; "[]" when unknown.
char* tb_peers_json(tb_session* s, const char* id);
// Trackers of a torrent; "[]" when unknown.
char* tb_trackers_json(tb_session* s, const char* id);
// {"sampleAgeMs", "counters", "settings"}.
char* tb_diagnostics_json(tb_session* s);
// One character per piece of one file: "1" held, "2" downloading, "0" else;
// "" when unknown, without metadata, out of range or empty.
char* tb_pieces(tb_session* s, const char* id, int file);
// One character per piece of the torrent: "0" waiting, "1" downloaded,
// "2" receiving, "3" unavailable; "" when unknown or without metadata.
char* tb_piece_states(tb_session* s, const char* id);
// Takes the queued events: [{"type", "id", "name", "message"}, ...].
char* tb_poll_events(tb_session* s);

// ---- Streaming -----------------------------------------------------------

// Opens a reader on one file; null for an unknown torrent, no metadata, a bad
// index or a torrent whose files went missing. Resumes a paused torrent.
tb_reader* tb_reader_open(tb_session* s, const char* id, int file);
// Blocks until bytes at the position are on disk; returns bytes copied
// (1...length, never past the piece), 0 at the end, -1 on failure or cancel.
int64_t tb_reader_read(tb_reader* r, char* buffer, uint64_t length);
// Moves the position (0...size); the new offset, or -1.
int64_t tb_reader_seek(tb_reader* r, int64_t offset);
// The file's size; -1 for a null reader.
int64_t tb_reader_size(tb_reader* r);
// Makes a blocked read and every later read or seek return -1. Any thread.
void tb_reader_cancel(tb_reader* r);
// Hands the reader's pieces back and frees it. Null is ignored.
void tb_reader_close(tb_reader* r);

// Gives deadlines to the pieces around a play position (fraction 0...1) of a
// file, `span` bytes ahead, plus its first and last piece; priorities stay.
void tb_prefetch(tb_session* s, const char* id, int file, int64_t span, double fraction);
// Progress 0...1 of the piece a reader of this file waits for; -1 when none waits.
double tb_stream_progress(tb_session* s, const char* id, int file);
// 1 while a reader of this file waits for a piece, else 0. Makes no library
// call, so the main thread may ask it.
int tb_stream_waiting(tb_session* s, const char* id, int file);

#ifdef __cplusplus
} // extern "C"
#endif
