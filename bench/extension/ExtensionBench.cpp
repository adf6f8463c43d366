// Each figure is printed as a ratio against a baseline measured in the same run:
//   format_<kind>_ratio  turning one message into its line (routing and formatting, no file
//                        work) / one durable line write of the rotating sink; target < 0.10
//   format_exec_<kind>_to_json  an auditd or custom line against a JSON line; target <= 1.5
//   line_<step>_cpu_ratio  the work of one execution line in memory (/dev/shm), where a
//                        synchronisation costs next to nothing: decoding its message, formatting
//                        it as JSON and writing it through the rotating sink, each / the plain
//                        durable loop writing the same line there
//   replay_<place>_ratio  lines per second of the extension replaying executions end to end
//                        / a plain loop writing the same lines durably (open, append, fsync,
//                        close, size check), on the disk (/tmp) and in memory (/dev/shm);
//                        the median of 5 paired rounds; targets >= 0.95 and >= 0.45. Beside
//                        it, the same figure for a second plain loop against the first: how
//                        far two identical writers land apart on this machine
//   replay_<place>_steady_ratio  the same with the extension's start and stop, measured on an
//                        empty stream in the same round, taken off: the cost of a line once
//                        the extension runs; targets >= 0.95 and >= 0.80
#include "bench/common/DurableAppend.hpp"
#include "extension/Formatter.hpp"
#include "platform/dispatch/Dispatch.hpp"
#include "platform/endpoint_security/MessageDecoder.hpp"
#include "sinks/FileRotationLogger.hpp"

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vorla;
using namespace vorla::extension;
using bench::scratchFolder;

// A realistic execution: a dozen arguments, a short environment, a terminal. A client's
// messages are numbered from 1 on; a gap in the numbers is reported as lost messages.
std::string execJSON(int index, int sequenceNumber) {
    std::string args = R"(["/usr/bin/clang", "-c", "-O2", "-Wall", "-I/usr/include")";
    for (int arg = 0; arg < 8; ++arg) {
        args += ", \"src/module" + std::to_string(index % 97) + "_" + std::to_string(arg) + ".c\"";
    }
    args += "]";
    // Ids that the user database knows, as those of real executions are.
    const std::string token = R"({"auid": 0, "euid": 0, "egid": 0, "ruid": 0, "rgid": 0,
        "pid": )" + std::to_string(1000 + index % 30000) +
                              R"(, "asid": 100001, "pidversion": 3})";
    return R"({"event_type": 9, "global_seq_num": )" + std::to_string(sequenceNumber) +
           R"(, "process": {"audit_token": )" + token + R"(, "executable": "/bin/zsh"},
        "event": {"target": {"audit_token": )" +
           token + R"(, "parent_audit_token": )" + token + R"(, "responsible_audit_token": )" +
           token + R"(, "session_id": 100001, "executable": "/usr/bin/clang",
            "tty": "/dev/ttys003", "start_time": {"sec": 1714557600, "usec": )" +
           std::to_string(index % 1000000) + R"(}},
          "cwd": "/Users/alice/project", "dyld_exec_path": "/usr/bin/clang",
          "image_cputype": 16777228, "args": )" +
           args + R"(, "env": ["HOME=/Users/alice", "SHELL=/bin/zsh", "TERM=xterm-256color"]}})";
}

const char* const accessJSON =
    R"({"event_type": 120, "event": {"success": true, "result_type": 0,
        "source_address_type": 1, "source_address": "10.0.0.3", "username": "alice",
        "has_uid": true, "uid": 501}})";

// The message as one line of the stream that the extension reads.
std::string streamLine(int index, int sequenceNumber) {
    std::string json = execJSON(index, sequenceNumber);
    std::replace(json.begin(), json.end(), '\n', ' ');
    return json;
}

endpoint_security::DecodedMessage decode(const std::string& json) {
    endpoint_security::MessageDecoder decoder;
    auto result = decoder.decode(json);
    if (!result.message) {
        std::fprintf(stderr, "bad message: %s\n", result.error.c_str());
        std::exit(1);
    }
    return std::move(*result.message);
}

std::string execLine() {
    Formatter formatter(Formatter::type::json, "", true);
    return *formatter.formatExec(decode(execJSON(1, 1)).message());
}

