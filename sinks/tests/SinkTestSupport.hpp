#pragma once

#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/tests/TemporaryFolder.hpp"
#include "platform/foundation/tests/TextShape.hpp"
#include "sinks/SinkReporter.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace vorla::testing {

inline std::string readFile(const std::string& path) {
    return foundation::FileManager::defaultManager()->contentsOfFile(path);
}

// A file manager that fails the operations a test picks; each hook sees the path of the
// operation's item (for a move, the destination; for a listing or a folder's fsync, the folder;
// for a write, fsync or close, the handle's file) and returns true to fail it, as the disk
// would (EIO). It also counts what reaches storage: every fsync and close of a handle, in order.
class FailingFileManager : public foundation::FileManager {
public:
    using Hook = std::function<bool(const std::string& path)>;
    using Folder = foundation::Folder;

    Hook failMove, failRemove, failCreate, failOpen, failAttributes, failList;
    Hook failWrite, failSync, failClose, failFolderSync, failTruncate, failExchange;
    // Seen before a finished new file takes its name.
    Hook failName;
    // "sync" and "close", one entry per call (compression adds its own from its thread).
    mutable std::vector<std::string> handleCalls;

    void moveItem(const Folder& folder, std::string_view from, std::string_view to) const override {
        check(failMove, folder.pathOf(to), EACCES);
        FileManager::moveItem(folder, from, to);
    }
    void removeItem(std::string_view path) const override {
        check(failRemove, std::string(path), EACCES);
        FileManager::removeItem(path);
    }
    void removeFile(const Folder& folder, std::string_view name) const override {
        check(failRemove, folder.pathOf(name), EACCES);
        FileManager::removeFile(folder, name);
    }
    foundation::FileAttributes attributesOfItem(const Folder& folder,
                                                std::string_view name) const override {
        check(failAttributes, folder.pathOf(name), EIO);
        return FileManager::attributesOfItem(folder, name);
    }
    std::vector<foundation::DirectoryEntry>
    contentsOfDirectory(const Folder& folder, const EntryFilter& keep) const override {
        check(failList, folder.path(), EIO);
        return FileManager::contentsOfDirectory(folder, keep);
    }
    void append(foundation::FileHandle& handle, std::string_view bytes) const override {
        check(failWrite, handle.path(), EIO);
        FileManager::append(handle, bytes);
    }
    void write(foundation::FileHandle& handle, std::string_view bytes) const override {
        check(failWrite, handle.path(), EIO);
        FileManager::write(handle, bytes);
    }
    void truncate(foundation::FileHandle& handle, std::uint64_t length) const override {
        check(failTruncate, handle.path(), EIO);
        FileManager::truncate(handle, length);
    }
    void giveName(const Folder& folder, foundation::NewFile& file, std::string_view name,
                  bool replaceExisting) const override {
        check(failName, folder.pathOf(name), EACCES);
        FileManager::giveName(folder, file, name, replaceExisting);
    }
    void exchange(const Folder& folder, std::string_view first,
                  std::string_view second) const override {
        check(failExchange, folder.pathOf(second), EINVAL);
        FileManager::exchange(folder, first, second);
    }
    void synchronize(foundation::FileHandle& handle) const override {
        record("sync");
        check(failSync, handle.path(), EIO);
        FileManager::synchronize(handle);
    }
    void close(foundation::FileHandle& handle) const override {
        record("close");
        FileManager::close(handle);
        check(failClose, handle.path(), EIO);
    }
    void synchronize(const Folder& folder) const override {
        check(failFolderSync, folder.path(), EIO);
        FileManager::synchronize(folder);
    }
    foundation::NewFile createTemporaryFile(const Folder& folder, std::string_view name,
                                            std::uint16_t bits) const override {
        check(failCreate, folder.pathOf(name), EACCES);
        return FileManager::createTemporaryFile(folder, name, bits);
    }
    foundation::FileHandle openForWriting(const Folder& folder,
                                          std::string_view name) const override {
        check(failOpen, folder.pathOf(name), EIO);
        return FileManager::openForWriting(folder, name);
    }

private:
    void record(const char* call) const {
        const std::lock_guard lock(callsMutex_);
        handleCalls.push_back(call);
    }
    static void check(const Hook& hook, const std::string& path, int code) {
        if (hook && hook(path)) {
            throw foundation::FoundationError("injected failure \"" + path + "\"", code);
        }
    }
    mutable std::mutex callsMutex_;
};

// Gives the regular file at the path the modification date, as an older run would have left it.
inline void setModificationDate(const std::string& path, foundation::Date date) {
    foundation::FileHandle::forWritingTo(foundation::URL::fileURL(path, false))
        .setModificationDate(date);
}

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

// A hook that fails only the `nth` call (counting from 1) whose path ends with `suffix`.
inline FailingFileManager::Hook failCall(std::string suffix, int nth) {
    auto seen = std::make_shared<int>(0);
    auto mutex = std::make_shared<std::mutex>();
    return [suffix = std::move(suffix), seen, mutex, nth](const std::string& path) {
        const std::lock_guard lock(*mutex);
        return path.ends_with(suffix) && ++*seen == nth;
    };
}

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
