#include "extension/records/UserNameCache.hpp"

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <time.h>
#include <utility>
#include <vector>

namespace vorla::records {

namespace {

// Asks with a buffer that grows while the database reports that it is too small.
template <typename Entry, typename Id, typename Query>
std::string lookUpName(Id id, Query query, char* Entry::*name) {
    std::vector<char> buffer(1024);
    for (;;) {
        Entry entry{};
        Entry* found = nullptr;
        const int error = query(id, &entry, buffer.data(), buffer.size(), &found);
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

std::string systemUserName(std::uint32_t uid) {
    return lookUpName<passwd>(static_cast<uid_t>(uid), getpwuid_r, &passwd::pw_name);
}

std::string systemGroupName(std::uint32_t gid) {
    return lookUpName<group>(static_cast<gid_t>(gid), getgrgid_r, &group::gr_name);
}

} // namespace

UserNameCache::UserNameCache() : UserNameCache(systemUserName, systemGroupName, coarseNow) {}

UserNameCache::UserNameCache(Lookup userLookup, Lookup groupLookup, Clock clock)
    : userLookup_(std::move(userLookup)), groupLookup_(std::move(groupLookup)),
      clock_(std::move(clock)) {}

std::chrono::steady_clock::time_point UserNameCache::coarseNow() {
    // The steady clock is CLOCK_MONOTONIC; its coarse variant counts from the same origin.
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &time);
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec)));
}

const std::string& UserNameCache::userName(uid_t uid) {
    return name(users_, userLookup_, uid);
}

const std::string& UserNameCache::groupName(gid_t gid) {
    return name(groups_, groupLookup_, gid);
}

const std::string& UserNameCache::name(Table& table, const Lookup& lookup, std::uint32_t id) {
    const auto now = clock_();
    const auto known = table.find(id);
    if (known != table.end() && now < known->second.expires) {
        return known->second.name;
    }
    std::string found = lookup(id);
    if (known != table.end()) {
        known->second = {std::move(found), now + lifetime};
        return known->second.name;
    }
    makeRoom(table, now);
    return table.emplace(id, Entry{std::move(found), now + lifetime}).first->second.name;
}

// Expired entries go first; a table still full of live entries (a burst of many ids) gives up
// the one that expires soonest.
void UserNameCache::makeRoom(Table& table, std::chrono::steady_clock::time_point now) {
    if (table.size() < capacity) {
        return;
    }
    std::erase_if(table, [now](const auto& entry) { return !(now < entry.second.expires); });
    if (table.size() >= capacity) {
        table.erase(std::min_element(table.begin(), table.end(), [](const auto& a, const auto& b) {
            return a.second.expires < b.second.expires;
        }));
    }
}

} // namespace vorla::records
