#include "tevro/core/file_check.h"

#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tevro {

namespace {

bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a hard link fails on a taken name too.
    if (::link(from.c_str(), to.c_str()) == 0)
        return ::unlink(from.c_str()) == 0;
    if (errno == EEXIST)
        return false;
    // No hard links either: look first, then move.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0 || errno != ENOENT)
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

std::optional<std::filesystem::path> setAsideFile(const std::filesystem::path& file, Date now) {
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = file.string() + ".corrupt-" + stamp;
    for (int n = 1; n < 1000; ++n) {
        std::filesystem::path copy = n == 1 ? base : base + "-" + std::to_string(n);
        if (renameNoReplace(file, copy))
            return copy;
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

void FileCheck::setAside(std::string why) {
    reason = std::move(why);
    if (auto moved = setAsideFile(file)) {
        result = Result::setAside;
        copy = *moved;
    } else {
        result = Result::keptInPlace;
    }
}

std::string FileCheck::describe() const {
    std::string name = "«" + file.filename().string() + "»";
    switch (result) {
    case Result::read:
    case Result::missing:
        return {};
    case Result::unreadable:
        return name + " не читается (" + reason + "): оставлен как есть, изменения не сохранятся";
    case Result::setAside: {
        std::string text = name + " повреждён";
        if (droppedEntries > 0)
            text += " (пропущено записей: " + std::to_string(droppedEntries) + ")";
        return text + ", оригинал сохранён как «" + copy.filename().string() + "»";
    }
    case Result::keptInPlace:
        return name + " повреждён и оставлен как есть, изменения не сохранятся";
    }
    return {};
}

std::string writeFailureText(const std::error_code& error) {
    if (error == std::errc::no_space_on_device || error.value() == EDQUOT)
        return "на диске нет места";
    if (error == std::errc::file_too_large)
        return "файл превысил допустимый размер";
    return error.message();
}

} // namespace tevro
