#include "platform/endpoint_security/EndpointSecurity.h"
#include "platform/endpoint_security/MessageDecoder.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace vorla::endpoint_security {
namespace {

using namespace std::string_literals;

std::chrono::system_clock::time_point fixedNow() {
    return std::chrono::system_clock::time_point(std::chrono::seconds(1714557600) +
                                                 std::chrono::milliseconds(250));
}

std::string bytes(const es_string_token_t& token, size_t count) {
    return std::string(token.data, count);
}

TEST(MessageDecoder, LeftOutKeysTakeTheirDefaults) {
    MessageDecoder decoder(fixedNow);
    auto first = decoder.decode(R"({"event_type": 17})");
    ASSERT_TRUE(first.message) << first.error;
    const es_message_t& message = first.message->message();
    EXPECT_EQ(message.version, 7u);
    EXPECT_EQ(message.time.tv_sec, 1714557600);
    EXPECT_EQ(message.time.tv_nsec, 250'000'000);
    EXPECT_TRUE(first.sequenceLeftOut);
    EXPECT_TRUE(first.knownType);
    EXPECT_EQ(message.process, nullptr);
    EXPECT_EQ(message.event.kextload.identifier.data, nullptr);
    EXPECT_EQ(message.event.kextload.identifier.length, 0u);

    auto explicitNumber = decoder.decode(R"({"global_seq_num": 10})");
    auto unknown = decoder.decode(R"({"event_type": 999, "event": {"anything": 1}})");
    ASSERT_TRUE(explicitNumber.message && unknown.message);
    EXPECT_FALSE(explicitNumber.sequenceLeftOut);
    EXPECT_EQ(explicitNumber.message->message().global_seq_num, 10u);
    EXPECT_FALSE(unknown.knownType);
}

TEST(MessageDecoder, ReadsStringTokensFilesAndTheirPadding) {
    MessageDecoder decoder;
    auto decoded = decoder.decode(R"({"event_type": 9, "event": {
        "target": {"executable": "/bin/ls", "tty": {"path": null},
                   "audit_token": {"ruid": 4294967294, "pid": -5},
                   "start_time": {"sec": 7, "usec": 999999}},
        "cwd": {"path": {"data": "ab\u0000cd", "length": 3}},
        "script": null,
        "dyld_exec_path": {"hex": "ff41", "length": 6},
        "args": ["ls", null, {"data": "long", "length": 2}], "env": []}})");
    ASSERT_TRUE(decoded.message) << decoded.error;
    const es_event_exec_t& exec = decoded.message->message().event.exec;
    ASSERT_NE(exec.target, nullptr);
    EXPECT_EQ(bytes(exec.target->executable->path, 8), std::string("/bin/ls\0", 8));
    EXPECT_EQ(exec.target->executable->path.length, 7u);
    ASSERT_NE(exec.target->tty, nullptr);
    EXPECT_EQ(exec.target->tty->path.data, nullptr);
    EXPECT_EQ(audit_token_to_ruid(exec.target->audit_token), 4294967294u);
    EXPECT_EQ(audit_token_to_pid(exec.target->audit_token), -5);
    EXPECT_EQ(exec.target->start_time.tv_usec, 999999);
    EXPECT_EQ(exec.cwd->path.length, 3u);
    EXPECT_EQ(bytes(exec.cwd->path, 5), std::string("ab\0cd", 5));
    EXPECT_EQ(exec.script, nullptr);
    EXPECT_EQ(exec.dyld_exec_path.length, 6u);
    EXPECT_EQ(bytes(exec.dyld_exec_path, 6), std::string("\xFF"
                                                         "A\0\0\0\0",
                                                         6));
    ASSERT_EQ(es_exec_arg_count(&exec), 3u);
    EXPECT_EQ(es_exec_arg(&exec, 1).data, nullptr);
    EXPECT_EQ(es_exec_arg(&exec, 2).length, 2u);
    EXPECT_EQ(es_exec_arg(&exec, 7).data, nullptr);
    EXPECT_EQ(es_exec_env_count(&exec), 0u);
}

TEST(MessageDecoder, ATokenGivenOnlyALengthIsThatManyZeroBytes) {
    MessageDecoder decoder;
    auto decoded = decoder.decode(R"({"event_type": 17, "event": {"identifier": {"length": 3}}})");
    ASSERT_TRUE(decoded.message) << decoded.error;
    const es_string_token_t& identifier = decoded.message->message().event.kextload.identifier;
    EXPECT_EQ(identifier.length, 3u);
    EXPECT_EQ(bytes(identifier, 4), std::string(4, '\0'));
}

