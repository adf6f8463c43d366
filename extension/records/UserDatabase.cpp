#include "extension/records/UserDatabase.hpp"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <vector>

namespace vorla::records {

namespace {

// Asks with a buffer that grows while the database reports that it is too small.
template <typename Entry, typename Id, typename Lookup>
std::string lookUpName(Id id, Lookup lookup, char* Entry::*name) {
    std::vector<char> buffer(1024);
    for (;;) {
        Entry entry{};
        Entry* found = nullptr;
        const int error = lookup(id, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (size_t{1} << 20)) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        if (error != 0 || !found || !(found->*name)) {
            return "";
        }
        return found->*name;
    }
}

} // namespace

std::string userName(uid_t uid) {
    return lookUpName<passwd>(uid, getpwuid_r, &passwd::pw_name);
}

std::string groupName(gid_t gid) {
    return lookUpName<group>(gid, getgrgid_r, &group::gr_name);
}

} // namespace vorla::records
