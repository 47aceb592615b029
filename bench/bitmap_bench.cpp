// Reading and writing a 3840 x 2160 24-bit bitmap inside this process,
// against `cat in.bmp > out.bmp` of the same file in the same run: the
// parts of a run. Whole runs of the program, their peak memory included,
// are bench_whole_run's.
//
//   cmake --preset linux -DPANELOOM_BUILD_BENCH=ON && cmake --build --preset linux
//   build/linux/bench/bench_bitmap_bench
//
// Each benchmark reports bytes_per_second over the input file's size (the
// output's for the writers).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "render/bitmap_file.h"
#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace {

using namespace paneloom;

constexpr std::int32_t kWidth = 3840;
constexpr std::int32_t kHeight = 2160;

// A scratch directory holding in.bmp, removed when the program ends.
class Workspace {
public:
    Workspace() {
        const std::string file = testing::PatternBmpAsWritten(kWidth, kHeight, 24);
        scratch_.Write("in.bmp", file);
        inputSize_ = file.size();
    }

    std::string Path(const std::string& name) const { return scratch_.file(name); }
    std::size_t inputSize() const { return inputSize_; }

private:
    testing::ScratchDir scratch_;
    std::size_t inputSize_ = 0;
};

Workspace& Scratch() {
    static Workspace workspace;
    return workspace;
}

// Starts a program with its standard output to `stdoutPath` and waits for
// it; false when it could not be started or did not exit by itself.
bool Spawn(const std::vector<std::string>& argv, const std::string& directory, const std::string& stdoutPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    if (!stdoutPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> environment = {const_cast<char*>("PATH=/usr/bin:/bin"), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0].c_str(), &actions, nullptr, args.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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

}  // namespace
