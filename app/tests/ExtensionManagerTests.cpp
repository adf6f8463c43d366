#include "app/ExtensionManager.hpp"
#include "app/ExtensionRules.hpp"
#include "app/tests/ScriptedService.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using vorla::app::ExtensionManager;
using vorla::app::ExtensionState;
using vorla::app::Observable;
using vorla::system_extensions::Error;
using vorla::system_extensions::Properties;
using vorla::system_extensions::ReplacementAction;
using vorla::system_extensions::Request;
using vorla::system_extensions::RequestResult;

namespace {

const std::string identifier = "com.vorla.client.extension";

// A manager bound to values of the test's own, as the extension pane binds it.
struct BoundManager {
    ScriptedService service;
    std::shared_ptr<ExtensionManager> manager = std::make_shared<ExtensionManager>(service);
    Observable<std::string> status{"untouched"};
    Observable<ExtensionState> state{ExtensionState::initial};

    explicit BoundManager(ExtensionState initial = ExtensionState::initial) {
        state.set(initial);
        manager->status = status.binding();
        manager->state = state.binding();
    }

    const Request& anyRequest() {
        manager->requestProperties();
        return *service.requests.back();
    }
};

} // namespace

TEST(ExtensionManager, SubmitsEachKindForTheExtensionWithItselfAsDelegate) {
    BoundManager bound(ExtensionState::on);
    bound.manager->requestProperties();
    bound.manager->activate(ExtensionState::off);
    bound.manager->deactivate();
    ASSERT_EQ(bound.service.kinds(),
              (std::vector{Request::Kind::properties, Request::Kind::activation,
                           Request::Kind::deactivation}));
    for (const auto& request : bound.service.requests) {
        EXPECT_EQ(request->identifier(), identifier);
        EXPECT_EQ(request->delegate(), bound.manager);
    }
}

TEST(ExtensionManager, ActivatesOnlyWhenSomethingIsKnownAndTheSwitchWasNotOnAlready) {
    struct Row {
        ExtensionState current;
        ExtensionState previous;
        bool submits;
    };
    const Row rows[] = {
        {ExtensionState::on, ExtensionState::off, true},
        {ExtensionState::on, ExtensionState::initial, true},
        {ExtensionState::on, ExtensionState::on, false},
        {ExtensionState::initial, ExtensionState::off, false},
    };
    for (const Row& row : rows) {
        BoundManager bound(row.current);
        bound.manager->activate(row.previous);
        EXPECT_EQ(bound.service.requests.size(), row.submits ? 1U : 0U);
        EXPECT_EQ(bound.status.get(), row.submits ? "untouched" : "");
    }
}

TEST(ExtensionManager, BeforeTheUiBindsItActivationSubmitsAndWritesNothing) {
    ScriptedService service;
    const auto manager = std::make_shared<ExtensionManager>(service);
    manager->activate(ExtensionState::off);
    EXPECT_TRUE(service.requests.empty());
    manager->requestProperties();
    manager->foundProperties(*service.requests.back(), {{identifier, true, false}});
    EXPECT_EQ(manager->state.get(), ExtensionState::initial);
    EXPECT_EQ(manager->actionForReplacingExtension(*service.requests.back(), {}, {}),
              ReplacementAction::replace);
}

TEST(ExtensionManager, AlwaysReplacesAnInstalledCopy) {
    BoundManager bound;
    const Properties older{identifier, true, false};
    EXPECT_EQ(bound.manager->actionForReplacingExtension(bound.anyRequest(), older, older),
              ReplacementAction::replace);
    EXPECT_EQ(bound.status.get(), "Extension is being replaced");
    EXPECT_EQ(bound.state.get(), ExtensionState::initial);
}

TEST(ExtensionManager, ApprovalNeededMovesTheStateToWaiting) {
    BoundManager bound(ExtensionState::on);
    bound.manager->requestNeedsUserApproval(bound.anyRequest());
    EXPECT_EQ(bound.state.get(), ExtensionState::waiting);
    EXPECT_EQ(bound.status.get(), "untouched");
}

