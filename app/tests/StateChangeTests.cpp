#include "app/StateChange.hpp"
#include "app/tests/ScriptedService.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using vorla::app::ExtensionManager;
using vorla::app::ExtensionState;
using vorla::app::Observable;
using vorla::system_extensions::Properties;
using vorla::system_extensions::Request;

namespace {

// The extension pane's two values, with the change handler attached as the pane attaches it.
struct Pane {
    ScriptedService service;
    std::shared_ptr<ExtensionManager> manager = std::make_shared<ExtensionManager>(service);
    Observable<std::string> status{"untouched"};
    Observable<ExtensionState> state{ExtensionState::initial};
    int statusWrites = 0;

    Pane() {
        manager->status = status.binding();
        manager->state = state.binding();
        status.onChange([this](const std::string&, const std::string&) { ++statusWrites; });
        state.onChange([this](ExtensionState newValue, ExtensionState previous) {
            vorla::app::handleStateChange(newValue, previous, status.binding(), *manager);
        });
    }

    void answerProperties(std::vector<Properties> properties) {
        manager->requestProperties();
        manager->foundProperties(*service.requests.back(), properties);
    }
};

const Properties enabled{"com.vorla.client.extension", true, false};

} // namespace

TEST(HandleStateChange, MakesTheRequestAndWritesTheStatusOfEachRow) {
    using enum ExtensionState;
    struct Row {
        ExtensionState newValue;
        ExtensionState previous;
        std::optional<Request::Kind> request;
        const char* status;
    };
    const auto activation = Request::Kind::activation;
    const auto deactivation = Request::Kind::deactivation;
    const Row rows[] = {
        {initial, silentOn, std::nullopt, ""},
        {on, off, activation, "successfully loaded"},
        {on, waiting, activation, "successfully loaded"},
        {on, silentOff, activation, "successfully loaded"},
        {on, initial, activation, ""},
        {on, silentOn, activation, ""},
        {on, on, std::nullopt, ""},
        {off, on, deactivation, "Unloading started"},
        {off, waiting, deactivation, "Unloading started"},
        {off, silentOn, deactivation, "Unloading started"},
        {off, silentOff, deactivation, ""},
        {off, initial, deactivation, ""},
        {waiting, on, std::nullopt, "Waiting for user approval"},
        {waiting, initial, std::nullopt, "Waiting for user approval"},
        {silentOn, waiting, std::nullopt, "successfully loaded"},
        {silentOn, on, std::nullopt, ""},
        {silentOn, initial, std::nullopt, ""},
        {silentOff, off, std::nullopt, "successfully unloaded"},
        {silentOff, on, std::nullopt, ""},
        {silentOff, initial, std::nullopt, ""},
    };
    for (const Row& row : rows) {
        ScriptedService service;
        const auto manager = std::make_shared<ExtensionManager>(service);
        // The change has happened when the handler runs: the bound state holds the new value.
        Observable<ExtensionState> state(row.newValue);
        manager->state = state.binding();
        Observable<std::string> status("untouched");

        vorla::app::handleStateChange(row.newValue, row.previous, status.binding(), *manager);

        const auto trace = ::testing::Message() << static_cast<int>(row.newValue) << " after "
                                                << static_cast<int>(row.previous);
        EXPECT_EQ(status.get(), row.status) << trace;
        if (row.request) {
            ASSERT_EQ(service.requests.size(), 1U) << trace;
            EXPECT_EQ(service.requests[0]->kind(), *row.request) << trace;
        } else {
            EXPECT_TRUE(service.requests.empty()) << trace;
        }
    }
}

TEST(HandleStateChange, SwitchingOnFromUnloadedThroughApprovalToLoaded) {
    Pane pane;
    pane.answerProperties({});
    EXPECT_EQ(pane.state.get(), ExtensionState::silentOff);
    EXPECT_EQ(pane.status.get(), "");

    vorla::app::isLoaded(pane.state.binding()).set(true);
    EXPECT_EQ(pane.state.get(), ExtensionState::on);
    EXPECT_EQ(pane.service.requests.back()->kind(), Request::Kind::activation);
    EXPECT_EQ(pane.status.get(), "successfully loaded");

    pane.manager->requestNeedsUserApproval(*pane.service.requests.back());
    EXPECT_EQ(pane.status.get(), "Waiting for user approval");
    EXPECT_TRUE(vorla::app::isLoaded(pane.state.get()));

    pane.answerProperties({enabled});
    EXPECT_EQ(pane.state.get(), ExtensionState::silentOn);
    EXPECT_EQ(pane.status.get(), "successfully loaded");
}

TEST(HandleStateChange, PropertiesThatRepeatTheStateWriteNothing) {
    Pane pane;
    pane.answerProperties({enabled});
    const int writes = pane.statusWrites;
    const auto requests = pane.service.requests.size();
    pane.answerProperties({enabled});
    EXPECT_EQ(pane.statusWrites, writes);
    EXPECT_EQ(pane.service.requests.size(), requests + 1); // the properties request alone
}

TEST(IsLoaded, ReadsOnForActivatedStatesAndWritesOnlyOnOrOff) {
    using enum ExtensionState;
    const std::pair<ExtensionState, bool> reads[] = {{initial, false}, {on, true},
                                                     {off, false},     {waiting, true},
                                                     {silentOn, true}, {silentOff, false}};
    for (const auto& [state, loaded] : reads) {
        Observable<ExtensionState> value(state);
        EXPECT_EQ(vorla::app::isLoaded(value.binding()).get(), loaded) << static_cast<int>(state);
        vorla::app::isLoaded(value.binding()).set(!loaded);
        EXPECT_EQ(value.get(), loaded ? off : on);
    }
}
