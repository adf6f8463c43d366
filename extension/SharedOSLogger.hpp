#pragma once

#include "sinks/OSLogger.hpp"

#include <memory>

namespace vorla::extension {

// The extension's one system-log sink (subsystem "com.vorla.system", category "vorla", level
// trace, no layout). Made on first use and kept until the process ends, so that a start-up
// failure can always be reported.
const std::shared_ptr<OSLogger>& sharedOSLogger();

} // namespace vorla::extension