TEST(ExtensionManager, FinishedRequestsWriteTheirStatusByResultAndState) {
    struct Row {
        long result;
        ExtensionState state;
        const char* status;
    };
    const Row rows[] = {
        {0, ExtensionState::on, "successfully loaded"},
        {0, ExtensionState::waiting, "successfully loaded"},
        {0, ExtensionState::off, "successfully unloaded"},
        {0, ExtensionState::silentOn, "successfully unloaded"},
        {0, ExtensionState::initial, "successfully unloaded"},
        {1, ExtensionState::on, "vorla will only load after a reboot"},
        {1, ExtensionState::off, "vorla will only load after a reboot"},
        {2, ExtensionState::on, "unknown result"},
        {-1, ExtensionState::off, "unknown result"},
    };
    for (const Row& row : rows) {
        BoundManager bound(row.state);
        bound.manager->didFinishWithResult(bound.anyRequest(),
                                           static_cast<RequestResult>(row.result));
        EXPECT_EQ(bound.status.get(), row.status) << "result " << row.result;
        EXPECT_EQ(bound.state.get(), row.state);
    }
}

TEST(ExtensionManager, FailuresShowTheErrorTableTextAndKeepTheState) {
    struct Row {
        Error error;
        const char* status;
        const char* commandLine;
    };
    const auto code = Error::systemExtensionError;
    const Row rows[] = {
        {code(1), "Unknown extension error", "Unknown extension error"},
        {code(2), "Missing entitlement", "Missing entitlement"},
        {code(3), "Move app to /Applications", "Move app to /Applications"},
        {code(4), "Vorla extension not found", "vorla extension not found"},
        {code(5), "Missing System Extension ID", "Missing System Extension ID"},
        {code(6), "Duplicate System Extension ID", "Duplicate System Extension ID"},
        {code(7), "Unknown System Extension category", "Unknown System Extension category"},
        {code(8), "Invalid System Extension signature", "Invalid System Extension signature"},
        {code(9), "Invalid System Extension", "Invalid System Extension"},
        {code(10), "Not allowed to load System Extension", "Not allowed to load System Extension"},
        {code(11), "Request cancelled", "Request cancelled"},
        {code(12), "Request already pending", "Request already pending"},
        {code(13), "Not authorized to perform action", "Not authorized to perform action"},
        {code(0), "Unknown error", "Unknown error"},
        {code(14), "Unknown error", "Unknown error"},
        {Error{"NSPOSIXErrorDomain", 4}, "Unknown error", "Unknown error"},
    };
    for (const Row& row : rows) {
        BoundManager bound(ExtensionState::on);
        bound.manager->didFailWithError(bound.anyRequest(), row.error);
        EXPECT_EQ(bound.status.get(), row.status) << row.error.domain << " " << row.error.code;
        EXPECT_EQ(vorla::app::commandLineMessageForError(row.error), row.commandLine);
        EXPECT_EQ(bound.state.get(), ExtensionState::on);
    }
}

TEST(ExtensionManager, PropertiesSetTheStateByTheFirstCountingRecord) {
    struct Row {
        const char* name;
        std::vector<Properties> properties;
        ExtensionState expected;
    };
    const Properties enabled{identifier, true, false};
    const Properties awaiting{identifier, false, true};
    const Properties neither{identifier, false, false};
    const Row rows[] = {
        {"empty list", {}, ExtensionState::silentOff},
        {"enabled", {enabled}, ExtensionState::silentOn},
        {"awaiting", {awaiting}, ExtensionState::waiting},
        {"enabled and awaiting", {{identifier, true, true}}, ExtensionState::waiting},
        {"neither is skipped", {neither}, ExtensionState::silentOff},
        {"skipped, then awaiting", {neither, awaiting}, ExtensionState::waiting},
        {"first match decides", {enabled, awaiting}, ExtensionState::silentOn},
        {"first match decides too", {awaiting, enabled}, ExtensionState::waiting},
        {"letter case differs",
         {{"com.vorla.client.Extension", true, false}},
         ExtensionState::silentOff},
        {"other extension",
         {{"com.other.extension", true, false}, awaiting},
         ExtensionState::waiting},
    };
    for (const Row& row : rows) {
        BoundManager bound(ExtensionState::initial);
        bound.manager->foundProperties(bound.anyRequest(), row.properties);
        EXPECT_EQ(bound.state.get(), row.expected) << row.name;
        EXPECT_EQ(bound.status.get(), "untouched") << row.name;
    }
}
