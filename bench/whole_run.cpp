// A whole run of the real program against `cat in.bmp > copy.bmp` of the
// same picture, as a user would time them: 40 lines of text full of
// variables drawn on pictures of 3840 x 2160 and 7680 x 4320 pixels at 24,
// 32 and 8 bits per pixel.
//
//   cmake --preset linux -DPANELOOM_BUILD_BENCH=ON && cmake --build --preset linux
//   build/linux/bench/bench_whole_run [rounds] [screendepth] [program [program]]
//   build/linux/bench/bench_whole_run jpeg [rounds] [screendepth] [program]
//
// With `jpeg`, the picture is a 6000 x 4000 photo-like JPEG instead, and
// the floor is `djpeg -bmp photo.jpg > out.bmp` of the same file (one
// decode, one write of the same .bmp; Debian's libjpeg-turbo-progs); the
// peak memory is then measured above a run whose picture is missing, as a
// multiple of the decoded picture's 24-bit rows.
//
// For each picture the commands take turns, `rounds` times each (11 by
// default; the one that goes first moves on from round to round), after
// one run of each to warm the caches. The table shows the medians of the
// elapsed time and of the processor time (user and system; less disturbed
// by other work on a busy machine), their ratios, and the run's peak
// resident memory above that of the same run on a 16 x 16 picture, as a
// multiple of the bitmap's size: its rows at the picture's depth, or at the
// screen's 32 bits with `screendepth`, where the configuration asks for
// <usescreendepth/>. A path (anything holding a `/`) names another
// build of the program to time, an older one for instance; with two paths
// both builds take turns with `cat`, so that a change is measured before
// and after under the same load.
//
// Every command is started by a go-between: this program again, just
// loaded and small, which times its child from fork to exit and reads the
// child's peak memory from wait4. A child of a large process would be
// charged that process's memory from before its exec, and a go-between that
// the program and `cat` share times both the same way. The load average of
// the machine is printed before and after.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/bmp_maker.h"
#include "support/picture_maker.h"
#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;
using paneloom::testing::ScratchDir;

constexpr const char* kMeasureMode = "--measure";

// The go-between: `--measure <stdout file or -> <program> <arguments...>`.
// Prints "<nanoseconds> <processor microseconds> <peak KiB> <exit code>" on
// its own standard output.
int Measure(int argc, char** argv) {
    if (argc < 4) return 2;
    const char* output = argv[2];
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (std::strcmp(output, "-") != 0) {
            const int fd = ::open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::dup2(fd, 1) < 0) ::_exit(126);
        }
        ::execv(argv[3], argv + 3);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return 1;
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const long long processor = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL +
                                usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    std::printf("%lld %lld %ld %d\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()),
                processor, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}

struct Sample {
    double milliseconds = 0;
    double processorMilliseconds = 0;  // user and system time
    long peakKib = 0;
    int code = -1;
};

std::string Self() { return fs::read_symlink("/proc/self/exe").string(); }

