#pragma once

#include <string>
#include <sys/types.h>

namespace vorla::records {

// The names that the user and group databases give an id; "" when there is no entry or the
// entry has no name. Safe to call from any thread.
std::string userName(uid_t uid);
std::string groupName(gid_t gid);

} // namespace vorla::records
