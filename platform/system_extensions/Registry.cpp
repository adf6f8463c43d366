#include "platform/system_extensions/Registry.hpp"

#include "platform/foundation/Trust.hpp"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <stdexcept>

namespace vorla::system_extensions {

namespace {

using foundation::FoundationError;
using nlohmann::json;

// A registry holds a few records; anything near this is no registry of ours.
constexpr std::uint64_t sizeLimit = 1 << 20;

template <typename Number> std::optional<Number> numberIn(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return std::nullopt;
    }
    const auto value = found->get<long long>();
    if (value < 0 || static_cast<unsigned long long>(value) > std::numeric_limits<Number>::max()) {
        throw std::invalid_argument(std::string("an entry has an impossible ") + key);
    }
    return static_cast<Number>(value);
}

RegistryRecord recordFromJSON(const json& object) {
    if (!object.is_object()) {
        throw std::invalid_argument("an entry is not an object");
    }
    RegistryRecord record;
    record.properties.bundleIdentifier = object.value("bundleIdentifier", std::string());
    record.properties.isEnabled = object.value("isEnabled", false);
    record.properties.isAwaitingUserApproval = object.value("isAwaitingUserApproval", false);
    const auto pid = numberIn<pid_t>(object, "pid");
    if (pid == 0) {
        throw std::invalid_argument("an entry has an impossible pid");
    }
    const auto startTime = numberIn<std::uint64_t>(object, "startTime");
    const auto uid = numberIn<uid_t>(object, "uid");
    // A process id without its start time and user could name any later process: such a
    // record names none.
    if (pid && startTime && uid) {
        record.process = ProcessIdentity{*pid, *startTime, *uid};
    }
    return record;
}

json recordToJSON(const RegistryRecord& record) {
    json object{{"bundleIdentifier", record.properties.bundleIdentifier},
                {"isEnabled", record.properties.isEnabled},
                {"isAwaitingUserApproval", record.properties.isAwaitingUserApproval},
                {"pid", nullptr}};
    if (record.process) {
        object["pid"] = record.process->pid;
        object["startTime"] = record.process->startTime;
        object["uid"] = record.process->uid;
    }
    return object;
}

[[noreturn]] void refuse(const std::string& reason) {
    throw std::runtime_error("cannot use the system-extension registry: " + reason);
}

} // namespace

Registry::Registry(std::string path, std::shared_ptr<const foundation::FileManager> fileManager)
    : path_(std::move(path)), fileManager_(std::move(fileManager)) {
    const auto slash = path_.rfind('/');
    folderPath_ = slash == 0 ? "/" : path_.substr(0, slash);
    name_ = path_.substr(slash + 1);
}

foundation::Folder Registry::openFolder() const {
    return foundation::Folder::open(folderPath_, {.create = true, .tightenLast = false});
}

std::vector<RegistryRecord> Registry::load() const {
    std::string text;
    try {
        const auto folder = foundation::Folder::open(folderPath_, {});
        const auto file =
            foundation::openRegularFile(folder.descriptor(), name_, O_RDONLY, 0,
                                        foundation::LastLink::refuse, path_, "could not read");
        if (const auto reason = foundation::untrustedReason(file.attributes, path_)) {
            refuse(*reason);
        }
        text = foundation::readToEnd(file.descriptor.get(), path_, sizeLimit);
    } catch (const foundation::UntrustedError& error) {
        refuse(error.what());
    } catch (const FoundationError& error) {
        if (error.code() == ENOENT) {
            return {};
        }
        refuse(error.what());
    }
    try {
        const json document = json::parse(text);
        if (!document.is_array()) {
            throw std::invalid_argument("it is not a JSON array");
        }
        std::vector<RegistryRecord> records;
        for (const json& entry : document) {
            records.push_back(recordFromJSON(entry));
        }
        return records;
    } catch (const std::exception& error) {
        std::fprintf(stderr,
                     "vorla: the system-extension registry %s is broken (%s); it is taken as "
                     "empty\n",
                     path_.c_str(), error.what());
        return {};
    }
}

void Registry::save(const std::vector<RegistryRecord>& records) const {
    json document = json::array();
    for (const RegistryRecord& record : records) {
        document.push_back(recordToJSON(record));
    }
    try {
        fileManager_->createFile(openFolder(), name_, document.dump(2) + "\n", 0644);
    } catch (const FoundationError& error) {
        throw std::runtime_error("cannot write the system-extension registry " + path_ + ": " +
                                 error.what());
    }
}

} // namespace vorla::system_extensions
