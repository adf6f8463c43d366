#pragma once

#include <memory>
#include <string_view>

namespace vorla {

// Where a file sink tells what it cannot throw: a failed append or rotation step, lines it had
// to give up, and what it tidied in its folder on its own. Each message is printed with a line
// feed on standard output; an owner that has a better place adds it by overriding (the
// extension also writes every message to the system log).
class SinkReporter {
public:
    virtual ~SinkReporter() = default;

    // The reporter that prints only; shared and stateless.
    static std::shared_ptr<const SinkReporter> standardOutput();

    // A step that failed, or lines that are lost.
    virtual void failure(std::string_view message) const;
    // Work the sink did on its own to keep its folder sound.
    virtual void notice(std::string_view message) const;
};

} // namespace vorla