// Runs `command` in `directory` through the go-between, with no desktop
// session in its environment, so that the wallpaper step changes nothing.
Sample Timed(const std::vector<std::string>& command, const std::string& stdoutPath, const fs::path& directory) {
    const fs::path report = directory / "measure.txt";
    std::vector<std::string> argv = {Self(), kMeasureMode, stdoutPath.empty() ? "-" : stdoutPath};
    argv.insert(argv.end(), command.begin(), command.end());
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    std::string home = "HOME=" + directory.string();
    std::vector<char*> environment = {const_cast<char*>("PATH=/usr/bin:/bin"), home.data(),
                                      const_cast<char*>("GSETTINGS_BACKEND=memory"), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    Sample sample;
    if (posix_spawn(&child, args[0], &actions, nullptr, args.data(), environment.data()) == 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
        long long nanoseconds = 0;
        long long microseconds = 0;
        std::ifstream(report) >> nanoseconds >> microseconds >> sample.peakKib >> sample.code;
        sample.milliseconds = static_cast<double>(nanoseconds) / 1e6;
        sample.processorMilliseconds = static_cast<double>(microseconds) / 1e3;
    }
    posix_spawn_file_actions_destroy(&actions);
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

std::string LoadAverage() {
    std::string one, five, fifteen;
    std::ifstream("/proc/loadavg") >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// 40 lines, each with several variables from every family.
std::string Configuration(bool screenDepth) {
    static const char* const kLines[] = {
        "%HOSTNAME% in %DOMAIN%, name servers %DNS_LIST%",
        "%OS% %SERVICEPACK% build %BUILD%",
        "%PROCINFO%: %PROCNAME% x %PROCCOUNT% at %PROCMHZ%",
        "Memory %RAMINFO%, user %USERNAME%",
        "Disk %VOLUME_C_INFO%",
        "Addresses %ADAPTER_IP_LIST%, hardware %ADAPTER_MAC_LIST%",
        "%ADAPTER_1_NAME% %ADAPTER_1_TYPE% %ADAPTER_1_IPLIST% %ADAPTER_1_MASKLIST% %ADAPTER_1_DNSLIST%",
        "%INTERFACE_1_NAME% %INTERFACE_1_TYPE% %INTERFACE_1_MAC% %INTERFACE_1_MTU% %INTERFACE_1_SPEED%",
        "%INTERFACE_2_NAME% %INTERFACE_2_TYPE% %INTERFACE_2_MAC% %INTERFACE_2_MTU% %INTERFACE_2_SPEED%",
        "%EXECUTABLE_COMPANY% %EXECUTABLE_PRODUCT% %EXECUTABLE_VERSION% %EXECUTABLE_COPYRIGHT%",
    };
    std::string text = "<globalsettings><inputbmp name=\"in.bmp\"/><outputbmp name=\"out.bmp\"/>";
    if (screenDepth) text += "<usescreendepth/>";
    text += "</globalsettings><displayoutput><textsettings><textstart x=\"30\" y=\"30\"/>"
            "<textcolor red=\"255\" green=\"255\" blue=\"200\"/><font face=\"Arial\" points=\"14\"/>"
            "</textsettings><output>";
    for (int i = 0; i < 40; ++i) text += std::string("<textline>") + kLines[i % 10] + "</textline>\n";
    return text + "</output></displayoutput>";
}

struct Row {
    std::string program;
    double run = 0;
    double runProcessor = 0;
    double abovePerBitmap = 0;
    bool failed = false;
};

struct Comparison {
    std::string picture;
    double cat = 0;
    double catProcessor = 0;
    std::vector<Row> rows;  // one per program
};

Comparison Compare(const ScratchDir& scratch, const std::vector<std::string>& programs, std::int32_t width,
                   std::int32_t height, std::uint16_t depth, int rounds, bool screenDepth) {
    Comparison comparison;
    comparison.picture =
        std::to_string(width) + " x " + std::to_string(height) + ", " + std::to_string(depth) + " bits";
    scratch.Write("paneloom.xml", Configuration(screenDepth));

    // The baseline: the same run on a tiny picture of the same depth.
    scratch.Write("in.bmp", paneloom::testing::PatternBmpAsWritten(16, 16, depth));
    std::vector<double> tinyPeaks(programs.size());
    for (std::size_t p = 0; p < programs.size(); ++p) {
        comparison.rows.push_back(Row{programs[p]});
        std::vector<double> peaks;
        for (int i = 0; i < 3; ++i) {
            const Sample tiny = Timed({programs[p]}, std::string(), scratch.path());
            comparison.rows[p].failed |= tiny.code != 0;
            peaks.push_back(static_cast<double>(tiny.peakKib));
        }
        tinyPeaks[p] = Median(peaks);
    }

    scratch.Write("in.bmp", paneloom::testing::PatternBmpAsWritten(width, height, depth));
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * (screenDepth ? 32 : depth) + 31) / 32 * 4;
    const std::uint64_t bitmapBytes = rowBytes * static_cast<std::uint64_t>(height);
    const std::string copy = scratch.file("copy.bmp");
    const std::vector<std::string> cat = {"/bin/cat", "in.bmp"};
    Timed(cat, copy, scratch.path());
    for (const std::string& program : programs) Timed({program}, std::string(), scratch.path());

    // Command 0 is cat, command p + 1 the program p.
    const std::size_t commands = programs.size() + 1;
    std::vector<std::vector<double>> elapsed(commands), processor(commands), peaks(commands);
    for (int i = 0; i < rounds; ++i) {
        for (std::size_t turn = 0; turn < commands; ++turn) {
            const std::size_t c = (turn + static_cast<std::size_t>(i)) % commands;
            const Sample s = c == 0 ? Timed(cat, copy, scratch.path())
                                    : Timed({programs[c - 1]}, std::string(), scratch.path());
            for (std::size_t p = 0; p < programs.size(); ++p) {
                if (s.code != 0 && (c == 0 || c == p + 1)) comparison.rows[p].failed = true;
            }
            elapsed[c].push_back(s.milliseconds);
            processor[c].push_back(s.processorMilliseconds);
            peaks[c].push_back(static_cast<double>(s.peakKib));
        }
    }
    comparison.cat = Median(elapsed[0]);
    comparison.catProcessor = Median(processor[0]);
    for (std::size_t p = 0; p < programs.size(); ++p) {
        Row& row = comparison.rows[p];
        row.run = Median(elapsed[p + 1]);
        row.runProcessor = Median(processor[p + 1]);
        row.abovePerBitmap = (Median(peaks[p + 1]) - tinyPeaks[p]) * 1024.0 / static_cast<double>(bitmapBytes);
    }
    return comparison;
}

// A photo-like picture: gradients with grain, which JPEG keeps as it keeps
// a photo's detail.
std::string Photo(std::int32_t width, std::int32_t height) {
    paneloom::testing::ColourGrid grid = paneloom::testing::PatternGrid(width, height);
    std::uint32_t state = 12345;
    for (std::uint32_t& c : grid.colours) {
        state = state * 1103515245u + 12345u;
        const int grain = static_cast<int>((state >> 16) % 41) - 20;
        std::uint32_t out = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const int v = std::clamp(static_cast<int>((c >> shift) & 0xFF) + grain, 0, 255);
            out |= static_cast<std::uint32_t>(v) << shift;
        }
        c = out;
    }
    return paneloom::testing::GridAsJpeg(grid, paneloom::testing::JpegForm{false, false, false, 90});
}

// The program and djpeg take turns over the same JPEG.
int CompareJpeg(const std::string& program, int rounds, bool screenDepth) {
    const ScratchDir scratch;
    constexpr std::int32_t kWidth = 6000;
    constexpr std::int32_t kHeight = 4000;
    std::string configuration = Configuration(screenDepth);
    const std::string from = "name=\"in.bmp\"";
    configuration.replace(configuration.find(from), from.size(), "name=\"photo.jpg\"");
    scratch.Write("paneloom.xml", configuration);

    // The baseline: the same run with its picture missing.
    std::vector<double> missingPeaks;
    for (int i = 0; i < 3; ++i) {
        missingPeaks.push_back(static_cast<double>(Timed({program}, std::string(), scratch.path()).peakKib));
    }
    scratch.Write("photo.jpg", Photo(kWidth, kHeight));
    const std::vector<std::string> djpeg = {"/usr/bin/djpeg", "-bmp", "photo.jpg"};
    const std::string copy = scratch.file("copy.bmp");
    Timed(djpeg, copy, scratch.path());
    Timed({program}, std::string(), scratch.path());

    std::vector<double> elapsed[2], processor[2], peaks[2];
    bool failed = false;
    for (int i = 0; i < rounds; ++i) {
        for (int turn = 0; turn < 2; ++turn) {
            const int c = (turn + i) % 2;
            const Sample s = c == 0 ? Timed(djpeg, copy, scratch.path()) : Timed({program}, std::string(), scratch.path());
            failed |= s.code != 0;
            elapsed[c].push_back(s.milliseconds);
            processor[c].push_back(s.processorMilliseconds);
            peaks[c].push_back(static_cast<double>(s.peakKib));
        }
    }
    const double picture = static_cast<double>((kWidth * 3 + 3) / 4 * 4) * kHeight;
    std::printf("program: %s%s\n", program.c_str(), screenDepth ? " with <usescreendepth/>" : "");
    std::printf("%-24s %8s %8s %7s   %8s %8s %7s   %s\n", "picture", "run ms", "djpeg ms", "ratio", "run cpu",
                "djpeg cpu", "ratio", "peak above missing-picture run / picture");
    std::printf("%-24s %8.1f %8.1f %6.2fx   %8.1f %8.1f %6.2fx   %.2fx%s\n", "6000 x 4000 JPEG", Median(elapsed[1]),
                Median(elapsed[0]), Median(elapsed[1]) / Median(elapsed[0]), Median(processor[1]),
                Median(processor[0]), Median(processor[1]) / Median(processor[0]),
                (Median(peaks[1]) - Median(missingPeaks)) * 1024.0 / picture, failed ? "  (a run failed)" : "");
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kMeasureMode) == 0) return Measure(argc, argv);
    int rounds = 11;
    bool screenDepth = false;
    bool jpeg = false;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "jpeg") {
            jpeg = true;
        } else if (argument == "screendepth") {
            screenDepth = true;
        } else if (argument.find('/') != std::string::npos) {
            programs.push_back(fs::absolute(argument).string());
        } else {
            rounds = std::max(1, std::atoi(argument.c_str()));
        }
    }
    if (programs.empty()) programs.push_back(PANELOOM_PROGRAM);
    if (jpeg) {
        std::printf("load average before: %s\n", LoadAverage().c_str());
        const int result = CompareJpeg(programs.front(), rounds, screenDepth);
        std::printf("load average after: %s\n", LoadAverage().c_str());
        return result;
    }

    const ScratchDir scratch;

    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::printf("program %zu: %s%s\n", p + 1, programs[p].c_str(), screenDepth ? " with <usescreendepth/>" : "");
    }
    std::printf("load average before: %s\n", LoadAverage().c_str());
    std::printf("%-24s %3s %8s %8s %7s   %8s %8s %7s   %s\n", "picture", "", "run ms", "cat ms", "ratio", "run cpu",
                "cat cpu", "ratio", "peak above tiny run / bitmap");
    bool failed = false;
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{3840, 2160}, {7680, 4320}};
    for (const auto& [width, height] : sizes) {
        for (const std::uint16_t depth : {24, 32, 8}) {
            const Comparison c = Compare(scratch, programs, width, height, depth, rounds, screenDepth);
            for (std::size_t p = 0; p < c.rows.size(); ++p) {
                const Row& row = c.rows[p];
                failed |= row.failed;
                std::printf("%-24s %3zu %8.1f %8.1f %6.2fx   %8.1f %8.1f %6.2fx   %.2fx%s\n",
                            p == 0 ? c.picture.c_str() : "", p + 1, row.run, c.cat, row.run / c.cat, row.runProcessor,
                            c.catProcessor, row.runProcessor / c.catProcessor, row.abovePerBitmap,
                            row.failed ? "  (a run failed)" : "");
            }
            std::fflush(stdout);
        }
    }
    std::printf("load average after: %s\n", LoadAverage().c_str());
    return failed ? 1 : 0;
}
