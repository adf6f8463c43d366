#pragma once

#include "platform/foundation/RegularFile.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

// The process that runs an enabled extension. It is started detached, so it outlives the app
// that asked for it, and a later run of the app finds it again by what the registry recorded.
namespace vorla::system_extensions {

// What tells one process from every other: a process id alone is reused once the process has
// ended, the start time (in clock ticks since boot) and the real user are not.
struct ProcessIdentity {
    pid_t pid = 0;
    std::uint64_t startTime = 0;
    uid_t uid = 0;

    friend bool operator==(const ProcessIdentity&, const ProcessIdentity&) = default;
};

// The identity of the process that has this id now, or nothing when there is none; a zombie
// has ended and has none.
std::optional<ProcessIdentity> runningProcess(pid_t pid);

// True while the recorded process runs and is one of ours: its id, start time and user match
// and that user is the one this process runs as. Another user's process never counts.
bool isRunning(const ProcessIdentity& recorded);

// A started extension, with what its start-up is watched through.
struct StartedProcess {
    ProcessIdentity identity;
    // A pidfd: it becomes readable when the process ends, and it is never another process.
    foundation::Descriptor process;
    // The read end of the pipe whose write end the extension holds in VORLA_SYSEXT_READY_FD.
    foundation::Descriptor readiness;
};

// Starts the program in a session of its own, with the caller's environment plus the
// readiness pipe, standard streams on /dev/null and default signal handling. Throws
// std::system_error when it cannot be started (a missing program, no permission).
StartedProcess startExtensionProcess(const std::string& program);

// Waits until the started extension says that its start-up is done, or ends. Gives nothing
// when it is ready; otherwise how it ended ("exit status 4", "signal 9"), once reaped.
std::optional<std::string> waitForStartUp(StartedProcess& started);

// Sends SIGTERM to the recorded process, when it still runs and is ours, and waits until it has
// ended. A process that has not ended after the grace period is killed, so a request never
// hangs for good. Throws std::system_error when the signal cannot be sent.
void stopExtensionProcess(const ProcessIdentity& recorded, std::chrono::milliseconds grace);

} // namespace vorla::system_extensions
