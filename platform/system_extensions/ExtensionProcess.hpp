#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>

// The process that runs an enabled extension. It is started detached, so it outlives the app
// that asked for it, and a later run of the app stops it by its process id alone.
namespace vorla::system_extensions {

// The process's file of that name under /proc ("stat", "cmdline"), empty when the process
// is gone, even when it ends while the file is read.
std::string processFile(pid_t pid, const char* name);

// Starts the program in a session of its own, with the caller's environment, standard
// streams on /dev/null and default signal handling. Throws std::system_error when it
// cannot be started (a missing program, no permission).
pid_t startExtensionProcess(const std::string& program);

// True when the process still runs and was started from a program of that file name (its
// first argument, or its second while an interpreter starts it as a script). A
// stored process id can outlive its process and be reused by an unrelated one, which must
// never receive our stop signal.
bool runsProgram(pid_t pid, const std::string& program);

// Sends SIGTERM and waits until the process is gone (a zombie counts as gone). A process
// that has not ended after the grace period is killed, so a request never hangs for good.
// Throws std::system_error when the process may not be signalled (it belongs to another
// user).
void stopExtensionProcess(pid_t pid, std::chrono::milliseconds grace);

} // namespace vorla::system_extensions
