// What the microphone's processing costs per 20 ms block, and as a share of
// one core ("core%": the block's time over its 20 ms), with the far end
// silent (the echo canceller paused) and talking, and on the playout side.
//
//   audio_processing_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <ctime>
#include <random>
#include <vector>

#include "AudioProcessor.h"

namespace {

constexpr int kBlock = 960;  // 20 ms at 48 kHz

// Blocks of speech-like noise in syllables, and the microphone's version: the
// far end's echo 60 ms late at half its level over a faint hiss.
struct Sound {
    std::vector<std::vector<int16_t>> far, microphone;
    explicit Sound(bool farTalks)
    {
        std::mt19937 random(1);
        std::uniform_int_distribution<int> voice(-8000, 8000), hiss(-100, 100);
        std::vector<int16_t> all(kBlock * 250);
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = farTalks && (i / 12000) % 2 == 0 ? int16_t(voice(random)) : 0;
        const size_t delay = 48 * 60;
        for (size_t b = 0; b < 250; ++b) {
            far.emplace_back(all.begin() + long(b * kBlock), all.begin() + long((b + 1) * kBlock));
            std::vector<int16_t> mic(kBlock);
            for (size_t i = 0; i < kBlock; ++i) {
                const size_t at = b * kBlock + i;
                mic[i] = int16_t((at >= delay ? all[at - delay] / 2 : 0) + hiss(random));
            }
            microphone.push_back(std::move(mic));
        }
    }
};

// The share of one core a stream of 20 ms blocks costs, from the process's CPU time.
class CoreShare {
public:
    CoreShare() : start_(std::clock()) {}
    void report(benchmark::State& state) const
    {
        const double seconds = double(std::clock() - start_) / CLOCKS_PER_SEC;
        state.counters["core%"] = 100.0 * seconds / (double(state.iterations()) * 0.020);
    }

private:
    std::clock_t start_;
};

void Capture(benchmark::State& state)
{
    const bool farTalks = state.range(0) != 0;
    const Sound sound(farTalks);
    velto_media::AudioProcessor processor;
    std::vector<int16_t> block(kBlock);
    size_t n = 0;
    const CoreShare cost;
    for (auto _ : state) {
        const size_t b = n++ % sound.far.size();
        processor.processRender(sound.far[b].data(), kBlock);
        block = sound.microphone[b];
        processor.processCapture(block.data(), kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    cost.report(state);
    state.SetLabel(farTalks ? "far end talking" : "far end silent");
}

// The playout thread's share, with no microphone taking the queue: the
// worst case, where every block also pushes the oldest out.
void Render(benchmark::State& state)
{
    const Sound sound(true);
    velto_media::AudioProcessor processor;
    size_t n = 0;
    const CoreShare cost;
    for (auto _ : state)
        processor.processRender(sound.far[n++ % sound.far.size()].data(), kBlock);
    cost.report(state);
}

BENCHMARK(Capture)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(Render)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
