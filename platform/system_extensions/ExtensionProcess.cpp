#include "platform/system_extensions/ExtensionProcess.hpp"

#include "platform/foundation/FoundationError.hpp"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string_view>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

// glibc 2.36 declares the pidfd calls without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

extern char** environ;

namespace vorla::system_extensions {

namespace {

using foundation::Descriptor;

constexpr std::string_view readinessVariable = "VORLA_SYSEXT_READY_FD=";
// The descriptor number the extension finds its end of the readiness pipe under.
constexpr int readinessDescriptor = 3;

// A /proc file read through the descriptor of the process's folder, so that every file read
// describes the same process even when its id is reused meanwhile.
std::string readProcFile(int processFolder, const char* name) {
    try {
        const auto file = foundation::openRegularFile(processFolder, name, O_RDONLY, 0,
                                                      foundation::LastLink::refuse, name, "read");
        return foundation::readToEnd(file.descriptor.get(), name);
    } catch (const foundation::FoundationError&) {
        return {};
    }
}

std::optional<std::uint64_t> number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// The real user from the "Uid:" line of a status file.
std::optional<uid_t> realUser(const std::string& status) {
    const auto line = status.find("\nUid:");
    if (line == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(status.substr(line + 5));
    std::string real;
    fields >> real;
    const auto value = number(real);
    return value ? std::optional<uid_t>(static_cast<uid_t>(*value)) : std::nullopt;
}

// Waits until the process behind the pidfd has ended; false when the time ran out first.
bool waitForEnd(int process, std::optional<std::chrono::milliseconds> limit) {
    const auto deadline =
        std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds::zero());
    for (;;) {
        int timeout = -1;
        if (limit) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
        }
        pollfd ended{process, POLLIN, 0};
        const int ready = ::poll(&ended, 1, timeout);
        if (ready > 0) {
            return true;
        }
        if (ready == 0) {
            return false;
        }
        if (errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "cannot wait for a process");
        }
    }
}

// A handle on the recorded process, taken before its identity is compared: once the pidfd is
// open, the id can no longer pass to another process behind our back.
std::optional<Descriptor> openRecorded(const ProcessIdentity& recorded) {
    if (recorded.pid <= 0 || recorded.uid != ::getuid()) {
        return std::nullopt;
    }
    Descriptor process(::pidfd_open(recorded.pid, 0));
    if (process.get() < 0 || runningProcess(recorded.pid) != recorded) {
        return std::nullopt;
    }
    return process;
}

void sendSignal(int process, int signal) {
    if (::pidfd_send_signal(process, signal, nullptr, 0) != 0 && errno != ESRCH) {
        throw std::system_error(errno, std::generic_category(), "cannot stop the extension");
    }
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

// The caller's environment with our readiness descriptor in place of any inherited one.
std::vector<std::string> extensionEnvironment() {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with(readinessVariable)) {
            variables.emplace_back(*entry);
        }
    }
    variables.push_back(std::string(readinessVariable) + std::to_string(readinessDescriptor));
    return variables;
}

std::string howItEnded(const siginfo_t& info) {
    if (info.si_code == CLD_EXITED) {
        return "exit status " + std::to_string(info.si_status);
    }
    return "signal " + std::to_string(info.si_status) + " (" + ::strsignal(info.si_status) + ")";
}

} // namespace

std::optional<ProcessIdentity> runningProcess(pid_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    const Descriptor folder(
        ::open(("/proc/" + std::to_string(pid)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        return std::nullopt;
    }
    // The name in parentheses may hold spaces and parentheses itself; the fields follow the
    // last ')': the state is the third field of the line, the start time the twenty-second.
    const std::string stat = readProcFile(folder.get(), "stat");
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::vector<std::string> values;
    for (std::string field; values.size() < 20 && fields >> field;) {
        values.push_back(field);
    }
    const auto startTime = values.size() == 20 ? number(values[19]) : std::nullopt;
    const auto uid = realUser(readProcFile(folder.get(), "status"));
    if (!startTime || !uid || values[0] == "Z" || values[0] == "X") {
        return std::nullopt;
    }
    return ProcessIdentity{pid, *startTime, *uid};
}

bool isRunning(const ProcessIdentity& recorded) {
    return recorded.uid == ::getuid() && runningProcess(recorded.pid) == recorded;
}

StartedProcess startExtensionProcess(const std::string& program) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot start " + program);
    }
    Descriptor readEnd(ends[0]);
    const Descriptor writeEnd(ends[1]);
    // The last look after the end must not wait for a byte that never comes.
    ::fcntl(readEnd.get(), F_SETFL, O_NONBLOCK);

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
    // A detached process keeps no terminal and none of our files but its end of the readiness
    // pipe: holding the caller's pipes open would keep whoever reads them waiting until the
    // extension ends.
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, 1, 2);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), readinessDescriptor);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, readinessDescriptor + 1);

    std::vector<std::string> variables = extensionEnvironment();
    std::vector<char*> environment;
    for (std::string& variable : variables) {
        environment.push_back(variable.data());
    }
    environment.push_back(nullptr);
    std::string argument0 = program;
    std::vector<char*> arguments{argument0.data(), nullptr};
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes,
                                    arguments.data(), environment.data());
    if (error != 0) {
        throw std::system_error(error, std::generic_category(), "cannot start " + program);
    }
    // Our child until we reap it: its id and /proc folder cannot pass to another process.
    Descriptor process(::pidfd_open(pid, 0));
    const auto identity = runningProcess(pid);
    if (process.get() < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot watch " + program);
    }
    // One that has already ended is a zombie without identity; its start-up failed, which
    // waitForStartUp tells.
    return {identity.value_or(ProcessIdentity{pid, 0, ::getuid()}), std::move(process),
            std::move(readEnd)};
}

std::optional<std::string> waitForStartUp(StartedProcess& started) {
    pollfd watched[2] = {{started.readiness.get(), POLLIN, 0}, {started.process.get(), POLLIN, 0}};
    char byte = 0;
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "cannot watch the extension");
        }
        if (watched[0].revents != 0) {
            const ssize_t count = ::read(started.readiness.get(), &byte, 1);
            if (count == 1) {
                return std::nullopt;
            }
            if (count == 0) {
                // Closed without a word: only its end can tell now.
                watched[0].fd = -1;
            }
        }
        if (watched[1].revents != 0) {
            // A byte written just before the end still means the start-up was done.
            if (::read(started.readiness.get(), &byte, 1) == 1) {
                return std::nullopt;
            }
            siginfo_t info{};
            while (::waitid(P_PIDFD, static_cast<id_t>(started.process.get()), &info, WEXITED) !=
                   0) {
                if (errno != EINTR) {
                    throw std::system_error(errno, std::generic_category(),
                                            "cannot learn how the extension ended");
                }
            }
            return howItEnded(info);
        }
    }
}

void stopExtensionProcess(const ProcessIdentity& recorded, std::chrono::milliseconds grace) {
    const auto process = openRecorded(recorded);
    if (!process) {
        return;
    }
    sendSignal(process->get(), SIGTERM);
    if (!waitForEnd(process->get(), grace)) {
        sendSignal(process->get(), SIGKILL);
        waitForEnd(process->get(), std::nullopt);
    }
    // Reaped when it is our child; another process's child is its parent's to reap.
    siginfo_t info{};
    ::waitid(P_PIDFD, static_cast<id_t>(process->get()), &info, WEXITED | WNOHANG);
}

} // namespace vorla::system_extensions
