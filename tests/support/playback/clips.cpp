#include "tests/support/playback/clips.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QStringList>

extern char** environ;

namespace tevro::playback {

namespace {

// posix_spawn rather than QProcess: Qt starts its children in a way that
// leaves ThreadSanitizer's view of the parent's threads corrupted.
bool ffmpeg(const QStringList& arguments) {
    QStringList all = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    all += arguments;
    std::vector<std::string> words;
    for (const QString& a : all)
        words.push_back(a.toStdString());
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QString seconds(double s) {
    return QString::number(s, 'f', 3);
}

std::string srtTime(int seconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d,000", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return buffer;
}

} // namespace

bool makeVideo(const std::filesystem::path& out, const ClipOptions& o) {
    std::filesystem::create_directories(out.parent_path());
    QString video = QString("testsrc=size=%1x%2:rate=%3").arg(o.width).arg(o.height).arg(o.fps);
    if (o.noise)
        video += ",noise=alls=30:allf=t";
    if (o.source)
        video = QString::fromStdString(*o.source);
    QStringList args = {"-f", "lavfi",           "-i", video,
                        "-f", "lavfi",           "-i", "sine=frequency=440:sample_rate=48000",
                        "-t", seconds(o.seconds)};
    args += {"-c:v",     "libx264", "-preset", "ultrafast", "-g",   QString::number(o.fps),
             "-pix_fmt", "yuv420p", "-c:a",    "aac",       "-b:a", "64k"};
    if (o.audioLanguage)
        args += {"-metadata:s:a:0", "language=" + QString::fromStdString(*o.audioLanguage)};
    if (o.audioTitle)
        args += {"-metadata:s:a:0", "title=" + QString::fromStdString(*o.audioTitle)};
    args += QString::fromStdString(out.string());
    return ffmpeg(args);
}

bool makeMultiTrackVideo(const std::filesystem::path& out, double length) {
    std::filesystem::path folder = out.parent_path();
    std::filesystem::create_directories(folder);
    auto english = folder / (out.stem().string() + ".en.tmp.srt");
    auto russian = folder / (out.stem().string() + ".ru.tmp.srt");
    if (!makeSubtitles(english, length, "Line") || !makeSubtitles(russian, length, "Строка"))
        return false;
    QStringList args = {"-f", "lavfi",
                        "-i", "testsrc=size=320x240:rate=25",
                        "-f", "lavfi",
                        "-i", "sine=frequency=440:sample_rate=48000",
                        "-f", "lavfi",
                        "-i", "sine=frequency=660:sample_rate=48000",
                        "-i", QString::fromStdString(english.string()),
                        "-i", QString::fromStdString(russian.string()),
                        "-t", seconds(length)};
    args += {"-map", "0:v", "-map", "1:a", "-map", "2:a", "-map", "3:s", "-map", "4:s"};
    args += {"-c:v",    "libx264", "-preset", "ultrafast", "-g",  "25",   "-pix_fmt",
             "yuv420p", "-c:a",    "aac",     "-b:a",      "64k", "-c:s", "srt"};
    args += {"-metadata:s:a:0", "language=eng", "-metadata:s:a:0", "title=English",
             "-metadata:s:a:1", "language=rus", "-metadata:s:a:1", "title=Русский",
             "-metadata:s:s:0", "language=eng", "-metadata:s:s:1", "language=rus"};
    args += QString::fromStdString(out.string());
    bool ok = ffmpeg(args);
    std::filesystem::remove(english);
    std::filesystem::remove(russian);
    return ok;
}

std::string quartersSource(int width, int height, int fps) {
    QString quarter = QString(":s=%1x%2:r=%3").arg(width / 2).arg(height / 2).arg(fps);
    QString graph = "color=c=red" + quarter + "[a];color=c=lime" + quarter + "[b];color=c=blue" +
                    quarter + "[c];color=c=white" + quarter +
                    "[d];[a][b]hstack[t];[c][d]hstack[u];[t][u]vstack";
    return graph.toStdString();
}

bool makeAudio(const std::filesystem::path& out, double length,
               const std::optional<std::string>& language) {
    std::filesystem::create_directories(out.parent_path());
    QStringList args = {
        "-f",  "lavfi", "-i", "sine=frequency=660:sample_rate=48000", "-t", seconds(length), "-c:a",
        "aac", "-b:a",  "64k"};
    if (language)
        args += {"-metadata:s:a:0", "language=" + QString::fromStdString(*language)};
    args += QString::fromStdString(out.string());
    return ffmpeg(args);
}

bool makeSubtitles(const std::filesystem::path& out, double length, const std::string& text) {
    std::filesystem::create_directories(out.parent_path());
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < static_cast<int>(length); ++i)
        file << i + 1 << "\n"
             << srtTime(i) << " --> " << srtTime(i + 1) << "\n"
             << text << " " << i + 1 << "\n\n";
    return static_cast<bool>(file);
}

bool truncateFile(const std::filesystem::path& path, std::int64_t bytes) {
    std::error_code ec;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(bytes), ec);
    return !ec;
}

} // namespace tevro::playback
