#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vorla::foundation {

class FileManager;
class Folder;

// Puts something under the first free one of several names: `take` is tried with
// `nameFor(0)`, `nameFor(1)`, ... and a name that exists already (FoundationError with code
// EEXIST) moves on to the next. Gives the name taken. Any other failure is thrown as it came,
// and so is the last EEXIST once `attempts` names were all taken.
std::string takeFreeName(unsigned attempts, const std::function<std::string(unsigned)>& nameFor,
                         const std::function<void(const std::string& name)>& take);

// Renames `name` of the folder to `<name><tag><UTC time, as 20240501T100000Z>`, or to that
// followed by "-1", "-2", ... when it is taken, so that something unusable makes way without
// being destroyed; never replaces anything. Gives the new name.
std::string moveAside(const FileManager& fileManager, const Folder& folder, std::string_view name,
                      std::string_view tag);

} // namespace vorla::foundation
