#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <unordered_map>

namespace vorla::records {

// The names that the user and group databases give ids, remembered for a few seconds. Every
// execution record names the users and groups of three audit tokens, and each database query
// costs microseconds (tens of them for an id without an entry, which falls through to every
// name service); executions mostly come from a handful of ids, so one query per id serves
// many records. Entries expire soon, so that a renamed or new account shows up within
// seconds, and the number of ids kept is bounded.
//
// Not thread-safe: one instance belongs to the formatter of the message handler's thread.
class UserNameCache {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // The name of an id, "" when there is no entry or the entry has no name.
    using Lookup = std::function<std::string(std::uint32_t)>;

    static constexpr std::chrono::seconds lifetime{5};
    static constexpr std::size_t capacity = 512;

    // Asks the system's user and group databases, on coarseNow.
    UserNameCache();
    UserNameCache(Lookup userLookup, Lookup groupLookup, Clock clock);

    // The steady clock to the tick of the system's timer: a record asks for six names, and
    // this clock is read from memory, where the precise one costs a good part of a name
    // lookup under a hypervisor, while entries live for seconds.
    static std::chrono::steady_clock::time_point coarseNow();

    // Valid until the next call for the same kind of id.
    const std::string& userName(uid_t uid);
    const std::string& groupName(gid_t gid);

private:
    struct Entry {
        std::string name;
        std::chrono::steady_clock::time_point expires;
    };
    using Table = std::unordered_map<std::uint32_t, Entry>;

    const std::string& name(Table& table, const Lookup& lookup, std::uint32_t id);
    void makeRoom(Table& table, std::chrono::steady_clock::time_point now);

    Lookup userLookup_;
    Lookup groupLookup_;
    Clock clock_;
    Table users_;
    Table groups_;
};

} // namespace vorla::records
