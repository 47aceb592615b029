#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/linux/file_reader.h"

namespace paneloom::platform {

namespace {

// A non-blocking exclusive lock stands in for Windows' no-sharing open: a
// lock held by anyone else is a failed open. Closes `fd` when it fails.
int LockExclusive(int fd) {
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int OpenExclusive(const char* path, int flags) { return LockExclusive(::open(path, flags | O_CLOEXEC, 0644)); }

// The directory a path's file lives in, as a prefix for a sibling's name.
std::string DirectoryPrefix(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
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

class LinuxFiles final : public Files {
public:
    bool ReadWholeExclusive(const std::string& path, std::string& bytes) override {
        // Anything but a regular file fails to open, as a missing one does:
        // a FIFO would wait for a writer, a device may never end, and a
        // directory cannot be opened as a file on Windows either.
        struct stat info {};
        const int fd = LockExclusive(lnx::OpenRegularFile(path, O_RDONLY, info));
        if (fd < 0) return false;
        // Only the low 32 bits of the length count, as on Windows.
        const std::size_t size = static_cast<std::uint32_t>(static_cast<unsigned long long>(info.st_size));
        std::string content(size, '\0');
        std::size_t total = 0;
        const bool read = lnx::ReadUpTo(fd, content.data(), size, total);
        ::close(fd);
        if (!read) throw FileError("read failed: " + path);
        content.resize(total);
        bytes.swap(content);
        return true;
    }

    bool AppendExclusive(const char* path, ByteSpan bytes) override {
        // Opened without blocking: a log that is a FIFO with no reader would
        // otherwise hold the run, and one with a reader is no log file.
        const int fd = OpenExclusive(path, O_WRONLY | O_CREAT | O_NONBLOCK);
        if (fd < 0) return false;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            return false;
        }
        ::lseek(fd, 0, SEEK_END);
        WriteAll(fd, bytes.data, bytes.size);
        ::close(fd);
        return true;
    }

    bool ReplaceAtomically(const std::string& path, const std::vector<ByteSpan>& pieces) override {
        std::string temporary = DirectoryPrefix(path) + ".paneloom-XXXXXX";
        const int fd = ::mkostemp(&temporary[0], O_CLOEXEC);
        if (fd < 0) return false;
        // mkostemp makes the file private; give it the mode a new file gets.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);

        bool written = true;
        for (const ByteSpan& piece : pieces) {
            if (!WriteAll(fd, piece.data, piece.size)) {
                written = false;
                break;
            }
        }
        if (::close(fd) != 0) written = false;
        if (!written) {
            ::unlink(temporary.c_str());
            throw FileError("write failed: " + path);
        }
        if (::rename(temporary.c_str(), path.c_str()) != 0) {
            ::unlink(temporary.c_str());
            return false;
        }
        return true;
    }

    // Pictures/Wall.bmp and pictures/wall.bmp are two files here.
    bool NamesIgnoreCase() override { return false; }
};

}  // namespace

template <>
Files& RealImpl<Files>() {
    static LinuxFiles files;
    return files;
}

}  // namespace paneloom::platform
