#include "app/ExtensionLoader.hpp"
#include "app/tests/ScriptedService.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using vorla::app::ExtensionLoader;
using vorla::app::State;
using vorla::system_extensions::Properties;
using vorla::system_extensions::Request;

namespace {

// A loader whose output and exit are recorded instead of ending the test.
struct RecordedLoader {
    ScriptedService service;
    std::ostringstream output;
    std::optional<int> exitStatus;
    std::shared_ptr<ExtensionLoader> loader = std::make_shared<ExtensionLoader>(
        service, output, [this](int status) { exitStatus = status; });

    explicit RecordedLoader(State command) {
        loader->state = command;
        loader->requestProperties();
    }

    const Request& request() const { return *service.requests.back(); }
};

const std::string identifier = "com.vorla.client.extension";

} // namespace

TEST(ExtensionLoader, CommandWordsMatchExactly) {
    EXPECT_EQ(vorla::app::stateFromRawValue("init"), State::initial);
    EXPECT_EQ(vorla::app::stateFromRawValue("load"), State::on);
    EXPECT_EQ(vorla::app::stateFromRawValue("unload"), State::off);
    for (const char* word : {"Load", "HELP", "help", "", "load ", "initial", "on"}) {
        EXPECT_EQ(vorla::app::stateFromRawValue(word), std::nullopt) << word;
    }
}

TEST(ExtensionLoader, PropertiesAnswerDecidesByMatchAndCommand) {
    struct Row {
        State command;
        std::vector<Properties> properties;
        const char* output;
        std::optional<int> exitStatus;
        std::optional<Request::Kind> followUp;
    };
    const Properties enabled{identifier, true, false};
    const Properties awaiting{identifier, false, true};
    const Properties neither{identifier, false, false};
    const auto activation = Request::Kind::activation;
    const auto deactivation = Request::Kind::deactivation;
    const Row rows[] = {
        {State::on, {awaiting}, "vorla is waiting for user approval\n", 0, std::nullopt},
        {State::on, {enabled}, "vorla is already loaded\n", 0, std::nullopt},
        {State::on, {neither}, "", std::nullopt, activation},
        {State::on, {}, "", std::nullopt, activation},
        {State::off, {enabled}, "", std::nullopt, deactivation},
        {State::off, {awaiting}, "", std::nullopt, deactivation},
        {State::off, {neither}, "vorla is already unloaded\n", 0, std::nullopt},
        {State::off,
         {{"COM.VORLA.CLIENT.EXTENSION", true, false}},
         "vorla is already unloaded\n",
         0,
         std::nullopt},
        {State::initial, {enabled}, "", std::nullopt, std::nullopt},
        {State::initial, {}, "", std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        RecordedLoader recorded(row.command);
        recorded.loader->foundProperties(recorded.request(), row.properties);
        const auto trace = ::testing::Message() << vorla::app::caseName(row.command) << " with "
                                                << row.properties.size() << " records";
        EXPECT_EQ(recorded.output.str(), row.output) << trace;
        EXPECT_EQ(recorded.exitStatus, row.exitStatus) << trace;
        ASSERT_EQ(recorded.service.requests.size(), row.followUp ? 2U : 1U) << trace;
        if (row.followUp) {
            EXPECT_EQ(recorded.request().kind(), *row.followUp) << trace;
            EXPECT_EQ(recorded.request().identifier(), identifier);
        }
    }
}

TEST(ExtensionLoader, ApprovalAndReplacementKeepTheProcessRunning) {
    RecordedLoader recorded(State::on);
    EXPECT_EQ(recorded.loader->actionForReplacingExtension(recorded.request(), {}, {}),
              vorla::system_extensions::ReplacementAction::replace);
    recorded.loader->requestNeedsUserApproval(recorded.request());
    EXPECT_EQ(recorded.output.str(),
              "Allow loading vorla in System Settings > Privacy & Security\n");
    EXPECT_EQ(recorded.exitStatus, std::nullopt);
}

TEST(ExtensionLoader, AnUnwritableOutputEndsWithStatusOne) {
    const auto finish = [](ExtensionLoader& loader, const Request& request) {
        loader.didFinishWithResult(request, vorla::system_extensions::RequestResult::completed);
    };
    const auto approval = [](ExtensionLoader& loader, const Request& request) {
        loader.requestNeedsUserApproval(request);
    };
    for (const auto& answer : {std::function(finish), std::function(approval)}) {
        RecordedLoader recorded(State::on);
        recorded.output.setstate(std::ios::badbit);
        answer(*recorded.loader, recorded.request());
        EXPECT_EQ(recorded.exitStatus, EXIT_FAILURE);
    }
}

// An interrupted command says so, and an approval it leaves pending is named with its cure; a
// finished answer before the signal leaves nothing pending.
TEST(ExtensionLoader, AnInterruptionNamesTheCommandAndAPendingApproval) {
    const std::string pending = " while it waited for user approval; the request stays pending, "
                                "and every \"vorla load\" says so, until \"vorla unload\" "
                                "withdraws it";
    struct Row {
        State command;
        bool approvalAsked;
        int signal;
        std::string message;
    };
    const Row rows[] = {
        {State::initial, false, SIGTERM, "vorla: init was interrupted (Terminated)"},
        {State::off, false, SIGINT, "vorla: unload was interrupted (Interrupt)"},
        {State::on, false, SIGINT, "vorla: load was interrupted (Interrupt)"},
        {State::on, true, SIGINT, "vorla: load was interrupted (Interrupt)" + pending},
    };
    for (const Row& row : rows) {
        RecordedLoader recorded(row.command);
        if (row.approvalAsked) {
            recorded.loader->requestNeedsUserApproval(recorded.request());
        }
        EXPECT_EQ(recorded.loader->interruptionMessage(row.signal), row.message);
    }
}
