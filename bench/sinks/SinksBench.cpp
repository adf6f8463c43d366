// Each figure is printed as a ratio against a baseline measured in the same run:
//   rotation_line_ratio   FileRotationLogger::log per line / open-append-fsync-close-stat loop,
//                         the two alternating in rounds
//   hub_enqueue_median_ns caller's cost of one SinkHub level call (median of many samples)
//   gzip_ratio            gzipping a 5 MiB archive / `gzip -9` of the same file
#include "bench/common/DurableAppend.hpp"
#include "sinks/ArchiveCompression.hpp"
#include "sinks/FileRotationLogger.hpp"
#include "sinks/SinkHub.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

using namespace vorla;
using Clock = std::chrono::steady_clock;
using bench::scratchFolder;

const std::string line(200, 'x');

// The rotating sink and the plain durable loop write the same lines into files of one folder,
// in alternating rounds.
void rotationComparison() {
    constexpr int rounds = 20;
    constexpr int linesPerRound = 100;
    const std::string folder = scratchFolder();
    const std::string plain = folder + "/plain.log";
    const auto logger = std::make_shared<FileRotationLogger>(
        "bench", LogLevel::trace, nullptr, foundation::URL::fileURL(folder + "/audit.log"), "640",
        RotationConfig{RotationConfig::SuffixExtension::numbering, 1 << 30, 5},
        std::weak_ptr<FileRotationLoggerDelegate>(), false);
    const auto totals = bench::alternatingRounds(
        rounds,
        [&] {
            for (int index = 0; index < linesPerRound; ++index) {
                logger->log(LogLevel::info, line);
            }
        },
        [&] {
            for (int index = 0; index < linesPerRound; ++index) {
                bench::durableAppend(plain, line);
            }
        });
    constexpr double lineCount = rounds * linesPerRound;
    std::printf("rotation_line_ratio %.3f (sink %.1f us, plain loop %.1f us a line; target <= "
                "1.10)\n",
                totals.first / totals.second, totals.first / lineCount * 1e6,
                totals.second / lineCount * 1e6);
    std::filesystem::remove_all(folder);
}

// A sink whose writes cost nothing, so the figure is the caller's side alone.
class NullSink final : public Loggerable {
public:
    NullSink() : Loggerable("bench.null", LogLevel::trace, nullptr) {}
    void log(LogLevel, std::string_view) const override {}
};

void hubLevelCall(const SinkHub& hub) {
    hub.info([] { return std::string("42 lines dropped"); }, "", "handler", "client.cpp", 120);
}

// The mean beside the median below: it shows the calls that had to wake a worker too.
void BM_HubLevelCall(benchmark::State& state) {
    const SinkHub hub({std::make_shared<NullSink>()});
    int calls = 0;
    for (auto _ : state) {
        hubLevelCall(hub);
        if (++calls % 1000 == 0) {
            state.PauseTiming();
            hub.flush(10);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_HubLevelCall);

double hubMedianNanoseconds() {
    const SinkHub hub({std::make_shared<NullSink>()});
    std::vector<double> samples;
    constexpr int count = 20000;
    samples.reserve(count);
    for (int index = 0; index < count; ++index) {
        const auto start = Clock::now();
        hubLevelCall(hub);
        samples.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
        if (index % 1000 == 999) {
            hub.flush(10); // keep the queue short, as a real error log is
        }
    }
    std::nth_element(samples.begin(), samples.begin() + count / 2, samples.end());
    return samples[count / 2];
}

std::string archiveBytes() {
    // Log-like text: repetitive structure with varying numbers, as audit lines are.
    std::mt19937 random(7);
    std::string bytes;
    while (bytes.size() < 5 * 1024 * 1024) {
        bytes += R"({"log":{"pid":)" + std::to_string(random() % 99999) +
                 R"(,"exec_path":"/usr/bin/tool)" + std::to_string(random() % 50) +
                 R"("},"timestamp":"2024-05-01T10:00:00.)" + std::to_string(random() % 1000) +
                 "Z\"}\r\n";
    }
    bytes.resize(5 * 1024 * 1024);
    return bytes;
}

template <typename Work> double bestSeconds(Work work) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void gzipComparison() {
    const std::string folder = scratchFolder();
    const std::string path = folder + "/archive";
    const std::string bytes = archiveBytes();
    std::ofstream(path, std::ios::binary) << bytes;
    const std::string command = "gzip -9 -c " + path + " > " + path + ".gz";
    const double gzipTool = bestSeconds([&] {
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "gzip failed\n");
        }
    });
    const auto& files = *foundation::FileManager::defaultManager();
    const foundation::Folder opened = foundation::Folder::open(folder, {});
    const double ours = bestSeconds([&] {
        const auto copy = writeCompressedCopy(files, opened, "archive", 0644, bytes.size());
        files.removeFile(opened, copy->name);
    });
    std::printf("gzip_ratio %.3f (ours %.1f ms, gzip -9 %.1f ms; target <= 1.10)\n",
                ours / gzipTool, ours * 1e3, gzipTool * 1e3);
    std::filesystem::remove_all(folder);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    rotationComparison();
    const double median = hubMedianNanoseconds();
    std::printf("hub_enqueue_median_ns %.0f (ratio to 1 us budget %.3f; target < 1.0)\n", median,
                median / 1000.0);
    gzipComparison();
    dispatch::drain();
    return 0;
}
