#include "platform/endpoint_security/Client.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace vorla::endpoint_security {
namespace {

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("vorla-es-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string write(const std::string& name, const std::string& content) {
        const auto path = folder_ / name;
        std::ofstream(path) << content;
        return path.string();
    }

    std::string read(const std::string& name) {
        std::ifstream in(folder_ / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ServiceSettings settings(std::string source) {
        ServiceSettings result;
        result.source = std::move(source);
        result.trace = (folder_ / "trace.txt").string();
        result.streamEnded = [this] { ended_.set_value(); };
        return result;
    }

    std::filesystem::path folder_;
    std::promise<void> ended_;
};

TEST_F(ClientTest, TracesEveryCallInOrder) {
    es_client_t* client = nullptr;
    ASSERT_EQ(newClient(
                  &client, [](es_client_t*, const es_message_t*) {}, settings("")),
              ES_NEW_CLIENT_RESULT_SUCCESS);
    es_unmute_all_target_paths(client);
    es_invert_muting(client, ES_MUTE_INVERSION_TYPE_TARGET_PATH);
    es_mute_path(client, "/usr/bin", ES_MUTE_PATH_TYPE_TARGET_PREFIX);
    es_mute_path(client, "/Applications/My App", ES_MUTE_PATH_TYPE_TARGET_LITERAL);
    const es_event_type_t events[] = {9, 111, 118};
    es_subscribe(client, events, 3);
    es_subscribe(client, nullptr, 0);
    es_delete_client(client);
    EXPECT_EQ(read("trace.txt"), "es_new_client\n"
                                 "es_unmute_all_target_paths\n"
                                 "es_invert_muting 2\n"
                                 "es_mute_path 2 /usr/bin\n"
                                 "es_mute_path 3 /Applications/My App\n"
                                 "es_subscribe 9,111,118\n"
                                 "es_subscribe \n"
                                 "es_delete_client\n");
}

TEST_F(ClientTest, ReturnsTheConfiguredResults) {
    auto refused = settings("");
    refused.newClientResult = 4;
    es_client_t* client = nullptr;
    EXPECT_EQ(newClient(
                  &client, [](es_client_t*, const es_message_t*) {}, refused),
              4u);
    EXPECT_EQ(client, nullptr);

    auto noSubscription = settings(write("stream.jsonl", "{}\n"));
    noSubscription.subscribeResult = 1;
    std::atomic<int> delivered{0};
    ASSERT_EQ(newClient(
                  &client, [&](es_client_t*, const es_message_t*) { ++delivered; }, noSubscription),
              0u);
    const es_event_type_t exec = 9;
    EXPECT_EQ(es_subscribe(client, &exec, 1), ES_RETURN_ERROR);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(delivered, 0);
    es_delete_client(client);
}

// Known types arrive only while subscribed and take no number when skipped; a type the
// service does not know always arrives.
TEST_F(ClientTest, DeliversSubscribedMessagesInOrderSkipsBadLinesAndEndsTheStream) {
    const std::string source = write("stream.jsonl", "{\"event_type\": 17}\n"
                                                     "\n"
                                                     "{\"event_type\": 9}\n"
                                                     "{broken\n"
                                                     "{\"event_type\": 18, \"global_seq_num\": 5}\n"
                                                     "{\"event_type\": 9, \"global_seq_num\": 6}\n"
                                                     "{\"event_type\": 4242}\n"
                                                     "{\"event_type\": 22}");
    std::vector<std::pair<es_event_type_t, uint64_t>> seen;
    std::vector<std::thread::id> threads;
    es_client_t* client = nullptr;
    ASSERT_EQ(newClient(
                  &client,
                  [&](es_client_t* from, const es_message_t* message) {
                      EXPECT_EQ(from, client);
                      seen.emplace_back(message->event_type, message->global_seq_num);
                      threads.push_back(std::this_thread::get_id());
                  },
                  settings(source)),
              0u);
    testing::internal::CaptureStderr();
    const es_event_type_t events[] = {17, 18, 22};
    ASSERT_EQ(es_subscribe(client, events, 3), ES_RETURN_SUCCESS);
    ASSERT_EQ(ended_.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    es_delete_client(client);

    const std::vector<std::pair<es_event_type_t, uint64_t>> expected = {
        {17, 1}, {18, 5}, {4242, 6}, {22, 7}};
    EXPECT_EQ(seen, expected);
    EXPECT_NE(threads.front(), std::this_thread::get_id());
    EXPECT_EQ(std::count(threads.begin(), threads.end(), threads.front()), 4);
    EXPECT_NE(diagnostics.find("line 4"), std::string::npos) << diagnostics;
    EXPECT_EQ(std::count(diagnostics.begin(), diagnostics.end(), '\n'), 1);
}

TEST_F(ClientTest, StoppingWaitsForTheMessageInHandAndDeliversNoMore) {
    const bounded::Watchdog watchdog("the client to stop");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string source = "/dev/fd/" + std::to_string(fds[0]);
    std::promise<void> inHandler;
    std::atomic<bool> finished{false};
    std::atomic<int> delivered{0};
    es_client_t* client = nullptr;
    ASSERT_EQ(newClient(
                  &client,
                  [&](es_client_t*, const es_message_t*) {
                      if (++delivered == 1) {
                          inHandler.set_value();
                          std::this_thread::sleep_for(std::chrono::milliseconds(200));
                          finished = true;
                      }
                  },
                  settings(source)),
              0u);
    const es_event_type_t exec = 9;
    ASSERT_EQ(es_subscribe(client, &exec, 1), ES_RETURN_SUCCESS);
    const std::string lines = "{}\n";
    ASSERT_EQ(::write(fds[1], lines.data(), lines.size()), 3);
    bounded::get(inHandler.get_future(), "the first message in the handler");
    ASSERT_EQ(::write(fds[1], lines.data(), lines.size()), 3);
    // The pipe stays open: deleting the client must not wait for more input.
    es_delete_client(client);
    EXPECT_TRUE(finished);
    EXPECT_EQ(delivered, 1);
    close(fds[0]);
    close(fds[1]);
}

} // namespace
} // namespace vorla::endpoint_security
