#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/linux/files/file_mapping.h"
#include "platform/linux/files/file_reader.h"

namespace paneloom::platform {

namespace {

// A non-blocking exclusive lock stands in for Windows' no-sharing open: a
// lock held by anyone else is a failed open. A lock that the file system
// cannot give at all is no lock held by another process: NFS turns flock
// into a byte-range lock, which a read-only descriptor may not take (EBADF),
// and a server without a lock manager answers ENOLCK. The file is then used
// unlocked. Closes `fd` when it fails.
int LockExclusive(int fd) {
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != EBADF && errno != ENOLCK) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Copies `text` into `buffer` of `size` bytes; false when it does not fit.
bool CopyInto(char* buffer, std::size_t size, const char* text, std::size_t length) {
    if (length >= size) return false;
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return true;
}

// The directory a path's file lives in, as a prefix for a sibling's name
// ("dir/" or "./"), written into `folder`; false when it does not fit.
// Allocates nothing, for the error log.
bool FolderOf(const char* path, char* folder, std::size_t size) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) return CopyInto(folder, size, "./", 2);
    return CopyInto(folder, size, path, static_cast<std::size_t>(slash - path) + 1);
}

std::string DirectoryPrefix(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
}

// The kernel's rules for protected links and regular files
// (fs.protected_symlinks, fs.protected_regular), applied whatever the
// system's setting: in a world-writable sticky directory (/tmp) a link is
// followed, and a file opened for writing, only when it belongs to this
// user or to the directory's owner. Anyone else's could be swapped or read
// by its owner at any time, or lead where its owner chose.
bool ForeignInSharedFolder(const char* path, uid_t owner) {
    char folder[PATH_MAX];
    struct stat directory {};
    if (!FolderOf(path, folder, sizeof folder) || ::stat(folder, &directory) != 0) return true;
    const bool sharedSticky = (directory.st_mode & S_ISVTX) != 0 && (directory.st_mode & S_IWOTH) != 0;
    return sharedSticky && owner != ::geteuid() && owner != directory.st_uid;
}

// Follows the symbolic links of `path`, link by link, as far as they may be
// followed, and leaves in `reached` (of `size` bytes) the last path reached:
// not a link, or a link that is not followed. False when `path` itself does
// not fit. Allocates nothing, for the error log.
bool FollowLinks(const char* path, char* reached, std::size_t size) {
    if (!CopyInto(reached, size, path, std::strlen(path))) return false;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(reached, &info) != 0 || !S_ISLNK(info.st_mode) || ForeignInSharedFolder(reached, info.st_uid)) {
            return true;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(reached, target, sizeof target);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return true;
        target[length] = '\0';
        char next[PATH_MAX];
        if (target[0] == '/') {
            if (!CopyInto(next, sizeof next, target, static_cast<std::size_t>(length))) return true;
        } else {
            if (!FolderOf(reached, next, sizeof next)) return true;
            const std::size_t folder = std::strlen(next);
            if (!CopyInto(next + folder, sizeof next - folder, target, static_cast<std::size_t>(length))) return true;
        }
        if (!CopyInto(reached, size, next, std::strlen(next))) return true;
    }
    return true;
}

// The path a replacement of `path` writes: `path` itself, or, link by link,
// the file that its symbolic links lead to as far as they may be followed.
std::string ReplacementTarget(const std::string& path) {
    char reached[PATH_MAX];
    if (!FollowLinks(path.c_str(), reached, sizeof reached)) return path;
    return reached;
}

