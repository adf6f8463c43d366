#pragma once

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/RegularFile.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace vorla::foundation {

// Files that a whole path names, as settings of the environment do, which root appends to or
// reads a stream from. Their folders are walked as Folder::open walks them (a relative path
// starts at the working folder); what is opened must pass the trust rule (Trust.hpp). Failures
// throw UntrustedError or FoundationError, whose text names the path.

// Opens the file to append to it. A link at its end is never followed; a missing file is made
// with `permissions` (which the umask can only narrow); one that exists is used only when it is
// a regular file that passes the rule. Never blocks on a FIFO or a device.
OpenedFile openTrustedForAppending(std::string_view path, std::uint16_t permissions);

// Opens the file to read a stream from it: a regular file or a FIFO that passes the rule. A link
// at its end is not followed, except a descriptor link of a trusted process (so /dev/fd/<n>
// names a pipe this process inherited). Nothing is opened before the object is known; then a
// FIFO's open waits for a writer, as any open for reading does.
Descriptor openTrustedStream(std::string_view path);

// Makes sure an inherited descriptor, such as standard input, is a stream that
// openTrustedStream would accept; `shownPath` names it in the error.
void checkTrustedStream(int descriptor, const std::string& shownPath);

} // namespace vorla::foundation
