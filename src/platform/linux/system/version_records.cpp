#include "platform/version_records.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "formats/pe_version.h"
#include "platform/linux/files/file_reader.h"

namespace paneloom::platform {

namespace {

// The executable named in the configuration, opened without blocking and
// only when it is a regular file: a FIFO, a device or a directory carries
// no record, as a missing file carries none, instead of holding the run.
class ExecutableFile final : public formats::ImageSource {
public:
    explicit ExecutableFile(const std::string& path) {
        struct stat info {};
        fd_ = lnx::OpenRegularFile(path, O_RDONLY, info);
        if (fd_ >= 0) size_ = static_cast<std::uint64_t>(info.st_size);
    }
    ~ExecutableFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    ExecutableFile(const ExecutableFile&) = delete;
    ExecutableFile& operator=(const ExecutableFile&) = delete;

    bool Opened() const { return fd_ >= 0; }

    std::uint64_t Size() const override { return size_; }

    bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const override {
        if (fd_ < 0 || offset > size_ || length > size_ - offset) return false;
        if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
        std::size_t got = 0;
        return lnx::ReadUpTo(fd_, out, length, got) && got == length;
    }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

bool LoadResource(const std::string& path, formats::VersionResource& resource) {
    const ExecutableFile file(path);
    return file.Opened() && resource.LoadFromSource(file);
}

// Reads the version resource of a Windows program file with the portable
// reader, so an executable named in the configuration shows the same strings
// as on Windows. Any other file (a Linux program, say) carries no record.
class LinuxVersionRecords final : public VersionRecords {
public:
    std::uint32_t RecordSize(const std::string& path) override {
        formats::VersionResource resource;
        if (!LoadResource(path, resource)) return 0;
        return static_cast<std::uint32_t>(resource.RecordSize());
    }

    bool ReadRecord(const std::string& path, std::vector<std::uint8_t>& record) override {
        formats::VersionResource resource;
        if (record.empty() || !LoadResource(path, resource)) return false;
        // As on Windows, the record is cut to the room given, and room left
        // over stays as it was.
        const std::vector<std::uint8_t>& bytes = resource.Record();
        std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());
        return true;
    }

    bool QueryBinary(std::vector<std::uint8_t>& record, const std::string& subBlock,
                     std::vector<std::uint8_t>& bytes) override {
        formats::VersionValue value;
        if (record.empty() || !formats::QueryVersionValue(record.data(), record.size(), subBlock, value)) return false;
        bytes = value.data;
        return true;
    }

    bool QueryText(std::vector<std::uint8_t>& record, const std::string& subBlock, std::string& text) override {
        formats::VersionValue value;
        if (record.empty() || !formats::QueryVersionValue(record.data(), record.size(), subBlock, value)) return false;
        // UTF-8 is the Linux build's code page.
        text = value.utf8Text.substr(0, value.utf8Text.find('\0'));
        return true;
    }
};

}  // namespace

template <>
VersionRecords& RealImpl<VersionRecords>() {
    static LinuxVersionRecords records;
    return records;
}

}  // namespace paneloom::platform
