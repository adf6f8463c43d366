#pragma once

// What the benchmark programs share: scratch folders, the plainest durable append of one line,
// and the measuring of pieces of work that take turns going first.

#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <stdlib.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::bench {

// A fresh folder under `parent`: "/tmp" lies on the disk here, "/dev/shm" in memory, where a
// synchronisation costs next to nothing and only the work of the processor remains.
inline std::string scratchFolder(const std::string& parent = "/tmp") {
    std::string pattern = parent + "/vorla-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror(pattern.c_str());
        std::exit(1);
    }
    return pattern;
}

// The least that a log writer which keeps nothing open between lines does for one line: open
// for appending, write the line and CR LF, synchronise, close, and read the size that decides
// about rotation. The baseline of every durable figure.
inline void durableAppend(const std::string& path, std::string_view line) {
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
    std::string bytes;
    bytes.reserve(line.size() + 2);
    bytes.append(line).append("\r\n");
    benchmark::DoNotOptimize(::write(file, bytes.data(), bytes.size()));
    ::fsync(file);
    ::close(file);
    struct stat status {};
    ::stat(path.c_str(), &status);
    benchmark::DoNotOptimize(status.st_size);
}

// Puts what was written to the file on the disk.
inline void synchronise(const std::string& path) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ::fsync(file);
    ::close(file);
}

// Runs each piece of work once and returns the seconds of each. Which one goes first moves
// on by one with every round, so none always follows a pause.
template <std::size_t Count>
std::array<double, Count> takeTurns(int round,
                                    const std::array<std::function<void()>, Count>& work) {
    using Clock = std::chrono::steady_clock;
    std::array<double, Count> seconds{};
    for (std::size_t turn = 0; turn < Count; ++turn) {
        const std::size_t side = (round + turn) % Count;
        const auto start = Clock::now();
        work[side]();
        seconds[side] = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return seconds;
}

struct RoundTotals {
    double first = 0;
    double second = 0;
};

// Runs the two pieces of work in turns, `rounds` times each, and adds up the seconds of each
// side. A change in the load of a shared machine (of its disk above all) then weighs on both
// sides alike.
inline RoundTotals alternatingRounds(int rounds, std::function<void()> first,
                                     std::function<void()> second) {
    const std::array<std::function<void()>, 2> work{std::move(first), std::move(second)};
    RoundTotals totals;
    for (int round = 0; round < rounds; ++round) {
        const auto seconds = takeTurns(round, work);
        totals.first += seconds[0];
        totals.second += seconds[1];
    }
    return totals;
}

} // namespace vorla::bench
