#include "tevro/core/file_priority.h"
#include "tevro/core/media_kind.h"

#include <gtest/gtest.h>

using namespace tevro;

TEST(MediaKind, ByExtensionAndPath) {
    const std::pair<const char*, MediaKind> exts[] = {
        {"mkv", MediaKind::video},    {"MKV", MediaKind::other},   {"", MediaKind::other},
        {"ogg", MediaKind::audio},    {"ogv", MediaKind::video},   {"sub", MediaKind::subtitle},
        {"idx", MediaKind::subtitle}, {"cue", MediaKind::text},    {"iso", MediaKind::archive},
        {"heic", MediaKind::image},   {"dtshd", MediaKind::audio}, {"exe", MediaKind::other},
    };
    for (const auto& [ext, kind] : exts)
        EXPECT_EQ(mediaKindForExtension(ext), kind) << ext;

    const std::pair<const char*, MediaKind> paths[] = {
        {"Show/Movie.Mp4", MediaKind::video}, {"backup.tar.gz", MediaKind::archive},
        {"README", MediaKind::other},         {"dir.mkv/notes", MediaKind::other},
        {".mkv", MediaKind::other},
    };
    for (const auto& [path, kind] : paths)
        EXPECT_EQ(mediaKindForPath(path), kind) << path;

    EXPECT_EQ(mediaKindFromRaw("subtitle"), MediaKind::subtitle);
    EXPECT_EQ(mediaKindFromRaw("Video"), std::nullopt);
    EXPECT_EQ(rawValue(MediaKind::archive), "archive");
}

TEST(FilePriority, RawValues) {
    EXPECT_EQ(filePriorityFromRaw(4), FilePriority::normal);
    EXPECT_EQ(rawValue(FilePriority::high), 7);
    for (int bad : {2, 3, 5, 6, -1, 8})
        EXPECT_EQ(filePriorityFromRaw(bad), std::nullopt) << bad;
    EXPECT_EQ(kAllFilePriorities.front(), FilePriority::skip);
}