TEST(MessageDecoder, FillsFixedNameArraysWithoutOverrunning) {
    MessageDecoder decoder;
    const std::string longName(40, 'x');
    auto decoded =
        decoder.decode(R"({"event_type": 22, "event": {"statfs": {"f_fstypename": ")" + longName +
                       R"(", "f_fsid": [-1, 5], "f_blocks": 18446744073709551615}}})");
    ASSERT_TRUE(decoded.message) << decoded.error;
    const es_statfs_t* statfs = decoded.message->message().event.mount.statfs;
    EXPECT_EQ(std::string(statfs->f_fstypename, 16), std::string(16, 'x'));
    EXPECT_EQ(statfs->f_mntonname[0], '\0');
    EXPECT_EQ(statfs->f_fsid.val[0], -1);
    EXPECT_EQ(statfs->f_blocks, UINT64_MAX);
}

TEST(MessageDecoder, PointerPayloadsAndAuthenticationData) {
    MessageDecoder decoder;
    auto touch = decoder.decode(
        R"({"event_type": 111, "event": {"type": 1, "data": {"touchid_mode": 1, "uid": 501}}})");
    ASSERT_TRUE(touch.message) << touch.error;
    const es_event_authentication_t* authentication = touch.message->message().event.authentication;
    EXPECT_EQ(authentication->data.touchid->uid, 501u);
    EXPECT_EQ(authentication->data.touchid->instigator, nullptr);

    auto unknown = decoder.decode(R"({"event_type": 111, "event": {"type": 7, "data": {}}})");
    ASSERT_TRUE(unknown.message);
    EXPECT_EQ(unknown.message->message().event.authentication->data.od, nullptr);

    auto sudo = decoder.decode(R"({"event_type": 131})");
    ASSERT_TRUE(sudo.message);
    ASSERT_NE(sudo.message->message().event.sudo, nullptr);
    EXPECT_EQ(sudo.message->message().event.sudo->reject_info, nullptr);
}

// The arguments as "text|text", a token without a pointer as "-"; "!" marks a token whose
// bytes are not followed by a zero byte.
std::string arguments(const es_event_exec_t& exec) {
    std::string listed;
    for (uint32_t index = 0; index < es_exec_arg_count(&exec); ++index) {
        const es_string_token_t token = es_exec_arg(&exec, index);
        listed += index == 0 ? "" : "|";
        listed += token.data ? std::string(token.data, token.length) : "-";
        listed += token.data && token.data[token.length] != '\0' ? "!" : "";
    }
    return listed;
}

TEST(MessageDecoder, ArgumentListsReadTheSameHoweverTheLineMixesAndNestsThem) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const struct {
        std::string event;
        std::string arguments; // or the error's beginning, after "error: "
    } cases[] = {
        {R"("args": ["a", "", "b\u0000c", "\u00e9"])", "a||b\0c|\xC3\xA9"s},
        {R"("args": ["a", null, {"data": "xy", "length": 1}, "b"])", "a|-|x!|b"},
        {R"("x": [["p", "q"], ["r"]], "args": ["a", "bc"], "env": ["e"])", "a|bc"},
        {R"("args": ["shadowed"], "args": ["later", "wins"])", "later|wins"},
        {R"("args": ["a"], "x": )" + deep, "a"},
        {R"("x": {"y": {"z": {"w": {"v": {"u": {"t": {"s": ["deep"]}}}}}}}, "args": ["a"])", "a"},
        {R"("args": [])", ""},
        {R"("args": ["a", ["b"]])", "error: \"args\" is not a string token"},
        {R"("args": ["a", 1])", "error: \"args\" is not a string token"},
        {R"("args": [")" + std::string((size_t{1} << 20) + 1, 'a') + "\"]",
         "error: \"args\" is longer than"},
        {R"("args": ["a"], "x": )" + deep.substr(1), "error: not a JSON object"},
    };
    for (const auto& testCase : cases) {
        const std::string line = R"({"event_type": 9, "event": {)" + testCase.event + "}}";
        const auto decoded = MessageDecoder().decode(line);
        const std::string got = decoded.message ? arguments(decoded.message->message().event.exec)
                                                : "error: " + decoded.error;
        EXPECT_EQ(got.substr(0, testCase.arguments.size()), testCase.arguments)
            << testCase.event.substr(0, 80);
    }
}

