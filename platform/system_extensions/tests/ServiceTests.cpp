#include "platform/foundation/tests/TemporaryFolder.hpp"
#include "platform/system_extensions/ExtensionProcess.hpp"
#include "platform/system_extensions/Service.hpp"
#include "platform/system_extensions/tests/FolderSyncFailure.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace vorla::system_extensions;
using vorla::testing::TemporaryFolder;

namespace {

const std::string identifier = "com.vorla.client.extension";
// Says it has started, as the extension does once subscribed, and runs until stopped.
const std::string sleeper = "#!/bin/bash\nprintf . >&$VORLA_SYSEXT_READY_FD\nexec sleep 600\n";
const std::string stubborn =
    "#!/bin/bash\ntrap '' TERM\nprintf . >&$VORLA_SYSEXT_READY_FD\nexec sleep 600\n";

// Writes down every answer as one line, in arrival order.
class RecordingDelegate : public RequestDelegate {
public:
    ReplacementAction answer = ReplacementAction::replace;

    ReplacementAction actionForReplacingExtension(const Request&, const Properties& existing,
                                                  const Properties& replacement) override {
        record("replace " + describe(existing) + " with " + describe(replacement));
        return answer;
    }
    void requestNeedsUserApproval(const Request&) override { record("approval"); }
    void didFinishWithResult(const Request&, RequestResult result) override {
        record("finished " + std::to_string(static_cast<long>(result)));
    }
    void didFailWithError(const Request&, const Error& error) override {
        record("failed " + error.domain + " " + std::to_string(error.code));
    }
    void foundProperties(const Request&, const std::vector<Properties>& properties) override {
        std::string line = "properties";
        for (const Properties& record : properties) {
            line += " " + describe(record);
        }
        record(line);
    }

    // Waits until `count` answers have arrived and returns them.
    std::vector<std::string> waitForAnswers(std::size_t count) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, vorla::bounded::waitLimit,
                               [&] { return answers_.size() >= count; })) {
            vorla::bounded::gaveUp(std::to_string(count) + " answers, of which " +
                                   std::to_string(answers_.size()) + " arrived");
        }
        return answers_;
    }

private:
    static std::string describe(const Properties& record) {
        return record.bundleIdentifier + (record.isEnabled ? "+enabled" : "") +
               (record.isAwaitingUserApproval ? "+awaiting" : "");
    }
    void record(std::string line) {
        const std::lock_guard lock(mutex_);
        answers_.push_back(std::move(line));
        arrived_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> answers_;
};

// A child that sleeps, as another user when one is given; it has that user when this returns.
pid_t forkSleeper(std::optional<uid_t> user) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (user && (::setgid(*user) != 0 || ::setuid(*user) != 0)) {
            ::_exit(127);
        }
        (void)!::write(ends[1], "x", 1);
        ::execl("/bin/sleep", "sleep", "600", nullptr);
        ::_exit(127);
    }
    char byte = 0;
    ::close(ends[1]);
    (void)!::read(ends[0], &byte, 1);
    ::close(ends[0]);
    return child;
}

bool isAlive(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
        return false;
    }
    return ::kill(pid, 0) == 0;
}

ServiceSettings settingsIn(const TemporaryFolder& folder) {
    ServiceSettings settings;
    settings.registryPath = folder.path("SystemExtensions/registry.json");
    settings.extensionProgram = folder.path("com.vorla.client.extension");
    return settings;
}

class ServiceTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    ServiceSettings settings = settingsIn(folder);
    Registry registry{settings.registryPath};
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();

    // Every program the service started is a child of this test, recorded or not (a test may
    // end while one is being replaced): none may outlive the test.
    void TearDown() override {
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            const pid_t pid = static_cast<pid_t>(std::stol(name));
            std::string text;
            try {
                std::ifstream file("/proc/" + name + "/stat");
                text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            } catch (const std::ios_base::failure&) {
                // The process was reaped between the listing and the read: nothing to stop.
                continue;
            }
            const auto nameEnd = text.rfind(')');
            if (nameEnd == std::string::npos) {
                continue;
            }
            std::istringstream fields(text.substr(nameEnd + 1));
            char state = 0;
            pid_t parent = 0;
            fields >> state >> parent;
            if (parent == ::getpid()) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
    }

    void installProgram(const std::string& script) {
        folder.write("com.vorla.client.extension", script, std::filesystem::perms(0755));
    }

    // Submits requests of these kinds one after another and waits for `answers` answers.
    std::vector<std::string> run(Service& service, std::vector<Request::Kind> kinds,
                                 std::size_t answers) {
        const vorla::dispatch::Queue queue("test.delegate");
        for (const Request::Kind kind : kinds) {
            auto request = kind == Request::Kind::properties
                               ? Request::propertiesRequest(identifier, queue)
                           : kind == Request::Kind::activation
                               ? Request::activationRequest(identifier, queue)
                               : Request::deactivationRequest(identifier, queue);
            request->setDelegate(delegate);
            service.submitRequest(std::move(request));
        }
        return delegate->waitForAnswers(answers);
    }

    std::optional<ProcessIdentity> recorded() {
        const auto records = registry.load();
        return records.size() == 1 ? records[0].process : std::nullopt;
    }
    pid_t recordedPid() { return recorded() ? recorded()->pid : 0; }
};

using Kind = Request::Kind;
const std::string finished = "finished 0";
const std::string domain = std::string(errorDomain);

} // namespace

TEST_F(ServiceTest, PropertiesListTheRegistryInFileOrder) {
    registry.save({{{"b.other", false, true}, std::nullopt},
                   {{identifier, false, true}, std::nullopt},
                   {{identifier, false, false}, std::nullopt}});
    Service service(settings);
    EXPECT_EQ(run(service, {Kind::properties}, 1),
              (std::vector<std::string>{"properties b.other+awaiting " + identifier + "+awaiting " +
                                        identifier}));
}

TEST_F(ServiceTest, ActivationStartsTheProgramAndDeactivationStopsIt) {
    installProgram(sleeper);
    Service service(settings);
    EXPECT_EQ(run(service, {Kind::activation, Kind::properties}, 2),
              (std::vector<std::string>{finished, "properties " + identifier + "+enabled"}));
    const pid_t pid = recordedPid();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(runningProcess(pid), recorded());

    EXPECT_EQ(run(service, {Kind::deactivation}, 3).back(), finished);
    EXPECT_FALSE(isAlive(pid));
    EXPECT_TRUE(registry.load().empty());
}

TEST_F(ServiceTest, ReactivationAsksAndReplacesTheRunningCopy) {
    installProgram(sleeper);
    Service service(settings);
    run(service, {Kind::activation}, 1);
    const pid_t first = recordedPid();

    const auto answers = run(service, {Kind::activation}, 3);
    EXPECT_EQ(answers[1], "replace " + identifier + "+enabled with " + identifier + "+enabled");
    EXPECT_EQ(answers[2], finished);
    const pid_t second = recordedPid();
    EXPECT_NE(second, first);
    EXPECT_FALSE(isAlive(first));
    EXPECT_TRUE(isAlive(second));
}

TEST_F(ServiceTest, ADeclinedReplacementFailsAndKeepsTheRunningCopy) {
    installProgram(sleeper);
    Service service(settings);
    run(service, {Kind::activation}, 1);
    const pid_t pid = recordedPid();
    delegate->answer = ReplacementAction::cancel;
    EXPECT_EQ(run(service, {Kind::activation}, 3).back(), "failed " + domain + " 11");
    EXPECT_EQ(recordedPid(), pid);
    EXPECT_TRUE(isAlive(pid));
}

