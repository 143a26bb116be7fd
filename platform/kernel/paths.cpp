// Windows-style paths to paths here: see platform/files.h.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool EqualNoCase(const std::string& a, const char* b) {
    std::size_t n = a.size();
    if (std::strlen(b) != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The entry of `dir` whose name matches `name` without regard to case, or
// `name` itself when there is none. An exact match always wins.
std::string ResolveComponent(const std::string& dir, const std::string& name) {
    std::string base = dir.empty() ? std::string(".") : dir;
    std::string exact = dir.empty() ? name : (dir == "/" ? "/" + name : dir + "/" + name);
    if (Exists(exact)) return name;
    DIR* handle = ::opendir(base.c_str());
    if (handle == nullptr) return name;
    std::string found = name;
    while (dirent* entry = ::readdir(handle)) {
        if (EqualNoCase(name, entry->d_name)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(handle);
    return found;
}

}  // namespace

std::string PlatformTranslatePath(const char* windowsPath) {
    if (windowsPath == nullptr) return {};
    std::string path(windowsPath);
    for (char& c : path)
        if (c == '\\') c = '/';

    bool absolute = false;
    // A drive letter ("C:" or "c:/...") stands for the root.
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        path.erase(0, 2);
        absolute = true;
    }
    if (!path.empty() && path[0] == '/') absolute = true;

    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }

    std::string result = absolute ? "/" : "";
    for (const auto& part : parts) {
        std::string name = (part == "." || part == "..") ? part : ResolveComponent(result, part);
        if (result.empty())
            result = name;
        else if (result == "/")
            result += name;
        else
            result += "/" + name;
    }
    if (result.empty()) result.assign(1, absolute ? '/' : '.');
    // Keep a trailing separator the caller gave ("dir\").
    if (!path.empty() && path.back() == '/' && result.back() != '/') result += '/';
    return result;
}

std::string PlatformWindowsPath(const std::string& nativePath) {
    std::string out = "C:";
    if (nativePath.empty() || nativePath[0] != '/') out += '\\';
    for (char c : nativePath) out += (c == '/') ? '\\' : c;
    return out;
}
