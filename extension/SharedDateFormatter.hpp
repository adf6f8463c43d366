#pragma once

#include "platform/foundation/DateFormatter.hpp"

#include <memory>

namespace vorla::extension {

// The one formatter behind every timestamp of the extension: UTC with a "Z" suffix and three
// fraction digits, whatever the machine's locale and zone. Made once at start-up and never
// changed afterwards, so it can be shared between threads.
std::shared_ptr<const foundation::DateFormatter> makeSharedDateFormatter();

} // namespace vorla::extension