void sinkDurableLine(benchmark::State& state, const char* parent) {
    const std::string folder = scratchFolder(parent);
    const auto logger = std::make_shared<FileRotationLogger>(
        "bench", LogLevel::trace, nullptr, foundation::URL::fileURL(folder + "/audit.log"), "640",
        RotationConfig{RotationConfig::SuffixExtension::numbering, 1ull << 32, 5},
        std::weak_ptr<FileRotationLoggerDelegate>(), false);
    const std::string line = execLine();
    for (auto _ : state) {
        logger->log(LogLevel::info, line);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK_CAPTURE(sinkDurableLine, disk, "/tmp")->Iterations(2000);
BENCHMARK_CAPTURE(sinkDurableLine, memory, "/dev/shm")->Iterations(20000);

void BM_PlainLoopInMemory(benchmark::State& state) {
    const std::string folder = scratchFolder("/dev/shm");
    const std::string line = execLine();
    for (auto _ : state) {
        bench::durableAppend(folder + "/plain.log", line);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PlainLoopInMemory)->Iterations(20000);

// The line as the stream's reader leaves it: in its buffer, the padding behind it.
void BM_DecodeExec(benchmark::State& state) {
    const std::string line = streamLine(1, 1);
    const std::string buffer =
        line + std::string(endpoint_security::MessageDecoder::linePadding, '\n');
    endpoint_security::MessageDecoder decoder;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            decoder.decodePadded(std::string_view(buffer).substr(0, line.size())));
    }
}
BENCHMARK(BM_DecodeExec);

void formatExec(benchmark::State& state, Formatter::type format) {
    const auto message = decode(execJSON(1, 1));
    Formatter formatter(format, "${timestamp} ${username} ${group} ${command} ${args}", true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatter.formatExec(message.message()));
    }
}
BENCHMARK_CAPTURE(formatExec, json, Formatter::type::json);
BENCHMARK_CAPTURE(formatExec, auditd, Formatter::type::auditd);
BENCHMARK_CAPTURE(formatExec, custom, Formatter::type::custom);

void BM_FormatAccess(benchmark::State& state) {
    const auto message = decode(accessJSON);
    Formatter formatter(Formatter::type::json, "", true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatter.formatAccess(message.message()));
    }
}
BENCHMARK(BM_FormatAccess);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double sink = times_["sinkDurableLine/disk/iterations:2000"];
        for (const auto& [name, figure] :
             std::map<std::string, std::string>{{"formatExec/json", "format_exec_json_ratio"},
                                                {"formatExec/auditd", "format_exec_auditd_ratio"},
                                                {"formatExec/custom", "format_exec_custom_ratio"},
                                                {"BM_FormatAccess", "format_access_ratio"}}) {
            std::printf("%s %.4f (target < 0.10)\n", figure.c_str(), times_[name] / sink);
        }
        for (const char* kind : {"auditd", "custom"}) {
            std::printf("format_exec_%s_to_json %.2f (target <= 1.5)\n", kind,
                        times_[std::string("formatExec/") + kind] / times_["formatExec/json"]);
        }
        const double loop = times_["BM_PlainLoopInMemory/iterations:20000"];
        std::printf("plain loop in memory: %.2f us per line\n", loop / 1000);
        for (const auto& [name, figure] : std::map<std::string, std::string>{
                 {"BM_DecodeExec", "line_decode_cpu_ratio"},
                 {"formatExec/json", "line_format_cpu_ratio"},
                 {"sinkDurableLine/memory/iterations:20000", "line_write_cpu_ratio"}}) {
            std::printf("%s %.3f (%.2f us)\n", figure.c_str(), times_[name] / loop,
                        times_[name] / 1000);
        }
    }

private:
    std::map<std::string, double> times_;
};

std::string configYaml(const std::string& support) {
    std::string yaml;
    for (const std::string section : {"auditLogger", "accessLogger"}) {
        yaml += section + ":\n";
        if (section == "auditLogger") {
            yaml += "  customLogFormat: \"${command} ${args}\"\n"
                    "  muting:\n    inverted: false\n    targets: []\n";
        }
        yaml += "  enabled: true\n  logFilePath: \"" + support + "/" +
                (section == "auditLogger" ? "audit" : "access") +
                ".log\"\n  outputFormat: json\n  maxLogFileCount: 5\n"
                "  maxLogFileSize: 17179869184\n";
    }
    return yaml + "compressArchives: false\n";
}

// The extension program installed under a root of its own, replaying one stream at a time
// into its audit log.
class Installation {
public:
    explicit Installation(const std::string& parent)
        : root_(scratchFolder(parent)), support_(root_ + "/Library/Application Support/Vorla") {
        std::filesystem::create_directories(support_);
        std::ofstream(support_ + "/config.yaml") << configYaml(support_);
    }
    ~Installation() { std::filesystem::remove_all(root_); }
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    // Replays `stream`; what it added to the log is read apart, so that reading a log that grows
    // from round to round is not timed with the replay.
    void replay(const std::string& stream) {
        const std::string command = "VORLA_ROOT='" + root_ + "' VORLA_ES_SOURCE='" + stream +
                                    "' '" VORLA_EXTENSION_PROGRAM "'";
        const int status = std::system(command.c_str());
        if (status != 0) {
            std::fprintf(stderr, "replay failed: status %d\n", status);
            std::exit(1);
        }
    }

    // The lines added to the log since the last call.
    std::vector<std::string> addedLines() {
        std::ifstream stream(support_ + "/audit.log", std::ios::binary);
        stream.seekg(static_cast<std::streamoff>(read_));
        std::vector<std::string> lines;
        for (std::string line; std::getline(stream, line);) {
            read_ += line.size() + 1;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(std::move(line));
        }
        return lines;
    }

