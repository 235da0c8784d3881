#include "tevro/bridge/state_files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tevro::bridge::state_files {

bool writeAtomically(const std::string& path, std::string_view bytes) {
    std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0)
        return true;
    std::remove(tmp.c_str());
    return false;
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<int> parsePresence(std::string_view text) {
    std::set<int> out;
    auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    bool first = true;
    while (!text.empty()) {
        while (!text.empty() && isSpace(text.front()))
            text.remove_prefix(1);
        std::size_t end = 0;
        while (end < text.size() && !isSpace(text[end]))
            ++end;
        if (end == 0)
            break;
        std::string word(text.substr(0, end));
        text.remove_prefix(end);
        if (first) {
            if (word != "v1")
                return {};
            first = false;
            continue;
        }
        char* stop = nullptr;
        long v = std::strtol(word.c_str(), &stop, 10);
        if (stop && *stop == '\0' && v >= 0 && v <= 0x7fffffff)
            out.insert(static_cast<int>(v));
    }
    return out;
}

std::string formatPresence(const std::set<int>& indices) {
    std::string out = "v1\n";
    for (int i : indices) {
        out += std::to_string(i);
        out += '\n';
    }
    return out;
}

std::string resumePath(const std::string& dir, const std::string& id) {
    return dir + "/resume/" + id + ".resume";
}

std::string presencePath(const std::string& dir, const std::string& id) {
    return dir + "/resume/" + id + ".presence";
}

std::string sessionStatePath(const std::string& dir) {
    return dir + "/session.state";
}

} // namespace tevro::bridge::state_files