TEST(MessageDecoder, ArraysOfTextsAreNotNumbersAndLinesHaveABound) {
    const struct {
        std::string line;
        const char* error;
    } cases[] = {
        {R"({"event_type": 22, "event": {"statfs": {"f_fsid": ["1", "2"]}}})",
         "\"f_fsid\" is not a number in range"},
        {R"({"event_type": 22, "event": {"statfs": {"f_fsid": ["1"]}}})",
         "\"f_fsid\" is not an array of two numbers"},
        {R"({"event_type": 9, "event": {"args": ["a"]}, "x": ")" +
             std::string(MessageDecoder::maxLineLength, 'a') + "\"}",
         "longer than the 16777216 bytes the service accepts"},
    };
    for (const auto& testCase : cases) {
        const auto decoded = MessageDecoder().decode(testCase.line);
        EXPECT_FALSE(decoded.message);
        EXPECT_EQ(decoded.error, testCase.error) << testCase.line.substr(0, 80);
    }
}

// The version, the sequence number ("?" when left out) and the identifier's bytes ("-" for no
// pointer), or the error. Read where it lies, the line is followed by bytes that would not
// leave a JSON text whole.
std::string outcome(std::string_view line, bool whereItLies = false) {
    std::string buffer(line);
    for (size_t index = 0; index < MessageDecoder::linePadding; ++index) {
        buffer += "\"]}\\\xFF\0"[index % 6];
    }
    const auto decoded =
        whereItLies ? MessageDecoder().decodePadded(std::string_view(buffer).substr(0, line.size()))
                    : MessageDecoder().decode(line);
    if (!decoded.message) {
        return "error: " + decoded.error;
    }
    const es_message_t& message = decoded.message->message();
    const es_string_token_t& identifier = message.event.kextload.identifier;
    return std::to_string(message.version) + " " + std::to_string(message.global_seq_num) +
           (decoded.sequenceLeftOut ? "? " : " ") +
           (identifier.data ? std::string(identifier.data, identifier.length) : "-");
}

TEST(MessageDecoder, HostileLinesReadExactlyAsStrictJSON) {
    const std::string notJSON = "error: not a JSON object";
    const std::string versionOutOfRange = "error: \"version\" is not a number in range";
    const auto identifier = [](const std::string& value) {
        return R"({"event_type": 17, "event": {"identifier": )" + value + "}}";
    };
    const struct {
        std::string line;
        std::string outcome;
    } cases[] = {
        {"\xEF\xBB\xBF{\"version\": 3}", "3 0? -"},
        {"\xEF\xBB{}", notJSON},
        {" \t{\"version\": 3}\r ", "3 0? -"},
        {"", notJSON},
        {"{} {}", notJSON},
        {"{\"version\": 3} \0{\xFF"s, "3 0? -"},
        {"{\"version\": 3\0}"s, notJSON},
        {R"({"version": 1,})", notJSON},
        {R"({"version": 1 /* x */})", notJSON},
        {R"({"version": tru})", notJSON},
        {R"({"version": 1, "version": 2})", "2 0? -"},
        {R"({"version": "x", "version": 5})", "5 0? -"},
        {R"({"version": 5, "version": null})", "7 0? -"},
        {R"({"global_seq_num": null})", "7 0 -"},
        {R"({"version": -0, "global_seq_num": 18446744073709551615})", "0 18446744073709551615 -"},
        {R"({"version": 4294967295})", "4294967295 0? -"},
        {R"({"version": 18446744073709551616})", versionOutOfRange},
        {R"({"version": -9223372036854775809})", versionOutOfRange},
        {R"({"version": 0.0})", versionOutOfRange},
        {R"({"version": 1e5})", versionOutOfRange},
        {R"({"version": 1e-400})", versionOutOfRange},
        {R"({"version": 1e400})", notJSON},
        {R"({"version": -1)" + std::string(400, '0') + "}", notJSON},
        {R"({"version": 0.)" + std::string(400, '0') + "1e400}", versionOutOfRange},
        {R"({"version": 01})", notJSON},
        {R"({"version": 1.})", notJSON},
        {R"({"version": .5})", notJSON},
        {R"({"version": +1})", notJSON},
        {R"({"version": ["1"]})", versionOutOfRange},
        {identifier(R"("\u00e9\uD83D\ude00\/\u0000")"), "7 0? \xC3\xA9\xF0\x9F\x98\x80/\0"s},
        {identifier("\"\xF0\x9F\x98\x80\x7F\""), "7 0? \xF0\x9F\x98\x80\x7F"},
        {identifier(R"("\ud83d")"), notJSON},
        {identifier(R"("\ud83dx")"), notJSON},
        {identifier(R"("\ud83d\u0041")"), notJSON},
        {identifier(R"("\udc00")"), notJSON},
        {identifier(R"("\u12")"), notJSON},
        {identifier(R"("\x")"), notJSON},
        {identifier("\"\x01\""), notJSON},
        {identifier("\"\xC0\x80\""), notJSON},
        {identifier("\"\xED\xA0\x80\""), notJSON},
        {identifier("\"\xE0\x9F\x80\""), notJSON},
        {identifier("\"\xF4\x90\x80\x80\""), notJSON},
        {identifier("\"\xF0\x9F\x98\""), notJSON},
        {identifier(R"(["a"])"), "error: \"identifier\" is not a string token"},
        {identifier(R"({"data": ["a"]})"),
         "error: \"identifier\" needs one text \"data\" or \"hex\""},
        {identifier(R"({"data": "a", "length": ["1"]})"),
         "error: \"identifier\" is not a number in range"},
        {R"({"process": ["a"]})", "error: \"process\" is not an object"},
        {R"({"process": {"executable": []}})", "error: \"executable\" is not a file"},
        {R"({"process": {"is_platform_binary": ["true"]}})",
         "error: \"is_platform_binary\" is not true or false"},
        {identifier(R"("x", "x": [[[[[[[[[["deep", 1]]]]]]]]]])"), "7 0? x"},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(outcome(testCase.line), testCase.outcome) << testCase.line.substr(0, 80);
    }
}

