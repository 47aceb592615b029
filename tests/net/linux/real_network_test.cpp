// The network variables on the running Linux system, compared with what the
// system's own tools report, and in a network namespace that the test builds
// with known interfaces, addresses, MTUs and resolver configuration.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "variables/network.h"
#include "net/network_views.h"
#include "support/scratch.h"
#include "variables/substitution.h"

namespace paneloom {
namespace {

namespace fs = std::filesystem;

// Runs a shell command and returns what it wrote to standard output; false
// when it could not run or did not exit with 0.
bool RunCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return false;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    return ::pclose(pipe) == 0;
}

bool RunCommand(const std::string& command) {
    std::string ignored;
    return RunCommand(command, ignored);
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string Substitute(std::string text) {
    VariableCaches caches;
    SubstituteVariables(text, RunSettings(), caches);
    return text;
}

// The real network, with the error log kept in a scratch directory.
class RealNetworkTest : public ::testing::Test {
protected:
    testing::ScratchDir scratch;
};

TEST_F(RealNetworkTest, HostNameIsTheUpperCasedHostname) {
    std::string host;
    ASSERT_TRUE(RunCommand("hostname", host)) << "the hostname command did not run";
    host = Words(host).at(0);
    // Only the host part: like Windows, the host name stops at the first dot.
    host = host.substr(0, host.find('.'));
    std::transform(host.begin(), host.end(), host.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    EXPECT_EQ(host, Substitute("%HOSTNAME%"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

// What `ip` reports, interface by interface in index order.
struct IpInterface {
    std::string name;
    bool adapter = false;  // not loopback, and with a hardware address
    std::vector<std::string> addresses;
};

std::vector<IpInterface> InterfacesFromIp(const std::string& ipPrefix) {
    std::string links;
    std::string addresses;
    if (!RunCommand(ipPrefix + " -o link show", links) || !RunCommand(ipPrefix + " -o -4 addr show", addresses)) return {};
    std::map<long, IpInterface> byIndex;
    for (const std::string& line : Lines(links)) {
        const std::vector<std::string> w = Words(line);
        if (w.size() < 2) continue;
        IpInterface entry;
        entry.name = w[1].substr(0, w[1].find_first_of("@:"));
        const auto link = std::find_if(w.begin(), w.end(), [](const std::string& s) { return s.rfind("link/", 0) == 0; });
        if (link != w.end() && *link != "link/loopback" && link + 1 != w.end()) {
            const std::string& hardware = *(link + 1);
            entry.adapter = hardware.find_first_not_of("0:") != std::string::npos && hardware != "brd";
        }
        byIndex[std::stol(w[0])] = entry;
    }
    for (const std::string& line : Lines(addresses)) {
        const std::vector<std::string> w = Words(line);
        if (w.size() < 4 || w[2] != "inet") continue;
        IpInterface& entry = byIndex[std::stol(w[0])];
        entry.addresses.push_back(w[3].substr(0, w[3].find('/')));
    }
    std::vector<IpInterface> result;
    for (const auto& item : byIndex) result.push_back(item.second);
    return result;
}

TEST_F(RealNetworkTest, AdapterAddressesAreThoseThatIpShowsAndTheFirstInterfaceIsLoopback) {
    const std::vector<IpInterface> interfaces = InterfacesFromIp("ip");
    if (interfaces.empty()) GTEST_SKIP() << "the ip command (iproute2) is not available";

    // Every non-loopback interface with a hardware address is an adapter;
    // one without an IPv4 address is listed with 0.0.0.0.
    std::string expected;
    for (const IpInterface& entry : interfaces) {
        if (!entry.adapter) continue;
        std::vector<std::string> addresses = entry.addresses;
        if (addresses.empty()) addresses.push_back("0.0.0.0");
        for (const std::string& a : addresses) expected += (expected.empty() ? "" : ", ") + a;
    }
    EXPECT_EQ(expected, Substitute("%ADAPTER_IP_LIST%"));
    EXPECT_EQ("LOOPBACK|" + interfaces.front().name, Substitute("%INTERFACE_1_TYPE%|%INTERFACE_1_NAME%"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

// ---------------------------------------------------------------------------
// A network namespace of our own.

// Creates the namespace and always removes it again.
class Namespace {
public:
    explicit Namespace(std::string name) : name_(std::move(name)) { made_ = RunCommand("ip netns add " + name_); }
    ~Namespace() {
        if (made_) RunCommand("ip netns del " + name_);
    }
    Namespace(const Namespace&) = delete;
    Namespace& operator=(const Namespace&) = delete;

    bool made() const { return made_; }
    const std::string& name() const { return name_; }
    bool Ip(const std::string& arguments) const { return RunCommand("ip -n " + name_ + " " + arguments); }

private:
    std::string name_;
    bool made_ = false;
};

// Directories whose state belongs to the host's own network (DHCP leases,
// per-link resolver state); the child hides them behind empty file systems.
const char* const kHostNetworkState[] = {
    "/run/systemd/resolve", "/run/systemd/netif", "/var/lib/NetworkManager", "/var/lib/dhcp",
    "/var/lib/dhclient",    "/var/lib/dhcpcd",    "/var/lib/dhcpcd5",        "/var/db/dhcpcd",
};

bool IsDirectory(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// Runs in a forked child: enters the namespace with private mounts and host
// name, puts the test's resolver file in place, and substitutes `text`.
// Returns the substituted text, or "SKIP:" and the reason.
std::string SubstituteInNamespace(const std::string& namespacePath, const std::string& resolverFile,
                                  std::string text) {
    if (::unshare(CLONE_NEWNS | CLONE_NEWUTS) != 0) return "SKIP:cannot make a mount and host-name namespace";
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return "SKIP:cannot make mounts private";
    const int fd = ::open(namespacePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) return "SKIP:cannot enter the network namespace";
    ::close(fd);
    // sysfs shows the interfaces of the namespace that mounts it.
    ::umount2("/sys", MNT_DETACH);
    if (::mount("sysfs", "/sys", "sysfs", 0, nullptr) != 0) return "SKIP:cannot mount sysfs in the namespace";
    for (const char* dir : kHostNetworkState) {
        if (IsDirectory(dir) && ::mount("tmpfs", dir, "tmpfs", 0, "size=64k") != 0) {
            return std::string("SKIP:cannot hide ") + dir;
        }
    }
    // The resolver file: over /etc/resolv.conf, or over whatever it links to
    // (made inside a hidden directory when it lies there).
    std::error_code error;
    fs::path resolver = "/etc/resolv.conf";
    if (fs::is_symlink(resolver, error)) {
        fs::path target = fs::read_symlink(resolver, error);
        if (target.is_relative()) target = resolver.parent_path() / target;
        resolver = target.lexically_normal();
        const bool hidden = std::any_of(std::begin(kHostNetworkState), std::end(kHostNetworkState),
                                        [&](const char* dir) { return resolver.string().rfind(dir, 0) == 0; });
        if (hidden && !fs::exists(resolver, error)) {
            fs::create_directories(resolver.parent_path(), error);
            FILE* file = std::fopen(resolver.c_str(), "w");
            if (file != nullptr) std::fclose(file);
        }
    }
    if (::mount(resolverFile.c_str(), resolver.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        return "SKIP:cannot put a resolver file in place";
    }
    const char kHost[] = "paneloom-ns";
    if (::sethostname(kHost, sizeof kHost - 1) != 0) return "SKIP:cannot set the host name";

    text = Substitute(text);
    // The raw speed the kernel reports for the second veth, for the check.
    std::string speed;
    FILE* file = std::fopen("/sys/class/net/pl1/speed", "r");
    if (file != nullptr) {
        char buffer[64] = {};
        if (std::fgets(buffer, sizeof buffer, file) != nullptr) speed = buffer;
        std::fclose(file);
    }
    const std::vector<std::string> speedWords = Words(speed);
    return text + "\nspeed=" + (speedWords.empty() ? std::string() : speedWords[0]);
}

TEST_F(RealNetworkTest, ANamespaceWithTwoVethInterfacesShowsTheirKnownValues) {
    if (::geteuid() != 0) GTEST_SKIP() << "making a network namespace needs root";
    if (!RunCommand("ip -V")) GTEST_SKIP() << "the ip command (iproute2) is not available";
    Namespace ns("paneloom-test-" + std::to_string(::getpid()));
    if (!ns.made()) GTEST_SKIP() << "ip netns add failed: network namespaces cannot be made here";

    ASSERT_TRUE(ns.Ip("link add pl0 index 10 address 02:00:00:00:00:01 mtu 1400 type veth "
                      "peer name pl1 index 11 address 02:00:00:00:00:02 mtu 9000"));
    ASSERT_TRUE(ns.Ip("addr add 10.201.0.1/24 dev pl0"));
    ASSERT_TRUE(ns.Ip("addr add 10.201.1.1/16 dev pl1"));
    ASSERT_TRUE(ns.Ip("addr add 10.202.0.1/8 dev pl1"));
    ASSERT_TRUE(ns.Ip("link set lo up"));
    ASSERT_TRUE(ns.Ip("link set pl0 up"));
    ASSERT_TRUE(ns.Ip("link set pl1 up"));
    scratch.Write("resolv.conf", "# test resolver\nnameserver 10.201.0.53\nnameserver 10.201.0.54\nsearch example.test\n");

    const std::string text =
        "%HOSTNAME%|%DOMAIN%|%DNS_LIST%\n"
        "%ADAPTER_1_NAME%|%ADAPTER_1_TYPE%|%ADAPTER_1_IPLIST%|%ADAPTER_1_MASKLIST%|%ADAPTER_1_DNSLIST%|"
        "%ADAPTER_1_DHCPSERVER%|%ADAPTER_1_DHCPEXPIRES%\n"
        "%ADAPTER_2_NAME%|%ADAPTER_2_IPLIST%|%ADAPTER_2_MASKLIST%|%ADAPTER_3_NAME%\n"
        "%ADAPTER_IP_LIST%|%ADAPTER_MAC_LIST%\n"
        "%INTERFACE_1_TYPE%|%INTERFACE_1_NAME%|%INTERFACE_1_MTU%|%INTERFACE_1_MAC%\n"
        "%INTERFACE_2_TYPE%|%INTERFACE_2_NAME%|%INTERFACE_2_MTU%|%INTERFACE_2_MAC%\n"
        "%INTERFACE_3_NAME%|%INTERFACE_3_MTU%|%INTERFACE_3_SPEED%|%INTERFACE_4_NAME%";

    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        const std::string result = SubstituteInNamespace("/run/netns/" + ns.name(), scratch.file("resolv.conf"), text);
        std::size_t written = 0;
        while (written < result.size()) {
            const ssize_t n = ::write(channel[1], result.data() + written, result.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string result;
    char chunk[4096];
    ssize_t got;
    while ((got = ::read(channel[0], chunk, sizeof chunk)) > 0) result.append(chunk, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child in the namespace failed";
    if (result.rfind("SKIP:", 0) == 0) GTEST_SKIP() << result.substr(5);

    std::vector<std::string> lines = Lines(result);
    ASSERT_EQ(lines.size(), 8u) << result;
    // The speed of a veth link: the kernel's Mb/s in bits per second, past
    // what 32 bits hold (a veth reports 10000 Mb/s); a link that reports none
    // has 0.
    std::string speed = "0.0 b/sec";
    long long megabits = 0;
    if (std::sscanf(lines[7].c_str(), "speed=%lld", &megabits) == 1 && megabits > 0) {
        speed = SpeedText(static_cast<std::uint64_t>(megabits) * 1000000u);
    }
    EXPECT_EQ("PANELOOM-NS|example.test|10.201.0.53, 10.201.0.54", lines[0]);
    EXPECT_EQ("pl0|ETHERNET|10.201.0.1|255.255.255.0|10.201.0.53, 10.201.0.54|(none)|-NA-", lines[1]);
    EXPECT_EQ("pl1|10.201.1.1, 10.202.0.1|255.255.0.0, 255.0.0.0|%ADAPTER_3_NAME%", lines[2]);
    EXPECT_EQ("10.201.0.1, 10.201.1.1, 10.202.0.1|02:00:00:00:00:01, 02:00:00:00:00:02", lines[3]);
    EXPECT_EQ("LOOPBACK|lo|65536|ENET Mac Address 0.0.0.0", lines[4]);
    EXPECT_EQ("ETHERNET|pl0|1400|02:00:00:00:00:01", lines[5]);
    EXPECT_EQ("pl1|9000|" + speed + "|%INTERFACE_4_NAME%", lines[6]);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

}  // namespace
}  // namespace paneloom