TEST_F(ServiceTest, ApprovalRequiredLeavesTheActivationPending) {
    installProgram(sleeper);
    settings.approvalRequired = true;
    Service service(settings);
    // The properties answer comes after everything the activation had to say.
    EXPECT_EQ(run(service, {Kind::activation, Kind::properties}, 2),
              (std::vector<std::string>{"approval", "properties " + identifier + "+awaiting"}));
    EXPECT_EQ(recordedPid(), 0);
}

TEST_F(ServiceTest, AConfiguredFailureFailsEveryRequestAndChangesNothing) {
    installProgram(sleeper);
    registry.save({{{identifier, true, false}, std::nullopt}});
    const std::string before = folder.read("SystemExtensions/registry.json");
    settings.failureCode = 12;
    Service service(settings);
    const std::string failed = "failed " + domain + " 12";
    EXPECT_EQ(run(service, {Kind::properties, Kind::activation, Kind::deactivation}, 3),
              (std::vector<std::string>{failed, failed, failed}));
    EXPECT_EQ(folder.read("SystemExtensions/registry.json"), before);
}

TEST_F(ServiceTest, FinishedRequestsReportTheConfiguredResult) {
    installProgram(sleeper);
    for (const long result : {1L, 7L}) {
        settings.result = static_cast<RequestResult>(result);
        Service service(settings);
        delegate = std::make_shared<RecordingDelegate>();
        const std::string expected = "finished " + std::to_string(result);
        EXPECT_EQ(run(service, {Kind::activation, Kind::deactivation}, 2),
                  (std::vector<std::string>{expected, expected}));
    }
}

TEST_F(ServiceTest, AMissingProgramFailsAsNotFoundAndRecordsNothing) {
    Service service(settings);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run(service, {Kind::activation}, 1),
              (std::vector<std::string>{"failed " + domain + " 4"}));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(settings.extensionProgram),
              std::string::npos);
    EXPECT_TRUE(registry.load().empty());
}

TEST_F(ServiceTest, AnUnwritableRegistryFailsTheActivation) {
    installProgram(sleeper);
    folder.write("blocker", "");
    settings.registryPath = folder.path("blocker/registry.json");
    Service service(settings);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run(service, {Kind::activation}, 1),
              (std::vector<std::string>{"failed " + domain + " 1"}));
    // The first failure is named: the folder that cannot be made, and why.
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(folder.path("blocker") +
                                                            "\": Not a directory"),
              std::string::npos);
}

TEST_F(ServiceTest, AnExtensionThatIgnoresTheStopIsKilledAfterTheGracePeriod) {
    installProgram(stubborn);
    settings.stopGracePeriod = 200ms;
    Service service(settings);
    run(service, {Kind::activation}, 1);
    const pid_t pid = recordedPid();
    std::this_thread::sleep_for(100ms); // let the script install its trap before it is stopped
    EXPECT_EQ(run(service, {Kind::deactivation}, 2).back(), finished);
    EXPECT_FALSE(isAlive(pid));
}

