#include "platform/system_extensions/Registry.hpp"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::system_extensions {

namespace {

using nlohmann::json;

RegistryRecord recordFromJSON(const json& object) {
    if (!object.is_object()) {
        throw std::invalid_argument("an entry is not an object");
    }
    RegistryRecord record;
    record.properties.bundleIdentifier = object.value("bundleIdentifier", std::string());
    record.properties.isEnabled = object.value("isEnabled", false);
    record.properties.isAwaitingUserApproval = object.value("isAwaitingUserApproval", false);
    if (const auto pid = object.find("pid"); pid != object.end() && !pid->is_null()) {
        const auto value = pid->get<long long>();
        if (value <= 0 || value > std::numeric_limits<pid_t>::max()) {
            throw std::invalid_argument("an entry has an impossible pid");
        }
        record.pid = static_cast<pid_t>(value);
    }
    return record;
}

json recordToJSON(const RegistryRecord& record) {
    return json{{"bundleIdentifier", record.properties.bundleIdentifier},
                {"isEnabled", record.properties.isEnabled},
                {"isAwaitingUserApproval", record.properties.isAwaitingUserApproval},
                {"pid", record.pid ? json(*record.pid) : json(nullptr)}};
}

[[noreturn]] void failToWrite(const std::string& path, const std::string& step, int error) {
    throw std::runtime_error("cannot write the system-extension registry " + path + " (" + step +
                             ": " + std::strerror(error) + ")");
}

// Writes the whole text; false with errno set when the file refuses it.
bool writeAll(int descriptor, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace

Registry::Registry(std::string path) : path_(std::move(path)) {}

std::vector<RegistryRecord> Registry::load() const {
    errno = 0;
    std::ifstream file(path_, std::ios::binary);
    if (!file) {
        if (errno != 0 && errno != ENOENT) {
            std::fprintf(stderr,
                         "vorla: cannot read the system-extension registry %s (%s); it is taken "
                         "as empty\n",
                         path_.c_str(), std::strerror(errno));
        }
        return {};
    }
    try {
        const json document = json::parse(file);
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
    const std::filesystem::path target(path_);
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    if (error) {
        failToWrite(path_, "create its folder", error.value());
    }

    json document = json::array();
    for (const RegistryRecord& record : records) {
        document.push_back(recordToJSON(record));
    }
    const std::string text = document.dump(2) + "\n";

    std::string temporary = path_ + ".XXXXXX";
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        failToWrite(path_, "create a temporary file", errno);
    }
    const char* failedStep = nullptr;
    if (!writeAll(descriptor, text)) {
        failedStep = "write";
    } else if (::fchmod(descriptor, 0644) != 0) {
        failedStep = "set permissions";
    } else if (::fsync(descriptor) != 0) {
        failedStep = "synchronise";
    }
    int failure = errno;
    if (::close(descriptor) != 0 && failedStep == nullptr) {
        failedStep = "close";
        failure = errno;
    }
    if (failedStep != nullptr) {
        ::unlink(temporary.c_str());
        failToWrite(path_, failedStep, failure);
    }
    if (::rename(temporary.c_str(), path_.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        failToWrite(path_, "replace", saved);
    }
    // The rename itself lives in the folder; synchronise it so the new list survives a crash.
    // A failure here leaves the new list in place but not certainly on storage: the request
    // that wrote it must not report success.
    const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        failToWrite(path_, "open its folder", errno);
    }
    const int synchronized = ::fsync(folder);
    const int folderFailure = errno;
    ::close(folder);
    if (synchronized != 0) {
        failToWrite(path_, "synchronise its folder", folderFailure);
    }
}

} // namespace vorla::system_extensions
