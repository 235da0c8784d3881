#include "tevro/media/media_text.h"

#include <QString>

namespace tevro::MediaText {

namespace {
std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}
} // namespace

std::string_view lastComponent(std::string_view path) {
    path = withoutTrailingSlashes(path);
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view parentFolder(std::string_view path) {
    path = withoutTrailingSlashes(path);
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::vector<std::string_view> components(std::string_view path) {
    return split(path, "/");
}

std::string_view extension(std::string_view name) {
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return name.substr(dot + 1);
}

std::string_view stem(std::string_view name) {
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return name;
    return name.substr(0, dot);
}

std::string lowerCased(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toLower()
        .toStdString();
}

std::string upperCased(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toUpper()
        .toStdString();
}

std::string_view trim(std::string_view text, std::string_view chars) {
    auto first = text.find_first_not_of(chars);
    if (first == std::string_view::npos)
        return {};
    auto last = text.find_last_not_of(chars);
    return text.substr(first, last - first + 1);
}

namespace {
bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
} // namespace

std::size_t characterCount(std::string_view text) {
    std::size_t n = 0;
    for (char c : text)
        if (!isContinuation(c))
            ++n;
    return n;
}

std::string_view dropCharacters(std::string_view text, std::size_t n) {
    std::size_t pos = 0;
    while (n > 0 && pos < text.size()) {
        ++pos;
        while (pos < text.size() && isContinuation(text[pos]))
            ++pos;
        --n;
    }
    return text.substr(pos);
}

std::vector<std::string_view> split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find_first_of(separators, start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

} // namespace tevro::MediaText
