#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::foundation {

class FileManager;
class Folder;
class NewFile;

// `length` characters of [A-Za-z0-9] from the system's random source: a part of a name that
// nobody can guess and take first.
std::string randomCharacters(std::size_t length);

// Puts something under the first free one of several names: `take` is tried with
// `nameFor(0)`, `nameFor(1)`, ... and a name that exists already (FoundationError with code
// EEXIST) moves on to the next. Gives the name taken. Any other failure is thrown as it came,
// and so is the last EEXIST once `attempts` names were all taken.
std::string takeFreeName(unsigned attempts, const std::function<std::string(unsigned)>& nameFor,
                         const std::function<void(const std::string& name)>& take);

// Renames `name` of the folder to `<name><tag><UTC time, as 20240501T100000Z>-<six random
// characters>`, so that something unusable makes way without being destroyed, under a name
// that nobody could have taken first; never replaces anything. Gives the new name.
std::string moveAside(const FileManager& fileManager, const Folder& folder, std::string_view name,
                      std::string_view tag);
// The same for an entry that stands under another name than the one it is set aside as
// (`baseName` in the new name).
std::string moveAsideAs(const FileManager& fileManager, const Folder& folder, std::string_view from,
                        std::string_view baseName, std::string_view tag);

// Puts the finished `replacement` at `name` in one step that never leaves the name free (an
// exchange of the two names), then moves what stood there from the temporary name on to a
// moveAside name. Gives that name, or nothing when nothing stood at `name` any more and the
// replacement simply took it. Once the exchange is done, `name` holds the replacement even
// when the move on fails (thrown): what was set aside then waits under the temporary name.
std::optional<std::string> replaceAside(const FileManager& fileManager, const Folder& folder,
                                        std::string_view name, std::string_view tag,
                                        NewFile& replacement);

} // namespace vorla::foundation
