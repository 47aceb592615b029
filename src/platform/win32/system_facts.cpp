#include "platform/system_facts.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/run_text.h"

namespace paneloom::platform {

namespace {

const char* const kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";

// Text of a fixed buffer up to its first NUL, never past its end.
std::string BufferText(const char* buffer, std::size_t size) {
    return std::string(buffer, strnlen(buffer, size));
}

class RegistryKey {
public:
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() { RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_;
};

class Win32SystemFacts final : public SystemFacts {
public:
    bool QueryOsVersion(OsVersionRecord& record) override {
        OSVERSIONINFOEXA info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
        record.platformId = info.dwPlatformId;
        record.majorVersion = info.dwMajorVersion;
        record.minorVersion = info.dwMinorVersion;
        record.buildNumber = info.dwBuildNumber;
        record.servicePack = BufferText(info.szCSDVersion, sizeof info.szCSDVersion);
        record.servicePackMajor = info.wServicePackMajor;
        record.servicePackMinor = info.wServicePackMinor;
        record.suiteMask = info.wSuiteMask;
        record.productType = info.wProductType;
        record.systemName.clear();
        return true;
    }

    std::uint32_t ProcessorCount() override {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return info.dwNumberOfProcessors;
    }

    bool ReadProcessorDescription(ProcessorDescription& description) override {
        // Nothing is written there, so the key is opened for reading only: a
        // user without administrative rights (the normal case under UAC)
        // may not open it for writing.
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProcessorKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
            return false;
        }
        RegistryKey key(opened);

        DWORD clock = 0;
        DWORD size = sizeof clock;
        if (RegQueryValueExA(key.get(), "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&clock), &size) ==
            ERROR_SUCCESS) {
            description.clockMHz = clock;
        }

        // The name is read whole, however long; the caller cuts it to fit.
        if (RunInUtf8()) {
            ReadWideName(key.get(), description);
            return true;
        }
        DWORD nameSize = 0;
        if (RegQueryValueExA(key.get(), "ProcessorNameString", nullptr, nullptr, nullptr, &nameSize) ==
                ERROR_SUCCESS &&
            nameSize > 0) {
            std::string buffer(nameSize + 1, '\0');
            DWORD got = nameSize;
            if (RegQueryValueExA(key.get(), "ProcessorNameString", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&buffer[0]), &got) == ERROR_SUCCESS) {
                description.name = BufferText(buffer.data(), got);
            }
        }
        return true;
    }

    // Under a UTF-8 run, the name in UTF-8 from the wide value.
    static void ReadWideName(HKEY key, ProcessorDescription& description) {
        DWORD nameSize = 0;
        if (RegQueryValueExW(key, L"ProcessorNameString", nullptr, nullptr, nullptr, &nameSize) != ERROR_SUCCESS ||
            nameSize == 0) {
            return;
        }
        std::wstring buffer(nameSize / sizeof(wchar_t) + 1, L'\0');
        DWORD got = nameSize;
        if (RegQueryValueExW(key, L"ProcessorNameString", nullptr, nullptr, reinterpret_cast<BYTE*>(&buffer[0]),
                             &got) == ERROR_SUCCESS) {
            description.name = RunFromWideBuffer(buffer.data(), got / sizeof(wchar_t));
        }
    }

    std::vector<LogicalDrive> LogicalDrives() override {
        std::string buffer(256, '\0');
        DWORD length = GetLogicalDriveStringsA(static_cast<DWORD>(buffer.size()), &buffer[0]);
        if (length >= buffer.size()) {
            // More drive strings than the buffer holds: the call said how many.
            buffer.assign(length + 1, '\0');
            length = GetLogicalDriveStringsA(static_cast<DWORD>(buffer.size()), &buffer[0]);
            if (length >= buffer.size()) length = 0;
        }
        std::vector<LogicalDrive> drives;
        std::size_t position = 0;
        while (position < length && buffer[position] != '\0') {
            LogicalDrive drive;
            drive.root = BufferText(buffer.data() + position, length - position);
            drive.letter = drive.root[0];
            position += drive.root.size() + 1;
            drives.push_back(drive);
        }
        return drives;
    }

