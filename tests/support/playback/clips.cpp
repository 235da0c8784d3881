#include "tests/support/playback/clips.h"

#include <cstdio>
#include <fstream>

#include <QProcess>
#include <QStringList>

namespace tevro::playback {

namespace {

bool ffmpeg(const QStringList& arguments) {
    QStringList all = {"-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    all += arguments;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start("ffmpeg", all);
    if (!process.waitForFinished(120000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
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
