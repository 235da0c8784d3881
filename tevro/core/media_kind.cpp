#include "tevro/core/media_kind.h"

#include <algorithm>
#include <unordered_map>

namespace tevro {

std::string_view rawValue(MediaKind kind) {
    switch (kind) {
    case MediaKind::video:
        return "video";
    case MediaKind::audio:
        return "audio";
    case MediaKind::subtitle:
        return "subtitle";
    case MediaKind::image:
        return "image";
    case MediaKind::text:
        return "text";
    case MediaKind::archive:
        return "archive";
    case MediaKind::other:
        return "other";
    }
    return "other";
}

std::optional<MediaKind> mediaKindFromRaw(std::string_view raw) {
    for (MediaKind k : kAllMediaKinds)
        if (rawValue(k) == raw)
            return k;
    return std::nullopt;
}

MediaKind mediaKindForExtension(std::string_view extension) {
    static const std::unordered_map<std::string_view, MediaKind> table = [] {
        std::unordered_map<std::string_view, MediaKind> t;
        auto add = [&t](MediaKind kind, std::initializer_list<std::string_view> exts) {
            for (auto e : exts)
                t.emplace(e, kind);
        };
        add(MediaKind::video,
            {"mkv", "mp4",  "m4v", "mov", "avi", "wmv",  "flv", "webm", "ts",  "m2ts", "mts",
             "mpg", "mpeg", "vob", "ogv", "3gp", "rmvb", "rm",  "divx", "f4v", "asf"});
        add(MediaKind::audio, {"mka", "mp3", "aac", "ac3", "eac3", "dts", "flac", "m4a", "ogg",
                               "opus", "wav", "wma", "thd", "mlp", "ape", "wv", "dtshd"});
        add(MediaKind::subtitle,
            {"srt", "ass", "ssa", "vtt", "sub", "sup", "idx", "smi", "ttml", "lrc"});
        add(MediaKind::image, {"jpg", "jpeg", "png", "gif", "webp", "bmp", "tif", "tiff", "heic"});
        add(MediaKind::text, {"txt", "nfo", "pdf", "md", "log", "cue", "doc", "docx", "rtf"});
        add(MediaKind::archive, {"zip", "rar", "7z", "tar", "gz", "bz2", "xz", "iso"});
        return t;
    }();
    auto it = table.find(extension);
    return it == table.end() ? MediaKind::other : it->second;
}

std::string pathExtension(std::string_view path) {
    auto slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto dot = name.find_last_of('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

MediaKind mediaKindForPath(std::string_view path) {
    return mediaKindForExtension(pathExtension(path));
}

} // namespace tevro
