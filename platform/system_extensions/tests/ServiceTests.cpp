#include "platform/foundation/tests/TemporaryFolder.hpp"
#include "platform/system_extensions/ExtensionProcess.hpp"
#include "platform/system_extensions/Service.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <functional>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace vorla::system_extensions;
using vorla::testing::TemporaryFolder;

namespace {

const std::string identifier = "com.vorla.client.extension";
const std::string sleeper = "#!/bin/bash\nexec -a \"$0\" sleep 600\n";
const std::string stubborn = "#!/bin/bash\ntrap '' TERM\nexec -a \"$0\" sleep 600\n";

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
            const std::string text = processFile(pid, "stat");
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

    // The recorded process, once its script has replaced itself with the sleeping program:
    // before that its command line names the shell, and the service would rightly refuse to
    // signal a process that is not the extension.
    pid_t recordedPid() {
        const auto records = registry.load();
        const pid_t pid = records.size() == 1 && records[0].pid ? *records[0].pid : 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (pid > 0 && !runsProgram(pid, settings.extensionProgram) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return pid;
    }
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
    EXPECT_TRUE(runsProgram(pid, settings.extensionProgram));

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
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("blocker/registry.json"),
              std::string::npos);
}

TEST_F(ServiceTest, AStaleProcessIdOfAnotherProgramIsNeverSignalled) {
    const pid_t unrelated =
        startExtensionProcess(folder.write("unrelated", sleeper, std::filesystem::perms(0755)));
    registry.save({{{identifier, true, false}, unrelated}});
    Service service(settings);
    EXPECT_EQ(run(service, {Kind::deactivation}, 1), (std::vector<std::string>{finished}));
    EXPECT_TRUE(isAlive(unrelated));
    EXPECT_TRUE(registry.load().empty());
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

TEST_F(ServiceTest, ARecordWhoseProcessEndedIsDroppedAndTheExtensionStartsAgain) {
    installProgram(sleeper);
    const pid_t unrelated =
        startExtensionProcess(folder.write("unrelated", sleeper, std::filesystem::perms(0755)));
    const pid_t ended = startExtensionProcess(settings.extensionProgram);
    ::kill(ended, SIGKILL);
    ::waitpid(ended, nullptr, 0);
    const std::vector<std::optional<pid_t>> stale{ended, unrelated, std::nullopt};
    for (const auto& pid : stale) {
        SCOPED_TRACE(pid.value_or(0));
        registry.save({{{identifier, true, false}, pid}});
        Service service(settings);
        delegate = std::make_shared<RecordingDelegate>();
        EXPECT_EQ(run(service, {Kind::properties, Kind::deactivation}, 2),
                  (std::vector<std::string>{"properties", finished}));
        EXPECT_TRUE(registry.load().empty());

        registry.save({{{identifier, true, false}, pid}});
        EXPECT_EQ(run(service, {Kind::activation}, 3).back(), finished);
        const pid_t started = recordedPid();
        EXPECT_NE(started, pid.value_or(0));
        EXPECT_TRUE(isAlive(started));
        run(service, {Kind::deactivation}, 4);
    }
    EXPECT_TRUE(isAlive(unrelated));
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

TEST_F(ServiceTest, ALockFileThatIsNoPlainFileFailsEveryRequestAndIsNeverFollowed) {
    installProgram(sleeper);
    const std::string lock = settings.registryPath + ".lock";
    const std::string target = folder.path("target");
    const std::vector<std::function<void()>> plants{
        [&] { std::filesystem::create_symlink(target, lock); },
        [&] { std::filesystem::create_directory(lock); },
        [&] { ::mkfifo(lock.c_str(), 0644); },
    };
    std::filesystem::create_directories(std::filesystem::path(lock).parent_path());
    for (std::size_t index = 0; index < plants.size(); ++index) {
        SCOPED_TRACE(index);
        std::filesystem::remove_all(lock);
        plants[index]();
        Service service(settings);
        delegate = std::make_shared<RecordingDelegate>();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(run(service, {Kind::activation, Kind::properties}, 2),
                  (std::vector<std::string>{"failed " + domain + " 1", "failed " + domain + " 1"}));
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(lock), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_TRUE(registry.load().empty());
    }
}
