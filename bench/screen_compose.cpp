// A 6000 x 4000 JPEG composed onto a 3840 x 2160 screen with 40 lines of
// text, against `djpeg -scale 1/2 -bmp` of the same file (libjpeg-turbo's
// own fastest way to make a screen-sized picture of it), as a user would
// time them.
//
//   cmake --preset linux -DPANELOOM_BUILD_BENCH=ON && cmake --build --preset linux
//   build/linux/bench/bench_screen_compose [rounds] [style] [program...]
//
// The screen is a private Xvfb of 3840 x 2160, which the program asks
// through xrandr as it would a real one; no desktop takes the picture. The JPEG is a smooth pattern made
// by cjpeg at quality 90. The commands take turns, `rounds` times each (7
// by default), after one run of each; the medians of the elapsed time and
// of the processor time are printed with their ratios. `style` is fill (the
// default), fit or stretch. `program` paths time other builds (an older one,
// for before and after under the same load), taking turns with djpeg.
#include <sys/wait.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "support/scratch.h"

extern char** environ;

namespace {

using paneloom::testing::ScratchDir;

struct Sample {
    double milliseconds = 0;
    double processorMilliseconds = 0;
    int code = -1;
};

// Runs argv in `directory` with `environment`, its output to `output`
// (or discarded), and times it from spawn to exit.
Sample Timed(const std::vector<std::string>& command, const std::vector<std::string>& environment,
             const std::string& directory, const std::string& output) {
    std::vector<char*> args;
    std::vector<std::string> copy = command;
    for (std::string& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<std::string> variables = environment;
    std::vector<char*> env;
    for (std::string& v : variables) env.push_back(v.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, output.empty() ? "/dev/null" : output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Sample sample;
    pid_t child = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), env.data()) == 0) {
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        sample.milliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        sample.processorMilliseconds = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        sample.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// A smooth colour pattern as a binary PPM, for cjpeg.
std::string PatternPpm(int width, int height) {
    std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    ppm.reserve(ppm.size() + static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            ppm += static_cast<char>((x * 255) / width);
            ppm += static_cast<char>((y * 255) / height);
            ppm += static_cast<char>(((x + y) / 7) & 0xFF);
        }
    }
    return ppm;
}

std::string Configuration(const std::string& style) {
    std::string text = "<globalsettings><inputbmp name=\"in.jpg\" size=\"screen\"/><outputbmp name=\"out.bmp\"/>"
                       "<backgroundstyle value=\"" + style + "\"/></globalsettings>"
                       "<displayoutput><textsettings><textstart x=\"60\" y=\"60\"/>"
                       "<textcolor red=\"255\" green=\"255\" blue=\"200\"/><font face=\"Arial\" points=\"14\"/>"
                       "</textsettings><output>";
    for (int i = 0; i < 40; ++i) text += "<textline>%HOSTNAME% %OS% %SERVICEPACK% %RAMINFO% %USERNAME%</textline>\n";
    return text + "</output></displayoutput>";
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string style = argc > 2 ? argv[2] : "fill";
    ScratchDir scratch;
    const std::string dir = scratch.path().string();
    scratch.Write("in.ppm", PatternPpm(6000, 4000));
    const std::vector<std::string> base = {"PATH=/usr/bin:/bin", "HOME=" + dir};
    if (Timed({"cjpeg", "-quality", "90", "-outfile", "in.jpg", "in.ppm"}, base, dir, "").code != 0) {
        std::fprintf(stderr, "cjpeg failed (libjpeg-turbo-progs)\n");
        return 1;
    }
    scratch.Write("paneloom.xml", Configuration(style));

    // A private X server of the screen's size.
    const std::string display = ":" + std::to_string(90 + ::getpid() % 50);
    std::vector<std::string> xvfb = {"Xvfb", display, "-screen", "0", "3840x2160x24", "-nolisten", "tcp"};
    std::vector<char*> xargs;
    for (std::string& a : xvfb) xargs.push_back(a.data());
    xargs.push_back(nullptr);
    pid_t server = 0;
    if (posix_spawnp(&server, "Xvfb", nullptr, nullptr, xargs.data(), environ) != 0) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    // The screen is asked through X, but no desktop takes the picture (a
    // Wayland display named keeps feh out), so the wallpaper step changes
    // nothing, as djpeg sets no wallpaper either.
    std::vector<std::string> withDisplay = base;
    withDisplay.push_back("DISPLAY=" + display);
    withDisplay.push_back("WAYLAND_DISPLAY=none");
    for (int i = 0; i < 50 && Timed({"xdpyinfo"}, withDisplay, dir, "").code != 0; ++i) ::usleep(100000);

    std::vector<std::string> programs;
    for (int i = 3; i < argc; ++i) programs.push_back(argv[i]);
    if (programs.empty()) programs.push_back(PANELOOM_PROGRAM);
    const std::vector<std::string> djpeg = {"djpeg", "-scale", "1/2", "-bmp", "in.jpg"};
    std::vector<std::vector<double>> ours(programs.size()), oursCpu(programs.size());
    std::vector<double> theirs, theirsCpu;
    bool failed = false;
    for (int round = -1; round < rounds; ++round) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const Sample a = Timed({programs[p]}, withDisplay, dir, "");
            failed |= a.code != 0;
            if (round < 0) continue;  // warming the caches
            ours[p].push_back(a.milliseconds);
            oursCpu[p].push_back(a.processorMilliseconds);
        }
        const Sample b = Timed(djpeg, withDisplay, dir, dir + "/djpeg.bmp");
        failed |= b.code != 0;
        if (round < 0) continue;
        theirs.push_back(b.milliseconds);
        theirsCpu.push_back(b.processorMilliseconds);
    }
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);

    std::ifstream out(dir + "/out.bmp", std::ios::binary);
    char header[26] = {};
    out.read(header, sizeof header);
    std::int32_t width = 0, height = 0;
    std::memcpy(&width, header + 18, 4);
    std::memcpy(&height, header + 22, 4);
    std::printf("6000 x 4000 JPEG, %s onto %d x %d with 40 lines, %d rounds%s\n", style.c_str(), width, height,
                rounds, failed ? " (A RUN FAILED)" : "");
    // The spread is the lowest and highest of the rounds.
    const auto range = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? std::string() : std::to_string(static_cast<int>(v.front())) + "-" +
                                               std::to_string(static_cast<int>(v.back()));
    };
    std::printf("%-32s %10s %10s %14s %7s %7s\n", "", "elapsed ms", "cpu ms", "elapsed range", "ratio", "cpu");
    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::printf("%-32s %10.1f %10.1f %14s %7.2f %7.2f\n", programs.size() == 1 ? "paneloom" : programs[p].c_str(),
                    Median(ours[p]), Median(oursCpu[p]), range(ours[p]).c_str(), Median(ours[p]) / Median(theirs),
                    Median(oursCpu[p]) / Median(theirsCpu));
    }
    std::printf("%-32s %10.1f %10.1f %14s\n", "djpeg -scale 1/2 -bmp", Median(theirs), Median(theirsCpu),
                range(theirs).c_str());
    return failed ? 1 : 0;
}