    bool QueryVolume(const std::string& root, VolumeRecord& record, std::uint32_t& error) override {
        char label[256] = {};
        char fileSystem[256] = {};
        DWORD serial = 0;
        DWORD maxComponent = 0;
        DWORD flags = 0;
        // A drive without a medium must fail quietly, not ask the user with a
        // dialog box: this program opens no window.
        wchar_t wideLabel[256] = {};
        wchar_t wideFileSystem[256] = {};
        const bool wide = RunInUtf8();
        const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
        const BOOL ok = wide ? GetVolumeInformationW(WideFromRun(root).c_str(), wideLabel, 256, &serial,
                                                     &maxComponent, &flags, wideFileSystem, 256)
                             : GetVolumeInformationA(root.c_str(), label, sizeof label, &serial, &maxComponent,
                                                     &flags, fileSystem, sizeof fileSystem);
        const DWORD lastError = GetLastError();
        SetErrorMode(previousMode);
        if (!ok) {
            error = lastError;
            return false;
        }
        record.label = wide ? RunFromWideBuffer(wideLabel, 256) : BufferText(label, sizeof label);
        record.fileSystem = wide ? RunFromWideBuffer(wideFileSystem, 256) : BufferText(fileSystem, sizeof fileSystem);
        record.serialNumber = serial;
        record.maxComponentLength = maxComponent;
        record.fileSystemFlags = flags;
        return true;
    }

    bool QueryDiskSpace(const std::string& root, DiskSpace& space) override {
        ULARGE_INTEGER freeToCaller{};
        ULARGE_INTEGER total{};
        ULARGE_INTEGER totalFree{};
        const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
        const BOOL ok = GetDiskFreeSpaceExA(root.c_str(), &freeToCaller, &total, &totalFree);
        SetErrorMode(previousMode);
        if (!ok) return false;
        space.freeToCaller = freeToCaller.QuadPart;
        space.total = total.QuadPart;
        space.totalFree = totalFree.QuadPart;
        return true;
    }

    std::uint64_t TotalPhysicalMemory() override {
#if defined(_WIN64)
        // In a 64-bit process the plain memory status carries 64-bit counts.
        MEMORYSTATUS status{};
        status.dwLength = sizeof status;
        GlobalMemoryStatus(&status);
        return status.dwTotalPhys;
#else
        // A 32-bit process would see the plain status capped at 4 GB.
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof status;
        if (!GlobalMemoryStatusEx(&status)) return 0;
        return status.ullTotalPhys;
#endif
    }

    bool QueryUserName(std::string& name) override {
        if (RunInUtf8()) return QueryWideUserName(name);
        char buffer[256] = {};
        DWORD size = sizeof buffer;
        if (GetUserNameA(buffer, &size)) {
            name = BufferText(buffer, sizeof buffer);
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return false;
        std::string larger(size + 1, '\0');
        DWORD largerSize = size;
        if (!GetUserNameA(&larger[0], &largerSize)) return false;
        name = BufferText(larger.data(), larger.size());
        return true;
    }

private:
    static bool QueryWideUserName(std::string& name) {
        wchar_t buffer[256] = {};
        DWORD size = 256;
        if (GetUserNameW(buffer, &size)) {
            name = RunFromWideBuffer(buffer, 256);
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return false;
        std::wstring larger(size + 1, L'\0');
        DWORD largerSize = size;
        if (!GetUserNameW(&larger[0], &largerSize)) return false;
        name = RunFromWideBuffer(larger.data(), larger.size());
        return true;
    }
};

}  // namespace

template <>
SystemFacts& RealImpl<SystemFacts>() {
    static Win32SystemFacts facts;
    return facts;
}

}  // namespace paneloom::platform
