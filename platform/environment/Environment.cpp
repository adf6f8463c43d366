#include "platform/environment/Environment.hpp"

#include <cstdlib>
#include <map>
#include <mutex>

namespace vorla::platform {

std::optional<std::string> environmentValue(std::string_view name) {
    static std::mutex mutex;
    static std::map<std::string, std::optional<std::string>, std::less<>> seen;
    const std::lock_guard lock(mutex);
    if (const auto found = seen.find(name); found != seen.end()) {
        return found->second;
    }
    std::string key(name);
    // An empty value means the same as none: the default.
    const char* raw = std::getenv(key.c_str());
    auto value = raw && *raw ? std::optional<std::string>(raw) : std::nullopt;
    seen.emplace(std::move(key), value);
    return value;
}

std::string systemPath(std::string_view absolutePath) {
    std::string root = environmentValue("VORLA_ROOT").value_or("/");
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    if (root == "/") {
        return std::string(absolutePath);
    }
    return root + std::string(absolutePath);
}

} // namespace vorla::platform
