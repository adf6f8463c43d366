// Each figure is printed as a ratio against a baseline measured in the same run:
//   rotation_line_ratio   FileRotationLogger::log per line / open-append-fsync-close-stat loop,
//                         the two alternating in rounds
//   hub_enqueue_median_ns caller's cost of one SinkHub level call (median of many samples)
//   gzip_ratio            gzipping a 5 MiB archive / `gzip -9` of the same file
//   crowded_folder_ratio  300 lines at a 1 KiB limit, from the sink's start, in a folder of
//                         200,000 entries named like archives that are none of the sink's / the
//                         same in an empty folder
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
#include <unistd.h>

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

struct RotatingRun {
    double start;
    double lines;
};

// 300 lines at a 1 KiB limit into a new sink of the folder: the seconds of its start (which
// lists the folder) and of the lines.
RotatingRun rotatingRun(const std::string& folder) {
    const auto begin = Clock::now();
    const auto logger = std::make_shared<FileRotationLogger>(
        "bench", LogLevel::trace, nullptr, foundation::URL::fileURL(folder + "/audit.log"), "640",
        RotationConfig{RotationConfig::SuffixExtension::numbering, 1024, 5},
        std::weak_ptr<FileRotationLoggerDelegate>(), false);
    logger->finishInterruptedWork();
    const auto started = Clock::now();
    for (int index = 0; index < 300; ++index) {
        logger->log(LogLevel::info, line);
    }
    const auto end = Clock::now();
    // The log and its five archives go; the next run starts as this one did.
    std::filesystem::remove(folder + "/audit.log");
    for (int number = 1; number <= 6; ++number) {
        std::filesystem::remove(folder + "/audit.log." + std::to_string(number));
    }
    return {std::chrono::duration<double>(started - begin).count(),
            std::chrono::duration<double>(end - started).count()};
}

// Entries that pass the archive names' filter but are no records: each has a second name, as
// another user's file cannot be told from the listing alone either, so each costs its look.
void crowdedFolderComparison() {
    constexpr int entries = 200000;
    constexpr int linksPerFile = 50000; // below the link limit of every common file system
    const std::string empty = scratchFolder();
    const std::string crowded = scratchFolder();
    for (int index = 0; index < entries; ++index) {
        const std::string source = crowded + "/source" + std::to_string(index / linksPerFile);
        if (index % linksPerFile == 0) {
            std::ofstream(source) << "theirs";
        }
        const std::string name = crowded + "/audit.log." + std::to_string(100 + index);
        if (::link(source.c_str(), name.c_str()) != 0) {
            std::perror(name.c_str());
            return;
        }
    }
    RotatingRun emptyBest{1e9, 1e9};
    RotatingRun crowdedBest{1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        for (auto [folder, best] : {std::pair{&empty, &emptyBest}, {&crowded, &crowdedBest}}) {
            const RotatingRun run = rotatingRun(*folder);
            best->start = std::min(best->start, run.start);
            best->lines = std::min(best->lines, run.lines);
        }
    }
    std::printf("crowded_folder_ratio %.3f (300 lines at 1 KiB in %.2f s beside %d entries "
                "named like archives, %.2f s in an empty folder; target <= 3.0; the start's one "
                "listing %.2f s, %.3f s in the empty folder)\n",
                crowdedBest.lines / emptyBest.lines, crowdedBest.lines, entries, emptyBest.lines,
                crowdedBest.start, emptyBest.start);
    std::filesystem::remove_all(empty);
    std::filesystem::remove_all(crowded);
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
    crowdedFolderComparison();
    dispatch::drain();
    return 0;
}
