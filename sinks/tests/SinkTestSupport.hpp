#pragma once

#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/tests/TemporaryFolder.hpp"
#include "platform/foundation/tests/TextShape.hpp"
#include "sinks/SinkReporter.hpp"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::testing {

inline std::string readFile(const std::string& path) {
    return foundation::FileManager::defaultManager()->contentsOfFile(path);
}

// A file manager that fails the operations a test picks; each hook sees the operation's path
// (for a move, the destination) and returns true to fail it. It also counts what reaches
// storage: every fsync and close of a handle, in order.
class FailingFileManager : public foundation::FileManager {
public:
    using Hook = std::function<bool(const std::string& path)>;

    Hook failMove, failRemove, failCreate, failOpen, failAttributes, failList;
    // "sync" and "close", one entry per call.
    mutable std::vector<std::string> handleCalls;

    void moveItem(const foundation::URL& from, const foundation::URL& to) const override {
        check(failMove, to.toPath(), EACCES);
        FileManager::moveItem(from, to);
    }
    void removeItem(std::string_view path) const override {
        check(failRemove, std::string(path), EACCES);
        FileManager::removeItem(path);
    }
    void removeFile(std::string_view path) const override {
        check(failRemove, std::string(path), EACCES);
        FileManager::removeFile(path);
    }
    foundation::FileAttributes attributesOfItem(std::string_view path) const override {
        check(failAttributes, std::string(path), EIO);
        return FileManager::attributesOfItem(path);
    }
    std::vector<std::string> contentsOfDirectory(std::string_view path) const override {
        check(failList, std::string(path), EIO);
        return FileManager::contentsOfDirectory(path);
    }
    void synchronize(foundation::FileHandle& handle) const override {
        handleCalls.push_back("sync");
        FileManager::synchronize(handle);
    }
    void close(foundation::FileHandle& handle) const override {
        handleCalls.push_back("close");
        FileManager::close(handle);
    }
    void createFile(std::string_view path, std::string_view contents,
                    std::optional<std::uint16_t> bits, bool replace) const override {
        check(failCreate, std::string(path), EACCES);
        FileManager::createFile(path, contents, bits, replace);
    }
    foundation::FileHandle openForWriting(const foundation::URL& url) const override {
        check(failOpen, url.toPath(), EIO);
        return FileManager::openForWriting(url);
    }

private:
    static void check(const Hook& hook, const std::string& path, int code) {
        if (hook && hook(path)) {
            throw foundation::FoundationError("injected failure \"" + path + "\"", code);
        }
    }
};

// Keeps what a sink reports, each message prefixed with "failure: " or "notice: ".
class RecordingReporter final : public SinkReporter {
public:
    void failure(std::string_view message) const override { record("failure: ", message); }
    void notice(std::string_view message) const override { record("notice: ", message); }
    std::vector<std::string> messages() const {
        const std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    void record(const char* kind, std::string_view message) const {
        const std::lock_guard lock(mutex_);
        messages_.push_back(kind + std::string(message));
    }
    mutable std::mutex mutex_;
    mutable std::vector<std::string> messages_;
};

// A hook that fails the first `count` calls whose path ends with `suffix`.
inline FailingFileManager::Hook failTimes(std::string suffix, int count) {
    auto remaining = std::make_shared<int>(count);
    auto mutex = std::make_shared<std::mutex>();
    return [suffix = std::move(suffix), remaining, mutex](const std::string& path) {
        const std::lock_guard lock(*mutex);
        if (path.ends_with(suffix) && *remaining > 0) {
            --*remaining;
            return true;
        }
        return false;
    };
}

} // namespace vorla::testing