    const std::string& root() const { return root_; }

private:
    const std::string root_;
    const std::string support_;
    std::size_t read_ = 0;
};

// Replays the executions through the extension program under `parent` and writes the very
// lines it produces with the plainest durable loop. The lines are known beforehand from a
// rehearsal in memory, so the sides can take turns going first, and each measured replay must
// write them byte for byte. The sides alternate in rounds, so that a change in the load of a
// shared machine weighs on all alike; the figure is the median of the rounds' ratios. The logs
// are sized so that nothing rotates.
void replayComparison(const char* place, const std::string& parent, std::size_t linesPerRound) {
    constexpr int rounds = 5;
    Installation measured(parent);
    std::vector<std::string> streams;
    for (int round = 0; round < rounds; ++round) {
        streams.push_back(measured.root() + "/stream-" + std::to_string(round) + ".jsonl");
        std::ofstream out(streams.back());
        // Each replay is a new client, whose numbers begin anew.
        for (std::size_t line = 0; line < linesPerRound; ++line) {
            const auto index = static_cast<int>(round * linesPerRound + line);
            out << streamLine(index, static_cast<int>(line) + 1) << '\n';
        }
    }
    // The streams are on the disk before the rounds begin: their writing back must not compete
    // with the extension's synchronisations, which the plain loop's never meet.
    for (const auto& stream : streams) {
        bench::synchronise(stream);
    }
    std::vector<std::vector<std::string>> expected;
    {
        Installation rehearsal("/dev/shm");
        for (const auto& stream : streams) {
            rehearsal.replay(stream);
            expected.push_back(rehearsal.addedLines());
            if (expected.back().size() != linesPerRound) {
                std::fprintf(stderr, "rehearsal wrote %zu lines\n", expected.back().size());
                std::exit(1);
            }
        }
    }

    // A second plain loop, writing the same lines to a file of its own, shows how far apart two
    // identical writers land on this machine: the noise that any ratio here carries.
    const std::string plains[] = {measured.root() + "/plain.log", measured.root() + "/twin.log"};
    const std::string empty = measured.root() + "/empty.jsonl";
    std::ofstream{empty};
    enum Side { extensionSide, loopSide, twinSide, startSide, sideCount };
    std::array<double, sideCount> totals{};
    std::vector<double> ratios;
    std::vector<double> twinRatios;
    std::vector<double> steadyRatios;
    for (int round = 0; round < rounds; ++round) {
        const auto loop = [&](const std::string& plain) {
            for (const auto& line : expected[round]) {
                bench::durableAppend(plain, line);
            }
        };
        const auto seconds = bench::takeTurns<sideCount>(
            round, {[&] { measured.replay(streams[round]); }, [&] { loop(plains[0]); },
                    [&] { loop(plains[1]); }, [&] { measured.replay(empty); }});
        const std::vector<std::string> written = measured.addedLines();
        for (int side = 0; side < sideCount; ++side) {
            totals[side] += seconds[side];
        }
        if (written != expected[round]) {
            std::fprintf(stderr, "replay in %s wrote other lines than its rehearsal\n", place);
            std::exit(1);
        }
        ratios.push_back(seconds[loopSide] / seconds[extensionSide]);
        twinRatios.push_back(seconds[loopSide] / seconds[twinSide]);
        steadyRatios.push_back(seconds[loopSide] / (seconds[extensionSide] - seconds[startSide]));
    }
    std::sort(steadyRatios.begin(), steadyRatios.end());
    std::sort(ratios.begin(), ratios.end());
    std::sort(twinRatios.begin(), twinRatios.end());
    const double microsecondsPerLine = 1e6 / static_cast<double>(linesPerRound * rounds);
    std::printf("replay_%s_ratio %.3f (rounds %.3f to %.3f; extension %.1f us per line, plain "
                "loop %.1f us per line; the plain loop against a second one %.3f, rounds %.3f "
                "to %.3f)\n",
                place, ratios[rounds / 2], ratios.front(), ratios.back(),
                totals[extensionSide] * microsecondsPerLine, totals[loopSide] * microsecondsPerLine,
                twinRatios[rounds / 2], twinRatios.front(), twinRatios.back());
    std::printf("replay_%s_steady_ratio %.3f (rounds %.3f to %.3f; start and stop %.1f ms)\n",
                place, steadyRatios[rounds / 2], steadyRatios.front(), steadyRatios.back(),
                totals[startSide] * 1e3 / rounds);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // In memory a line costs a few microseconds: a round needs many of them for the extension's
    // start and stop, some 30 ms, to weigh little beside them and beside the machine's noise.
    replayComparison("disk", "/tmp", 4000);
    replayComparison("memory", "/dev/shm", 20000);
    dispatch::drain();
    return 0;
}
