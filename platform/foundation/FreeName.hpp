#pragma once

#include <functional>
#include <string>

namespace vorla::foundation {

// Puts something under the first free one of several names: `take` is tried with
// `nameFor(0)`, `nameFor(1)`, ... and a name that exists already (FoundationError with code
// EEXIST) moves on to the next. Gives the name taken. Any other failure is thrown as it came,
// and so is the last EEXIST once `attempts` names were all taken.
std::string takeFreeName(unsigned attempts, const std::function<std::string(unsigned)>& nameFor,
                         const std::function<void(const std::string& name)>& take);

} // namespace vorla::foundation
