// Text that a hostile configuration may hand the Linux text engine, against
// plain text: the time it takes and the memory it holds.
//
//   BM_CombiningMarks_70000    one Arabic letter followed by 70,000 copies
//                              of U+0651 (shadda), measured and drawn on a
//                              64 x 64 picture
//   BM_PlainLine_70000         70,000 Latin letters, the same way: what a
//                              line of that length costs anyway
//   BM_Han_EightSizes_64x64    20,900 distinct Han characters at eight sizes,
//                              each measured and drawn on a 64 x 64 picture
//   BM_Han_OneCharacter_64x64  one Han character at the same eight sizes
//
// Each iteration runs in a process of its own, forked before this one has
// loaded any font, so that its peak resident memory (the counter peak_MiB,
// from the kernel's high-water mark) is what the text costs on top of a
// fresh process (start_MiB). A process that dies is reported as an error
// with its signal.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "common/utf8.h"
#include "platform/linux/text/engine.h"

namespace paneloom {
namespace {

using platform::lnx::BackgroundMode;
using platform::lnx::Dib;
using platform::lnx::DrawState;
using platform::lnx::TextEngine;

// What a child reports: elapsed seconds and memory in KiB.
struct ChildReport {
    double seconds = 0;
    long startKiB = 0;
    long peakKiB = 0;
};

// The kernel's figure for this process, in KiB: "VmHWM" (peak) or "VmRSS".
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
            return std::stol(line.substr(length + 1));
    return -1;
}

std::string Repeat(char32_t code, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) AppendUtf8(text, code);
    return text;
}

std::string HanCharacters(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) AppendUtf8(text, static_cast<char32_t>(0x4E00 + i));
    return text;
}

// Measures and draws `text` at each height, black on white, opaque, at the
// top-left corner of a 64 x 64 32-bit picture.
void MeasureAndDraw(const std::string& text, std::initializer_list<std::int32_t> heights) {
    TextEngine& engine = TextEngine::Instance();
    Dib dib;
    dib.Allocate(64, 64, 32);
    DrawState state;
    state.backgroundMode = BackgroundMode::kOpaque;
    for (const std::int32_t height : heights) {
        const auto font = engine.CreateFont({height, 400, "Arial"});
        if (!font) _exit(3);
        benchmark::DoNotOptimize(engine.Measure(*font, text, 0));
        engine.Draw(dib, *font, 0, 0, text, state);
    }
    benchmark::DoNotOptimize(dib.bits.data());
}

// Runs `work` in a forked child per iteration and reports its time and
// memory.
void InChild(benchmark::State& state, const std::function<void()>& work) {
    ChildReport last;
    for (auto _ : state) {
        int pipe[2];
        if (::pipe(pipe) != 0) {
            state.SkipWithError("pipe failed");
            return;
        }
        const pid_t child = fork();
        if (child == 0) {
            ::close(pipe[0]);
            ChildReport report;
            report.startKiB = StatusKiB("VmRSS");
            const auto start = std::chrono::steady_clock::now();
            work();
            report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            report.peakKiB = StatusKiB("VmHWM");
            const ssize_t written = ::write(pipe[1], &report, sizeof report);
            _exit(written == sizeof report ? 0 : 1);
        }
        ::close(pipe[1]);
        ChildReport report;
        const ssize_t got = ::read(pipe[0], &report, sizeof report);
        ::close(pipe[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFSIGNALED(status)) {
            char message[64];
            std::snprintf(message, sizeof message, "the drawing process died of signal %d", WTERMSIG(status));
            state.SkipWithError(message);
            return;
        }
        if (got != sizeof report || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the drawing process failed");
            return;
        }
        state.SetIterationTime(report.seconds);
        last = report;
    }
    state.counters["start_MiB"] = static_cast<double>(last.startKiB) / 1024;
    state.counters["peak_MiB"] = static_cast<double>(last.peakKiB) / 1024;
}

const std::initializer_list<std::int32_t> kEightSizes = {-11, -13, -16, -19, -21, -27, -32, -48};

void BM_CombiningMarks_70000(benchmark::State& state) {
    const std::string text = Repeat(0x0628, 1) + Repeat(0x0651, 70000);
    InChild(state, [&] { MeasureAndDraw(text, {-16}); });
}
BENCHMARK(BM_CombiningMarks_70000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PlainLine_70000(benchmark::State& state) {
    const std::string text(70000, 'a');
    InChild(state, [&] { MeasureAndDraw(text, {-16}); });
}
BENCHMARK(BM_PlainLine_70000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ArabicLine_70000(benchmark::State& state) {
    const std::string text = Repeat(0x0628, 70000);
    InChild(state, [&] { MeasureAndDraw(text, {-16}); });
}
BENCHMARK(BM_ArabicLine_70000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Han_EightSizes_64x64(benchmark::State& state) {
    const std::string text = HanCharacters(20900);
    InChild(state, [&] { MeasureAndDraw(text, kEightSizes); });
}
BENCHMARK(BM_Han_EightSizes_64x64)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Han_OneCharacter_64x64(benchmark::State& state) {
    const std::string text = HanCharacters(1);
    InChild(state, [&] { MeasureAndDraw(text, kEightSizes); });
}
BENCHMARK(BM_Han_OneCharacter_64x64)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace paneloom
