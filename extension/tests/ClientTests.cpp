#include "extension/client.hpp"
#include "extension/tests/ExtensionSandbox.hpp"
#include "platform/endpoint_security/Client.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vorla::extension {
namespace {

using sandbox::message;

const std::vector<es_event_type_t> accessTypes = {111, 118, 119, 120, 121, 122, 123, 116,
                                                  117, 114, 115, 22,  23,  17,  18};

TEST(SubscriptionListTest, FollowsTheEnabledFlagsAndTheSystemVersion) {
    auto withSuAndSudo = accessTypes;
    withSuAndSudo.insert(withSuAndSudo.end(), {128, 131});
    auto everything = withSuAndSudo;
    everything.insert(everything.begin(), 9);
    struct Row {
        bool audit, access, suAndSudoExist;
        std::vector<es_event_type_t> expected;
    };
    for (const Row& row :
         {Row{false, false, true, {}}, Row{true, false, true, {9}}, Row{true, false, false, {9}},
          Row{false, true, false, accessTypes}, Row{false, true, true, withSuAndSudo},
          Row{true, true, true, everything}}) {
        SCOPED_TRACE(::testing::Message() << row.audit << row.access << row.suAndSudoExist);
        const auto config = sandbox::defaultConfig();
        config->auditLogger->enabled = row.audit;
        config->accessLogger->enabled = row.access;
        EXPECT_EQ(subscriptionList(*config, row.suAndSudoExist), row.expected);
    }
}

TEST(DroppedMessageCountTest, CountsOnlySkippedSequenceNumbersOfRecentVersions) {
    struct Step {
        std::uint32_t version;
        std::uint64_t sequence;
        std::uint64_t dropped;
        std::uint64_t counter;
    };
    const std::vector<std::vector<Step>> runs = {
        // counter 10, then 14: three were skipped
        {{7, 10, 9, 10}, {7, 14, 3, 14}},
        // counter 10, then 11 or lower: nothing skipped, the counter moves on by one
        {{7, 10, 9, 10}, {7, 11, 0, 11}},
        {{7, 10, 9, 10}, {7, 3, 0, 11}},
        // version 3 carries no sequence number: never counted, counter left alone
        {{7, 2, 1, 2}, {3, 50, 0, 2}, {4, 3, 0, 3}},
        {{1, 1000, 0, 0}, {7, 1, 0, 1}},
    };
    for (const auto& run : runs) {
        DroppedMessageCount count;
        for (const Step& step : run) {
            SCOPED_TRACE(::testing::Message() << step.version << "/" << step.sequence);
            es_message_t message{};
            message.version = step.version;
            message.global_seq_num = step.sequence;
            EXPECT_EQ(count(message), step.dropped);
            EXPECT_EQ(count.counter(), step.counter);
        }
    }
}

TEST(NewClientFailureTest, NamesTheCodeAndItsReason) {
    const std::vector<std::pair<es_new_client_result_t, std::string>> rows = {
        {3, "extension is missing entitlement."},
        {4, "prompt is not approved on Security & Privacy pane."},
        {5, "extension is not running as root."},
        {1, "error occured: es_new_client_result_t(rawValue: 1)"},
        {77, "error occured: es_new_client_result_t(rawValue: 77)"},
    };
    for (const auto& [code, reason] : rows) {
        EXPECT_EQ(newClientFailureLines(code),
                  (std::vector<std::string>{
                      "failed to create new ES client: " + std::to_string(code), reason}));
    }
}

class ESClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"audit.log", "access.log", "error.log"}) {
            std::filesystem::remove(sandbox::supportFile(name));
        }
        tracePath = sandbox::Root::shared().path() / "trace.txt";
        std::filesystem::remove(tracePath);
        config = sandbox::defaultConfig();
    }

    std::unique_ptr<ESClient> makeClient() {
        logger = std::make_shared<Logger>(sandbox::pathManager(), *config, sandbox::dateFormatter(),
                                          std::make_shared<VorlaRotationDelegate>());
        return std::make_unique<ESClient>(
            config, logger, [this](es_client_t** client, es_handler_block_t handler) {
                endpoint_security::ServiceSettings settings;
                settings.trace = tracePath.string();
                return endpoint_security::newClient(client, std::move(handler), settings);
            });
    }

    std::vector<std::string> errorMessages() {
        EXPECT_TRUE(logger->flushErrors(5));
        std::vector<std::string> messages;
        for (const std::string& line : sandbox::crlfLines(sandbox::supportFile("error.log"))) {
            messages.push_back(sandbox::errorLineMessage(line));
        }
        return messages;
    }

    std::vector<std::string> trace() {
        std::istringstream text(sandbox::readFile(tracePath));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::filesystem::path tracePath;
    std::shared_ptr<Config> config;
    std::shared_ptr<Logger> logger;
};

TEST_F(ESClientTest, MutesInCallOrderBeforeSubscribing) {
    config->auditLogger->muting.inverted = true;
    config->auditLogger->muting.targets = {{"/usr/bin", MutePath::type::prefix},
                                           {"/Applications/My App", MutePath::type::literal}};
    config->accessLogger->enabled = false;
    makeClient()->run();
    EXPECT_EQ(trace(), (std::vector<std::string>{"es_new_client", "es_unmute_all_target_paths",
                                                 "es_invert_muting 2", "es_mute_path 2 /usr/bin",
                                                 "es_mute_path 3 /Applications/My App",
                                                 "es_subscribe 9", "es_delete_client"}));
}

TEST_F(ESClientTest, HandlerReportsSkippedMessagesAndStillWritesTheLine) {
    const auto client = makeClient();
    for (const char* extra : {R"("global_seq_num": 10,)", R"("global_seq_num": 14,)",
                              R"("version": 3, "global_seq_num": 40,)"}) {
        client->handleEvent(message(sandbox::execJSON(R"(["ls"])", extra)).message());
    }
    EXPECT_EQ(errorMessages(), (std::vector<std::string>{"9 lines dropped", "3 lines dropped"}));
    EXPECT_EQ(sandbox::crlfLines(sandbox::supportFile("audit.log")).size(), 3u);
}

TEST_F(ESClientTest, HandlerDropsWhatCannotBeFormattedWithOneErrorLine) {
    const auto client = makeClient();
    for (const char* json :
         {R"({"event_type": 24, "global_seq_num": 1})",
          R"({"event_type": 111, "global_seq_num": 2, "event": {"success": true, "type": 4}})",
          R"({"event_type": 17, "global_seq_num": 3, "event": {"identifier": "com.example"}})"}) {
        client->handleEvent(message(json).message());
    }
    writeLine(*logger, std::nullopt, true);
    const auto errors = errorMessages();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], "recived unknown event type: 24");
    EXPECT_TRUE(errors[1].starts_with("dropping line: ")) << errors[1];
    EXPECT_EQ(errors[2], "formatted line empty, dropping message");
    EXPECT_EQ(sandbox::crlfLines(sandbox::supportFile("access.log")).size(), 1u);
    EXPECT_TRUE(sandbox::crlfLines(sandbox::supportFile("audit.log")).empty());
}

} // namespace
} // namespace vorla::extension