// A record counts only when its process id, start time and user all match a live process of
// the user the service runs as; any other process that has the id now is never signalled.
TEST_F(ServiceTest, ARecordCountsOnlyForItsOwnLiveProcess) {
    installProgram(sleeper);
    const pid_t mine = forkSleeper(std::nullopt);
    const pid_t others = forkSleeper(65534);
    const pid_t ended = ::fork();
    if (ended == 0) {
        ::_exit(0);
    }
    ::waitpid(ended, nullptr, 0);
    const ProcessIdentity ours = *runningProcess(mine);
    struct Row {
        const char* name;
        std::optional<ProcessIdentity> process;
    };
    const std::vector<Row> rows{
        {"an ended process", ProcessIdentity{ended, ours.startTime, ::getuid()}},
        {"a start time one tick off", ProcessIdentity{mine, ours.startTime + 1, ours.uid}},
        {"another user", ProcessIdentity{mine, ours.startTime, 65534}},
        {"another user's process as it is", runningProcess(others)},
        {"no process", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        registry.save({{{identifier, true, false}, row.process}});
        Service service(settings);
        delegate = std::make_shared<RecordingDelegate>();
        EXPECT_EQ(run(service, {Kind::properties, Kind::deactivation}, 2),
                  (std::vector<std::string>{"properties", finished}));
        EXPECT_TRUE(registry.load().empty());

        registry.save({{{identifier, true, false}, row.process}});
        EXPECT_EQ(run(service, {Kind::activation}, 3).back(), finished);
        const pid_t started = recordedPid();
        EXPECT_TRUE(isAlive(started));
        EXPECT_NE(started, mine);
        run(service, {Kind::deactivation}, 4);
        EXPECT_TRUE(isAlive(mine));
        EXPECT_TRUE(isAlive(others));
    }
}

// An activation finishes only once the extension says its start-up is done; one that ends
// first fails it with how it ended, and the registry no longer holds it.
TEST_F(ServiceTest, AnExtensionThatEndsDuringItsStartUpFailsTheActivation) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {"#!/bin/bash\nexit 4\n", "with exit status 4; the reason is in the system log"},
        {"#!/bin/bash\nkill -9 $$\n", "with signal 9"},
        // Its end of the pipe closed without the byte: only its end tells.
        {"#!/bin/bash\nexec 3>&-\nsleep 0.1\nexit 6\n", "with exit status 6"},
        // Started children keep the pipe open, yet the end of the extension is what counts.
        {"#!/bin/bash\nsleep 600 &\nexit 5\n", "with exit status 5"},
    };
    for (const auto& [script, ending] : rows) {
        SCOPED_TRACE(script);
        installProgram(script);
        Service service(settings);
        delegate = std::make_shared<RecordingDelegate>();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(run(service, {Kind::activation, Kind::properties}, 2),
                  (std::vector<std::string>{"failed " + domain + " 1", "properties"}));
        const std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find(settings.extensionProgram + " ended during its start-up " + ending),
                  std::string::npos)
            << message;
        EXPECT_TRUE(registry.load().empty());
    }
}

TEST_F(ServiceTest, ARegistryNotOnStorageFailsTheActivationAndStopsWhatItStarted) {
    installProgram(sleeper);
    settings.fileManager = std::make_shared<vorla::testing::FolderSyncFailure>();
    Service service(settings);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run(service, {Kind::activation}, 1),
              (std::vector<std::string>{"failed " + domain + " 1"}));
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("could not synchronize"), std::string::npos) << message;
    const auto started = recorded();
    ASSERT_TRUE(started);
    EXPECT_FALSE(isRunning(*started));
}

// Another holder of the lock delays a request by the longest wait at most; then the request
// fails saying the registry is busy, and it changes nothing.
TEST_F(ServiceTest, ARequestWaitsForTheLockWithinItsBoundThenFailsAsBusy) {
    installProgram(sleeper);
    settings.lockWait = 100ms;
    const std::string lock = settings.registryPath + ".lock";
    folder.write("SystemExtensions/registry.json.lock", "");
    const vorla::foundation::Descriptor holder(::open(lock.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
    Service service(settings);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run(service, {Kind::activation, Kind::deactivation, Kind::properties}, 3),
              (std::vector<std::string>(3, "failed " + domain + " 1")));
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("registry is busy: another request has held " + lock + " for 100 ms"),
              std::string::npos)
        << message;
    EXPECT_FALSE(std::filesystem::exists(settings.registryPath));
}