// A name is the same only when every byte is: each row changes one byte of a long name, at the
// edges of the part between its first and last eight bytes.
TEST(MessageDecoder, LongMemberNamesAreComparedWhole) {
    const struct {
        const char* platform;
        const char* parent;
        const char* responsible;
        const char* outcome;
    } cases[] = {
        {"is_platform_binary", "parent_audit_token", "responsible_audit_token", "1 4 5"},
        {"is_platfXrm_binary", "parent_aXdit_token", "responsiXle_audit_token", "0 0 0"},
        {"is_platfoXm_binary", "parent_auXit_token", "responsible_auXit_token", "0 0 0"},
        {"is_platform_binary", "parent_audit_token", "responsibleXaudit_token", "1 4 0"},
    };
    for (const auto& testCase : cases) {
        const std::string line = R"({"event_type": 17, "process": {")" +
                                 std::string(testCase.platform) + R"(": true, ")" +
                                 testCase.parent + R"(": {"pid": 4}, ")" + testCase.responsible +
                                 R"(": {"pid": 5}}})";
        const auto decoded = MessageDecoder().decode(line);
        ASSERT_TRUE(decoded.message) << decoded.error;
        const es_process_t& process = *decoded.message->message().process;
        EXPECT_EQ(std::to_string(process.is_platform_binary) + " " +
                      std::to_string(audit_token_to_pid(process.parent_audit_token)) + " " +
                      std::to_string(audit_token_to_pid(process.responsible_audit_token)),
                  testCase.outcome)
            << line;
    }
}

// The ids of an audit token are found in one pass, whatever their order: of a repeated name the
// last counts, null stands for left out, names that only resemble an id are no id, and of two
// bad ids the error names the first word of the token.
TEST(MessageDecoder, AuditTokenIdsReadInAnyOrderTheLastOfARepeatedOneCounting) {
    const struct {
        std::string token;
        std::string outcome;
    } cases[] = {
        {R"({"auid": 1, "euid": 2, "egid": 3, "ruid": 4, "rgid": 5, "pid": 6, "asid": 7,
             "pidversion": 8})",
         "1 2 3 4 5 6 7 8"},
        {R"({"pidversion": 8, "asid": 7, "pid": 6, "rgid": 5, "ruid": 4, "egid": 3, "euid": 2,
             "auid": 1})",
         "1 2 3 4 5 6 7 8"},
        {R"({"pid": 6, "auid": 1, "pid": 9})", "1 0 0 0 0 9 0 0"},
        {R"({"euid": 1, "auid": 2, "euid": 3, "auid": 4})", "4 3 0 0 0 0 0 0"},
        {R"({"auid": "x", "auid": 4, "rgid": 5, "rgid": null})", "4 0 0 0 0 0 0 0"},
        {R"({"aui": 1, "auidx": 2, "Auid": 3, "pidversio": 4, "pidversion": -5})",
         "0 0 0 0 0 0 0 4294967291"},
        {R"({"pidversion": 1, "euid": -1, "auid": -1})",
         "error: \"auid\" is not a number in range"},
        {R"({"asid": 2147483648})", "error: \"asid\" is not a number in range"},
        {R"([1])", "error: \"audit_token\" is not an object"},
    };
    for (const auto& testCase : cases) {
        const std::string line = R"({"process": {"audit_token": )" + testCase.token + "}}";
        const auto decoded = MessageDecoder().decode(line);
        if (!decoded.message) {
            EXPECT_EQ("error: " + decoded.error, testCase.outcome) << line;
            continue;
        }
        std::string words;
        for (const unsigned word : decoded.message->message().process->audit_token.val) {
            if (!words.empty()) {
                words += ' ';
            }
            words += std::to_string(word);
        }
        EXPECT_EQ(words, testCase.outcome) << line;
    }
}

