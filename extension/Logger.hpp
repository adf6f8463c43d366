#pragma once

#include "extension/PathManager.hpp"
#include "extension/VorlaRotationDelegate.hpp"
#include "extension/config/Config.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "sinks/FileRotationLogger.hpp"
#include "sinks/SinkHub.hpp"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vorla::extension {

// The extension's logger set: the audit and access logs, written directly on the caller's
// thread, and the error log, written through a facade on its own queue. Made once at start-up
// and kept for the life of the process.
class Logger {
public:
    // A logger set that could not be made.
    class InitErr : public std::runtime_error {
    public:
        enum class Kind { create, delegate };

        // A sink could not be created: its label and the error's description.
        static InitErr create(std::string label, std::string err);
        // The delegate was absent.
        static InitErr delegate(std::string err);

        Kind kind() const { return kind_; }
        // The label of the sink that failed; empty for the delegate case.
        const std::string& label() const { return label_; }
        // The description of the underlying error, or the delegate case's text.
        const std::string& err() const { return err_; }

    private:
        InitErr(Kind kind, std::string label, std::string err);

        Kind kind_;
        std::string label_;
        std::string err_;
    };

    // Creates the audit, access and error sinks, in this order. A failing sink is reported to
    // the system log and thrown as InitErr; the sinks made before it are released.
    Logger(const PathManager& pathManager, const Config& config,
           std::shared_ptr<const foundation::DateFormatter> dateFormatter,
           std::shared_ptr<VorlaRotationDelegate> delegate);

    const FileRotationLogger& audit() const { return *audit_; }
    const FileRotationLogger& access() const { return *access_; }
    const SinkHub& error() const { return error_; }

    // Hands one line to the error log's queue and returns at once; the line shows the moment
    // of this call. The call site comes from the compiler's builtins, which both g++ and
    // clang 14 (whose library lacks std::source_location) provide.
    void logError(std::string message, const char* function = __builtin_FUNCTION(),
                  const char* file = __builtin_FILE(), unsigned line = __builtin_LINE()) const;

    // Waits, at most the timeout, until every error line handed over so far is in the file.
    // Needed before the process ends on purpose, because the queue is not drained then.
    bool flushErrors(double timeoutSeconds) const;

    // For the end of the process, once no more lines come: waits (at most 5 s) for the error
    // lines still queued, writes what the three logs still hold back after failed writes, and
    // reports in the system log what is lost.
    void finishWriting() const;

private:
    // Kept here for as long as the set lives: the sinks only hold it weakly.
    std::shared_ptr<VorlaRotationDelegate> delegate_;
    std::shared_ptr<FileRotationLogger> audit_;
    std::shared_ptr<FileRotationLogger> access_;
    std::shared_ptr<FileRotationLogger> errorSink_;
    SinkHub error_;
    // Whether any error line was handed over: only then is there a queue to wait for at the end.
    mutable std::atomic<bool> errorLinesLogged_{false};
};

} // namespace vorla::extension
