#include "platform/system_extensions/ExtensionProcess.hpp"

#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/FoundationError.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vorla::system_extensions {

namespace {

using namespace std::chrono_literals;

// Gone means reaped, vanished or a zombie: a zombie holds its id but runs no more, and
// when it is not our child we cannot reap it.
bool isGone(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
        return true;
    }
    const std::string stat = processFile(pid, "stat");
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 >= stat.size()) {
        return true;
    }
    const char state = stat[nameEnd + 2];
    return state == 'Z' || state == 'X';
}

bool waitUntilGone(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    while (!isGone(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// posix_spawn's C structures, released however the start ends.
struct SpawnSetup {
    posix_spawnattr_t attributes{};
    posix_spawn_file_actions_t actions{};

    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

} // namespace

std::string processFile(pid_t pid, const char* name) {
    try {
        return foundation::FileManager::defaultManager()->contentsOfFile(
            "/proc/" + std::to_string(pid) + "/" + name);
    } catch (const foundation::FoundationError&) {
        // Gone before the open, or ended while its file was read: not half there.
        return {};
    }
}

pid_t startExtensionProcess(const std::string& program) {
    SpawnSetup setup;
    // The caller may block or catch signals on its threads; the extension must still stop
    // on SIGTERM, so it starts with an empty mask and default handlers.
    sigset_t noSignals;
    sigemptyset(&noSignals);
    posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setflags(
        &setup.attributes,
        static_cast<short>(POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
    // A detached process keeps no terminal and none of our files: holding the caller's pipes
    // open would keep whoever reads them waiting until the extension ends.
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, 1, 2);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);

    std::string argument0 = program;
    std::vector<char*> arguments{argument0.data(), nullptr};
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes,
                                    arguments.data(), environ);
    if (error != 0) {
        throw std::system_error(error, std::generic_category(), "cannot start " + program);
    }
    return pid;
}

bool runsProgram(pid_t pid, const std::string& program) {
    // While a process replaces its program its command line reads empty for a moment; a
    // process that keeps it empty (a kernel thread) is no program of ours.
    std::string commandLine;
    for (int attempt = 0; attempt < 20 && commandLine.empty(); ++attempt) {
        if (pid <= 0 || isGone(pid)) {
            return false;
        }
        if (attempt > 0) {
            std::this_thread::sleep_for(5ms);
        }
        commandLine = processFile(pid, "cmdline");
    }
    // A script starts as its interpreter with the script's path as the first argument, so
    // until it has exec'd its program the name stands in the second place.
    const std::string argument0 = commandLine.substr(0, commandLine.find('\0'));
    const auto second = std::min(commandLine.size(), argument0.size() + 1);
    const std::string argument1 =
        commandLine.substr(second, commandLine.find('\0', second) - second);
    const auto name = std::filesystem::path(program).filename();
    const auto names = [&name](const std::string& argument) {
        return !argument.empty() && std::filesystem::path(argument).filename() == name;
    };
    return names(argument0) || names(argument1);
}

void stopExtensionProcess(pid_t pid, std::chrono::milliseconds grace) {
    if (::kill(pid, SIGTERM) != 0) {
        if (errno == ESRCH) {
            return;
        }
        throw std::system_error(errno, std::generic_category(),
                                "cannot stop process " + std::to_string(pid));
    }
    if (!waitUntilGone(pid, std::chrono::steady_clock::now() + grace)) {
        ::kill(pid, SIGKILL);
        waitUntilGone(pid, std::chrono::steady_clock::time_point::max());
    }
}

} // namespace vorla::system_extensions