// Opens the file at `path` for writing, never following a link there, and
// creating it with `mode` when absent; never truncates it. Refuses (-1) anything but a regular file, and another user's file in
// a shared sticky directory (see ForeignInSharedFolder), which is checked
// before it is opened and again once it is. Allocates nothing.
int OpenOwnFileForWriting(const char* path, mode_t mode) {
    constexpr int kFlags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    struct stat before {};
    int fd = -1;
    if (::lstat(path, &before) == 0) {
        if (!S_ISREG(before.st_mode) || ForeignInSharedFolder(path, before.st_uid)) return -1;
        fd = ::open(path, kFlags);
    } else if (errno == ENOENT) {
        fd = ::open(path, kFlags | O_CREAT | O_EXCL, mode);
    }
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ForeignInSharedFolder(path, info.st_uid)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What may stand where a file is replaced: nothing yet, a file, or a link
// that is not followed (it is replaced itself). A directory, a device, a
// FIFO or a socket is never replaced nor written into.
bool MayReplace(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
}

class DescriptorSink final : public FileSink {
public:
    DescriptorSink(int fd, const std::string& path) : fd_(fd), path_(path) {}
    void Write(const void* data, std::size_t size) override {
        if (!lnx::WriteAll(fd_, data, size)) throw FileError("write failed: " + path_);
    }

private:
    int fd_;
    const std::string& path_;
};

enum class Filled { Done, GivenUp };

// Runs `fill` into `fd` and closes it; a failed close is a failed write.
// Throws FileError after closing.
Filled FillAndClose(int fd, const std::string& path, const FileFiller& fill) {
    DescriptorSink sink(fd, path);
    bool filled = false;
    try {
        filled = fill(sink);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0 && filled) throw FileError("write failed: " + path);
    return filled ? Filled::Done : Filled::GivenUp;
}

// mkostemp makes the file private. A file that replaces another keeps the
// old one's permissions (a picture its owner made private stays private)
// and its group where this user may give it; where the group cannot be
// kept, the old group's permissions go to nobody rather than to another
// group. A new file gets the mode any new file gets.
void KeepPermissions(int fd, const std::string& target) {
    struct stat old {};
    if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode_t mode = old.st_mode & 0777;
        struct stat made {};
        if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 &&
            (::fstat(fd, &made) != 0 || made.st_gid != old.st_gid)) {
            mode &= ~static_cast<mode_t>(S_IRWXG);
        }
        ::fchmod(fd, mode);
        return;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

// A new file beside `target` that takes its place once written. Nothing,
// with nothing left behind, when the new file cannot be made or cannot take
// the old one's place.
std::optional<ReplaceResult> ReplaceThroughNewFile(const std::string& target, const FileFiller& fill) {
    std::string temporary = DirectoryPrefix(target) + ".paneloom-XXXXXX";
    const int fd = ::mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    KeepPermissions(fd, target);
    Filled filled = Filled::GivenUp;
    try {
        filled = FillAndClose(fd, target, fill);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    if (filled == Filled::GivenUp) {
        ::unlink(temporary.c_str());
        return ReplaceResult::GivenUp;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    return ReplaceResult::Replaced;
}

// Writing in place, as a plain create-or-truncate does, for a file that may
// be written where no new file may be made. The last component is never
// followed: a link is there only when it may not be. Another user's file in
// a shared sticky directory is left alone: the rename that failed there is
// the kernel keeping it theirs. The file may be the
// picture being written out, mapped as it was read: its pages are copied
// out of the file before it is emptied.
ReplaceResult WriteInPlace(const std::string& target, const FileFiller& fill) {
    const int fd = OpenOwnFileForWriting(target.c_str(), 0666);
    if (fd < 0) return ReplaceResult::NotWritable;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return ReplaceResult::NotWritable;
    }
    lnx::DetachMappings(info.st_dev, info.st_ino);
    if (::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return ReplaceResult::NotWritable;
    }
    return FillAndClose(fd, target, fill) == Filled::Done ? ReplaceResult::Replaced : ReplaceResult::GivenUp;
}

// A file shared with other readers: no lock, and nothing that would make
// its reads wait.
class SharedFile final : public ReadableFile {
public:
    SharedFile(int fd, std::uint64_t size, const std::string& path) : fd_(fd), size_(size), path_(path) {}
    ~SharedFile() override { ::close(fd_); }
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    std::uint64_t Size() const override { return size_; }
    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t got = 0;
        if (!lnx::ReadUpTo(fd_, buffer, size, got)) throw FileError("read failed: " + path_);
        return got;
    }

private:
    int fd_;
    std::uint64_t size_;
    std::string path_;
};

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
        // The log is reached as the output is: through links only where
        // they may be followed, never into another user's file in a shared
        // folder, and opened without blocking (a FIFO is no log file).
        char target[PATH_MAX];
        if (!FollowLinks(path, target, sizeof target)) return false;
        const int fd = LockExclusive(OpenOwnFileForWriting(target, 0644));
        if (fd < 0) return false;
        ::lseek(fd, 0, SEEK_END);
        lnx::WriteAll(fd, bytes.data, bytes.size);
        ::close(fd);
        return true;
    }

    std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override {
        struct stat info {};
        const int fd = lnx::OpenRegularFile(path, O_RDONLY, info);
        if (fd < 0) return nullptr;
        // Reads of a regular file never wait for a writer, so the descriptor
        // may stay non-blocking.
        return std::make_unique<SharedFile>(fd, static_cast<std::uint64_t>(info.st_size), path);
    }

    ReplaceResult ReplaceWhole(const std::string& path, const FileFiller& fill) override {
        const std::string target = ReplacementTarget(path);
        if (!MayReplace(target)) return ReplaceResult::NotWritable;
        if (const std::optional<ReplaceResult> result = ReplaceThroughNewFile(target, fill)) return *result;
        return WriteInPlace(target, fill);
    }

    // Pictures/Wall.bmp and pictures/wall.bmp are two files here.
    bool NamesIgnoreCase() override { return false; }

    bool Facts(const std::string& path, FileFacts& facts) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
        facts.size = static_cast<std::uint64_t>(st.st_size);
        facts.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        facts.volume = static_cast<std::uint64_t>(st.st_dev);
        facts.index = static_cast<std::uint64_t>(st.st_ino);
        return true;
    }
};

}  // namespace

template <>
Files& RealImpl<Files>() {
    static LinuxFiles files;
    return files;
}

}  // namespace paneloom::platform
