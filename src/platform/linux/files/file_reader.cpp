#include "platform/linux/files/file_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace paneloom::platform::lnx {

int OpenRegularFile(const std::string& path, int flags, struct stat& info) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadUpTo(int fd, void* buffer, std::size_t size, std::size_t& got) {
    auto* bytes = static_cast<char*>(buffer);
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes + got, size - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool ReadBoundedFile(const std::string& path, std::size_t maxBytes, std::string& out, KeepEnd keep) {
    out.clear();
    struct stat info {};
    const int fd = OpenRegularFile(path, O_RDONLY, info);
    if (fd < 0) return false;
    if (keep == KeepEnd::Tail && info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        ::lseek(fd, info.st_size - static_cast<off_t>(maxBytes), SEEK_SET);
    }
    bool ok = true;
    char chunk[4096];
    while (out.size() < maxBytes) {
        std::size_t got = 0;
        ok = ReadUpTo(fd, chunk, std::min(sizeof chunk, maxBytes - out.size()), got);
        out.append(chunk, got);
        if (!ok || got == 0) break;
    }
    ::close(fd);
    return ok;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ModificationTime(const std::string& path, std::time_t& when) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    when = st.st_mtime;
    return true;
}

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace paneloom::platform::lnx