// Where simdjson and the general parser part, a line reads as the general parser has it, and
// the same where it lies in a stream's buffer as on its own.
TEST(MessageDecoder, LinesTheLibraryRefusesReadAsTheGeneralParserHasThem) {
    const std::string notJSON = "error: not a JSON object";
    const auto identifier = [](const std::string& value) {
        return R"({"event_type": 17, "event": {"identifier": )" + value + "}}";
    };
    // As deep as a line of a power of two bytes can nest, the most for the parser's room.
    const size_t depth = (8192 - std::string_view(R"({"version": 3, "x": })").size()) / 2;
    const struct {
        std::string line;
        std::string outcome;
    } cases[] = {
        {R"({"version": [1], "version": 4})", "4 0? -"},
        {R"({"x": [18446744073709551616, -9223372036854775809], "version": 3})", "3 0? -"},
        {R"({"x": 18446744073709551616, "global_seq_num": 9223372036854775808})",
         "7 9223372036854775808 -"},
        {R"({"x": -18446744073709551616, "global_seq_num": 18446744073709551615})",
         "7 18446744073709551615 -"},
        {R"({"global_seq_num": 9223372036854775807, "x": 18446744073709551616})",
         "7 9223372036854775807 -"},
        {R"({"x": 1)" + std::string(300, '0') + R"(, "version": 3})", "3 0? -"},
        {R"({"global_seq_num": 99999999999999999999})",
         "error: \"global_seq_num\" is not a number in range"},
        {identifier(R"("18446744073709551616\"-99999999999999999999")"),
         "7 0? 18446744073709551616\"-99999999999999999999"},
        {R"({"x": 012345678901234567890})", notJSON},
        {R"({"x": 1)" + std::string(309, '0') + "}", notJSON},
        {R"({"x": 18446744073709551616, "y": 1.})", notJSON},
        {R"({"version": 3, "x": )" + std::string(depth, '[') + std::string(depth, ']') + "}",
         "3 0? -"},
        {R"({"version": 3, "x": [1)" + std::string(20, '0') + ", " + std::string(2000, '[') +
             std::string(2000, ']') + "]}",
         "3 0? -"},
        {"{\"version\": 3}\0\xFF\xFE"s, "3 0? -"},
        {"\xEF\xBB\xBF{\"version\": 3}", "3 0? -"},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(outcome(testCase.line), testCase.outcome) << testCase.line.substr(0, 80);
        EXPECT_EQ(outcome(testCase.line, true), testCase.outcome) << testCase.line.substr(0, 80);
    }
}

TEST(MessageDecoder, RejectsLinesThatAreNotMessages) {
    const char* const lines[] = {
        "not json",
        "[1, 2]",
        R"({"version": -1})",
        R"({"version": 4294967296})",
        R"({"version": 1.5})",
        R"({"global_seq_num": 18446744073709551616})",
        R"({"event_type": 120, "event": {"uid": -1}})",
        R"({"event_type": 120, "event": {"success": 1}})",
        R"({"event_type": 17, "event": {"identifier": 5}})",
        R"({"event_type": 17, "event": {"identifier": {"hex": "abc"}}})",
        R"({"event_type": 17, "event": {"identifier": {"hex": "zz"}}})",
        R"({"event_type": 17, "event": {"identifier": {"data": "a", "length": 99999999999}}})",
        R"({"event_type": 22, "event": {"statfs": {"f_fsid": [1]}}})",
        R"({"event_type": 22, "event": {"statfs": {"f_iosize": 2147483648}}})",
        R"({"time": {"sec": 1, "nsec": 1000000000}})",
        R"({"process": {"start_time": {"usec": -1}}})",
        R"({"event_type": 9, "event": {"args": "ls"}})",
    };
    for (const char* line : lines) {
        MessageDecoder decoder;
        const auto result = decoder.decode(line);
        EXPECT_FALSE(result.message) << line;
        EXPECT_FALSE(result.error.empty()) << line;
    }
}

} // namespace
} // namespace vorla::endpoint_security
