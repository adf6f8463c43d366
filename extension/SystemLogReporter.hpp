#pragma once

#include "sinks/SinkReporter.hpp"

namespace vorla::extension {

// The log sinks' reports as the extension wants them: each is printed as every sink does, and
// also written to the system log (failures and lost lines at error level, tidying at info),
// because nobody reads the standard output of a running extension.
class SystemLogReporter final : public SinkReporter {
public:
    void failure(std::string_view message) const override;
    void notice(std::string_view message) const override;
};

} // namespace vorla::extension