// The lock and the registry are made with their modes whatever the umask; a lock that an older
// run left readable to others is narrowed, as any open descriptor could hold it.
TEST_F(ServiceTest, TheRegistryFolderAndLockGetTheirModesWhateverTheUmask) {
    installProgram(sleeper);
    for (const mode_t mask : {0000, 0077, 0777}) {
        SCOPED_TRACE(mask);
        std::filesystem::remove_all(folder.path("Library"));
        settings.registryPath = folder.path("Library/SystemExtensions/registry.json");
        registry = Registry(settings.registryPath);
        const mode_t before = ::umask(mask);
        Service service(settings);
        delegate = std::make_shared<RecordingDelegate>();
        EXPECT_EQ(run(service, {Kind::activation, Kind::deactivation}, 2),
                  (std::vector<std::string>{finished, finished}));
        ::umask(before);
        const auto mode = [&](const std::string& name) {
            return static_cast<int>(std::filesystem::status(folder.path(name)).permissions());
        };
        EXPECT_EQ(mode("Library"), 0755);
        EXPECT_EQ(mode("Library/SystemExtensions"), 0755);
        EXPECT_EQ(mode("Library/SystemExtensions/registry.json.lock"), 0600);
        EXPECT_EQ(mode("Library/SystemExtensions/registry.json"), 0644);
    }
    ::chmod(folder.path("Library/SystemExtensions/registry.json.lock").c_str(), 0644);
    Service service(settings);
    run(service, {Kind::properties}, 3);
    EXPECT_EQ(std::filesystem::status(settings.registryPath + ".lock").permissions(),
              std::filesystem::perms(0600));
}

// A caller that activates what its properties answer found missing, as the loader does.
class LoadingDelegate : public RecordingDelegate {
public:
    LoadingDelegate(Service& service, vorla::dispatch::Queue queue)
        : service_(service), queue_(std::move(queue)) {}

    void foundProperties(const Request& request, const std::vector<Properties>& found) override {
        RecordingDelegate::foundProperties(request, found);
        if (found.empty()) {
            auto activation = Request::activationRequest(identifier, queue_);
            activation->setDelegate(self.lock());
            service_.submitRequest(std::move(activation));
        }
    }
    std::weak_ptr<LoadingDelegate> self;

private:
    Service& service_;
    vorla::dispatch::Queue queue_;
};

TEST_F(ServiceTest, RacingLoadsOfTwoServicesStartOneExtension) {
    installProgram(sleeper);
    for (int round = 0; round < 5; ++round) {
        // Two services over one registry lock like two processes: flock locks of separate
        // opens exclude each other even inside one process.
        Service first(settings);
        Service second(settings);
        std::vector<std::shared_ptr<LoadingDelegate>> loaders;
        for (Service* service : {&first, &second}) {
            const vorla::dispatch::Queue queue("test.loader");
            auto loader = std::make_shared<LoadingDelegate>(*service, queue);
            loader->self = loader;
            auto request = Request::propertiesRequest(identifier, queue);
            request->setDelegate(loader);
            service->submitRequest(std::move(request));
            loaders.push_back(loader);
        }
        const auto one = loaders[0]->waitForAnswers(1);
        const auto other = loaders[1]->waitForAnswers(1);
        const bool firstLoaded = one.front() == "properties";
        EXPECT_NE(firstLoaded, other.front() == "properties")
            << ::testing::PrintToString(one) << ::testing::PrintToString(other);
        EXPECT_EQ(loaders[firstLoaded ? 0 : 1]->waitForAnswers(2).back(), finished);
        const pid_t pid = recordedPid();
        EXPECT_TRUE(isAlive(pid));
        delegate = std::make_shared<RecordingDelegate>();
        EXPECT_EQ(run(first, {Kind::deactivation}, 1).back(), finished);
        EXPECT_FALSE(isAlive(pid));
    }
}

