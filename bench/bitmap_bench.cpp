// Reading and writing a 3840 x 2160 24-bit bitmap, against `cat in.bmp >
// out.bmp` of the same file in the same run, and the peak memory of a
// whole run on it with no text.
//
//   cmake --preset linux -DPANELOOM_BUILD_BENCH=ON && cmake --build --preset linux
//   build/linux/bench/bench_bitmap_bench
//
// Each benchmark reports bytes_per_second over the input file's size (the
// output's for the writers). The whole-run benchmarks report the program's
// peak resident memory in MiB and as a multiple of the bitmap file's size.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "render/bitmap_file.h"
#include "support/bmp_maker.h"

namespace {

using namespace paneloom;

// Peak resident memory is what wait4 reports, but a process started by a
// large one (this benchmark, holding bitmaps) is charged that process's
// memory too, from before its exec. So the program is started through a
// go-between: this same executable, just loaded, which starts the program
// and prints its peak (KiB) and exit code. It does so here, while the
// statics are set up, before any benchmark has run.
const bool kGoBetween = [] {
    const char* program = std::getenv("PANELOOM_BENCH_MEASURE");
    if (program == nullptr) return false;
    const std::string path = program;
    ::unsetenv("PANELOOM_BENCH_MEASURE");
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) ::_exit(1);
    std::printf("%ld %d\n", usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::fflush(stdout);
    ::_exit(0);
}();

constexpr std::int32_t kWidth = 3840;
constexpr std::int32_t kHeight = 2160;

// A scratch directory holding in.bmp, removed when the program ends.
class Workspace {
public:
    Workspace() {
        std::string pattern = (std::filesystem::temp_directory_path() / "paneloom-bench-XXXXXX").string();
        if (::mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("no scratch directory");
        directory_ = pattern;
        testing::BmpParts bmp = testing::PatternBmp(kWidth, kHeight, 24);
        bmp.sizeImage = static_cast<std::uint32_t>(bmp.bits.size());
        const std::string file = testing::MakeBmp(bmp);
        std::ofstream(Path("in.bmp"), std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
        inputSize_ = file.size();
    }
    ~Workspace() {
        std::error_code error;
        std::filesystem::remove_all(directory_, error);
    }

    std::string Path(const std::string& name) const { return (directory_ / name).string(); }
    std::size_t inputSize() const { return inputSize_; }

private:
    std::filesystem::path directory_;
    std::size_t inputSize_ = 0;
};

Workspace& Scratch() {
    static Workspace workspace;
    return workspace;
}

// Starts a program with no desktop session in its environment (plus
// `extra`) and waits for it; false when it could not be started or did not
// exit by itself.
bool Spawn(const std::vector<std::string>& argv, const std::string& directory, const std::string& stdoutPath,
           const std::string& extra = std::string()) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    if (!stdoutPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::string home = "HOME=" + directory;
    std::string more = extra;
    std::vector<char*> environment = {const_cast<char*>("PATH=/usr/bin:/bin"), home.data(),
                                      const_cast<char*>("GSETTINGS_BACKEND=memory")};
    if (!more.empty()) environment.push_back(more.data());
    environment.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0].c_str(), &actions, nullptr, args.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs the program in `directory` through the go-between; its peak resident
// memory in KiB, -1 when the run failed.
long MeasuredRun(const std::string& directory, const std::string& report) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    if (!Spawn({self}, directory, report, std::string("PANELOOM_BENCH_MEASURE=") + PANELOOM_PROGRAM)) return -1;
    long peak = -1;
    int code = -1;
    std::ifstream(report) >> peak >> code;
    return code == 0 ? peak : -1;
}

void BM_CatCopy(benchmark::State& state) {
    Workspace& w = Scratch();
    for (auto _ : state) {
        if (!Spawn({"cat", w.Path("in.bmp")}, w.Path(""), w.Path("cat.bmp"))) {
            state.SkipWithError("cat failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.inputSize()));
}
BENCHMARK(BM_CatCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// The platform loader (useScreenDepth clear): the file at its own depth.
void BM_ReadPlatformLoader(benchmark::State& state) {
    Workspace& w = Scratch();
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    for (auto _ : state) {
        platform::BitmapHandle bitmap = graphics.LoadBitmapFile(w.Path("in.bmp"));
        if (bitmap == nullptr) {
            state.SkipWithError("not loaded");
            break;
        }
        graphics.DeleteBitmap(bitmap);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.inputSize()));
}
BENCHMARK(BM_ReadPlatformLoader)->Unit(benchmark::kMillisecond)->UseRealTime();

// LoadBMPImage (useScreenDepth set): the file at the screen's 32 bits.
void BM_ReadLoadBMPImage(benchmark::State& state) {
    Workspace& w = Scratch();
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    for (auto _ : state) {
        platform::BitmapHandle bitmap = nullptr;
        platform::PaletteHandle palette = nullptr;
        if (!LoadBMPImage(w.Path("in.bmp"), bitmap, palette)) {
            state.SkipWithError("not loaded");
            break;
        }
        graphics.DeleteBitmap(bitmap);
        graphics.DeletePalette(palette);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.inputSize()));
}
BENCHMARK(BM_ReadLoadBMPImage)->Unit(benchmark::kMillisecond)->UseRealTime();

// WriteBMPImage of the loaded bitmap: conversion to the packed layout and
// the file, written whole and renamed into place.
void BM_WriteBMPImage(benchmark::State& state) {
    Workspace& w = Scratch();
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::BitmapHandle bitmap = graphics.LoadBitmapFile(w.Path("in.bmp"));
    if (bitmap == nullptr) {
        state.SkipWithError("not loaded");
        return;
    }
    const std::string out = w.Path("out.bmp");
    for (auto _ : state) {
        if (!WriteBMPImage(out, bitmap, nullptr)) {
            state.SkipWithError("not written");
            break;
        }
    }
    graphics.DeleteBitmap(bitmap);
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(out)));
}
BENCHMARK(BM_WriteBMPImage)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole run of the program on the bitmap with no text: peak resident
// memory, against the bitmap file's size. `baseline` is the same program
// ending at once for want of a configuration.
void WholeRun(benchmark::State& state, const std::string& globals) {
    Workspace& w = Scratch();
    const std::filesystem::path run = std::filesystem::path(w.Path("run"));
    std::filesystem::create_directories(run);
    std::filesystem::copy_file(w.Path("in.bmp"), run / "Paneloom.bmp",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(run / "paneloom.xml");
    const long baseline = MeasuredRun(run.string(), w.Path("report.txt"));
    std::ofstream(run / "paneloom.xml") << "<globalsettings>" << globals << "</globalsettings>";
    long peak = 0;
    for (auto _ : state) {
        const long measured = MeasuredRun(run.string(), w.Path("report.txt"));
        if (measured < 0) {
            state.SkipWithError("the run failed");
            break;
        }
        peak = std::max(peak, measured);
    }
    const double mib = 1024.0;
    state.counters["peak_rss_MiB"] = static_cast<double>(peak) / mib;
    state.counters["baseline_rss_MiB"] = static_cast<double>(baseline) / mib;
    state.counters["bitmap_MiB"] = static_cast<double>(w.inputSize()) / (mib * mib);
    state.counters["peak_per_bitmap"] = static_cast<double>(peak) * 1024.0 / static_cast<double>(w.inputSize());
    state.counters["above_baseline_per_bitmap"] =
        static_cast<double>(peak - baseline) * 1024.0 / static_cast<double>(w.inputSize());
}

void BM_WholeRunPlatformLoader(benchmark::State& state) { WholeRun(state, ""); }
BENCHMARK(BM_WholeRunPlatformLoader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_WholeRunScreenDepth(benchmark::State& state) { WholeRun(state, "<usescreendepth/>"); }
BENCHMARK(BM_WholeRunScreenDepth)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