// Anything in the registry's place that root (or the user the service runs as) did not make
// as it makes it fails every request with an error naming it: never followed, never waited for
// (a FIFO), never believed (another user's record of a live process).
TEST_F(ServiceTest, WhatIsNotOursInTheRegistryFolderFailsEveryRequest) {
    installProgram(sleeper);
    const std::string lock = settings.registryPath + ".lock";
    const std::string records = settings.registryPath;
    const std::string registryFolder = folder.path("SystemExtensions");
    const std::string target = folder.path("target");
    const pid_t mine = forkSleeper(std::nullopt);
    const std::string enabled =
        "[{\"bundleIdentifier\": \"" + identifier +
        "\", \"isEnabled\": true, \"pid\": " + std::to_string(mine) +
        ", \"startTime\": " + std::to_string(runningProcess(mine)->startTime) + ", \"uid\": 0}]";
    const auto othersFile = [&](const std::string& path, const std::string& text) {
        folder.write(path.substr(folder.path().size() + 1), text);
        (void)!::chown(path.c_str(), 65534, 65534);
    };
    struct Row {
        const char* name;
        std::function<void()> plant;
        std::string named;
    };
    const std::vector<Row> rows{
        {"lock: link", [&] { std::filesystem::create_symlink(target, lock); }, lock},
        {"lock: folder", [&] { std::filesystem::create_directory(lock); }, lock},
        {"lock: FIFO", [&] { ::mkfifo(lock.c_str(), 0600); }, lock},
        {"lock: another user's", [&] { othersFile(lock, ""); }, lock + " is owned by user 65534"},
        {"registry: FIFO", [&] { ::mkfifo(records.c_str(), 0644); }, records},
        {"registry: link to a record",
         [&] {
             folder.write("target", enabled);
             std::filesystem::create_symlink(target, records);
         },
         records},
        {"registry: another user's record", [&] { othersFile(records, enabled); },
         records + " is owned by user 65534"},
        {"registry: writable by others",
         [&] {
             folder.write("SystemExtensions/registry.json", enabled, std::filesystem::perms(0666));
         },
         records + " is writable by group or others"},
        {"folder: writable by others", [&] { ::chmod(registryFolder.c_str(), 0777); },
         registryFolder + " is writable by group or others"},
        {"folder: another user's", [&] { (void)!::chown(registryFolder.c_str(), 65534, 65534); },
         registryFolder + " is owned by user 65534"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(registryFolder);
        std::filesystem::remove_all(target);
        std::filesystem::create_directory(registryFolder);
        row.plant();
        Service service(settings);
        delegate = std::make_shared<RecordingDelegate>();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(run(service, {Kind::activation, Kind::deactivation, Kind::properties}, 3),
                  (std::vector<std::string>(3, "failed " + domain + " 1")));
        const std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find(row.named), std::string::npos) << message;
        EXPECT_TRUE(isAlive(mine));
        if (std::string_view(row.name) == "lock: link") {
            EXPECT_FALSE(std::filesystem::exists(target));
        }
    }
}

// The realistic attack on a process id: once the extension has ended, another user forks until
// a process of theirs gets its id and runs under the extension's name. The registry must
// neither claim the extension runs nor signal that process.
TEST_F(ServiceTest, AnotherUsersProcessThatTakesOverTheRecordedIdNeverCounts) {
    installProgram(sleeper);
    Service service(settings);
    run(service, {Kind::activation}, 1);
    const pid_t pid = recordedPid();
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);

    const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                std::string(VORLA_REUSE_PID) + " " + std::to_string(pid) +
                                " 60 /bin/sleep " + settings.extensionProgram + " 600 2>&1";
    FILE* helper = ::popen(command.c_str(), "r");
    ASSERT_NE(helper, nullptr);
    std::string said;
    for (char buffer[256]; std::fgets(buffer, sizeof buffer, helper) != nullptr;) {
        said += buffer;
    }
    const int status = ::pclose(helper);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << said;
    }
    ASSERT_EQ(status, 0) << said;
    const auto impostor = runningProcess(pid);
    ASSERT_TRUE(impostor);
    EXPECT_EQ(impostor->uid, 65534U);

    EXPECT_EQ(run(service, {Kind::properties, Kind::activation}, 3),
              (std::vector<std::string>{finished, "properties", finished}));
    EXPECT_NE(recordedPid(), pid);
    EXPECT_EQ(run(service, {Kind::deactivation}, 4).back(), finished);
    EXPECT_EQ(runningProcess(pid), impostor);
    ::kill(pid, SIGKILL);
}
