#include "extension/records/AccessEvents.hpp"
#include "extension/records/AccessRecords.hpp"
#include "extension/records/ExecLines.hpp"
#include "extension/records/tests/RecordTestSupport.hpp"
#include "platform/foundation/JSONEncoder.hpp"

#include <fstream>
#include <set>

namespace vorla::records {
namespace {

using testing::context;
using testing::message;

// The access-log line of a hand-written message.
std::string line(const std::string& stream) {
    const auto decoded = message(stream);
    const auto record = accessRecordFor(decoded.message(), context(), true);
    if (!record) {
        ADD_FAILURE() << "no record for " << stream;
        return {};
    }
    return *record;
}

std::string withTimestamp(const std::string& log) {
    return R"({"log":)" + log + R"(,"timestamp":")" + testing::fixedTimestamp + R"("})";
}

struct Golden {
    const char* name;
    std::string stream;
    std::string log;
};

// Failure reports name the row, not a dump of its bytes.
void PrintTo(const Golden& row, std::ostream* out) {
    *out << row.name;
}

class AccessRecordGolden : public ::testing::TestWithParam<Golden> {};

TEST_P(AccessRecordGolden, WritesTheExpectedLine) {
    EXPECT_EQ(line(GetParam().stream), withTimestamp(GetParam().log));
}

// The instigator of an authentication, every id of its own token differing from every other.
const std::string instigator =
    R"({"audit_token":{"ruid":501,"rgid":20,"euid":502,"egid":21,"auid":503,"pid":4242},)"
    R"("parent_audit_token":{"pid":4000},"responsible_audit_token":{"pid":4100},"session_id":-1,"team_id":"T/1","executable":"/bin/login",)"
    R"("is_platform_binary":true,"start_time":{"sec":1714557600,"usec":1000}})";
const std::string instigatorRecord =
    R"({"audit_token":{"auid":503,"egid":21,"euid":502,"gid":20,"group":"staff","pid":4242,"uid":501,"username":"alice"},)"
    R"("executable":"\/bin\/login","is_platform_binary":true,)"
    R"("parent_audit_token":{"auid":0,"egid":0,"euid":0,"gid":0,"group":"wheel","pid":4000,"uid":0,"username":"root"},)"
    R"("responsible_audit_token":{"auid":0,"egid":0,"euid":0,"gid":0,"group":"wheel","pid":4100,"uid":0,"username":"root"},)"
    R"("session_id":-1,"team_id":"T\/1","timestamp":"2024-05-01T10:00:00.001Z","tty":"unknown"})";

INSTANTIATE_TEST_SUITE_P(
    Records, AccessRecordGolden,
    ::testing::Values(
        Golden{"kextload", R"({"event_type":17,"event":{"identifier":"com.example.kext"}})",
               R"({"event":"kextload","identifier":"com.example.kext"})"},
        Golden{"kextloadEmpty", R"({"event_type":17,"event":{"identifier":""}})",
               R"({"event":"kextload"})"},
        Golden{"kextunload", R"({"event_type":18,"event":{"identifier":"k"}})",
               R"({"event":"kextunload","identifier":"k"})"},
        Golden{
            "mount",
            R"({"event_type":22,"event":{"statfs":{"f_bsize":4096,"f_iosize":-1,"f_blocks":9223372036854775808,)"
            R"("f_bfree":1,"f_bavail":2,"f_files":3,"f_ffree":4,"f_fsid":[-1,5],"f_owner":4294967294,)"
            R"("f_type":17,"f_flags":1,"f_fssubtype":3,"f_fstypename":"apfs","f_mntonname":"/Volumes/USB",)"
            R"("f_mntfromname":"/dev/disk4s1","f_flags_ext":8}}})",
            R"({"event":"mount","f_bavail":2,"f_bfree":1,"f_blocks":9223372036854775808,"f_bsize":4096,)"
            R"("f_ffree":4,"f_files":3,"f_flags":1,"f_flags_ext":8,"f_fsid":"-15","f_fstypename":"apfs",)"
            R"("f_iosize":-1,"f_mntfromname":"\/dev\/disk4s1","f_mntonname":"\/Volumes\/USB",)"
            R"("f_owner":4294967294,"f_type":17})"},
        Golden{
            "unmountLongName",
            R"({"event_type":23,"event":{"statfs":{"f_fsid":[1,2],"f_fstypename":"abcdefghijklmnopqrstuvwxyz"}}})",
            R"({"event":"unmount","f_bavail":0,"f_bfree":0,"f_blocks":0,"f_bsize":0,"f_ffree":0,)"
            R"("f_files":0,"f_flags":0,"f_flags_ext":0,"f_fsid":"12","f_fstypename":"abcdefghijklmnop",)"
            R"("f_iosize":0,"f_mntfromname":"","f_mntonname":"","f_owner":0,"f_type":0})"},
        Golden{
            "su",
            R"({"event_type":128,"event":{"success":true,"failure_message":"","from_uid":501,)"
            R"("from_username":"alice","has_to_uid":false,"to_uid":7,"shell":"/bin/zsh",)"
            R"("argv":["su","-","root"],"env":["TERM=xterm","HOME=/"]}})",
            R"({"args":"su","env":"TERM=xterm","event":"su","from_uid":501,"from_username":"alice",)"
            R"("has_to_uid":false,"shell":"\/bin\/zsh","success":true,"to_uid":7})"},
        Golden{"suNoLists", R"({"event_type":128,"event":{"argv":[],"failure_message":"denied"}})",
               R"({"event":"su","failure_message":"denied","from_uid":0,"has_to_uid":false,)"
               R"("success":false,"to_uid":0})"},
        Golden{"sessionLock",
               R"({"event_type":116,"event":{"username":"alice","graphical_session_id":257}})",
               R"({"event":"lw_session_lock","graphical_user_id":257,"username":"alice"})"},
        Golden{"sessionLogin", R"({"event_type":114,"event":{"graphical_session_id":4294967295}})",
               R"({"event":"lw_session_login","graphical_user_id":4294967295})"},
        Golden{"sessionLogout", R"({"event_type":115})",
               R"({"event":"lw_session_logout","graphical_user_id":0})"},
        Golden{"sessionUnlock", R"({"event_type":117,"event":{"username":"bob"}})",
               R"({"event":"lw_session_unlock","graphical_user_id":0,"username":"bob"})"},
        Golden{
            "login",
            R"({"event_type":122,"event":{"success":false,"failure_message":{"data":"x","length":0},)"
            R"("has_uid":false,"uid":0}})",
            R"({"event":"login","failure_message":"","has_uid":false,"success":false,"uid":0,"username":""})"},
        Golden{"logout", R"({"event_type":123,"event":{"username":"alice","uid":4294967294}})",
               R"({"event":"logout","uid":4294967294,"username":"alice"})"},
        Golden{
            "sshLogin",
            R"({"event_type":120,"event":{"success":true,"result_type":10,"source_address_type":7,)"
            R"("source_address":"10.0.0.5","username":"alice","has_uid":true,"uid":501}})",
            R"({"event":"openssh_login","has_uid":true,"result_type":"auth_fail_none","source_address":"10.0.0.5",)"
            R"("source_address_type":"none","success":true,"uid":501,"username":"alice"})"},
        Golden{
            "sshLoginGSSAPI",
            R"({"event_type":120,"event":{"result_type":8,"source_address_type":3}})",
            R"({"event":"openssh_login","has_uid":false,"result_type":"auth_fail_GSSAPI","source_address":"",)"
            R"("source_address_type":"named_socket","success":false,"uid":0,"username":""})"},
        Golden{
            "sshLogout",
            R"({"event_type":121,"event":{"source_address_type":1,"source_address":"10.0.0.5",)"
            R"("username":"alice","uid":4294967294}})",
            R"({"event":"openssh_logout","source_address":"10.0.0.5","source_address_type":"ipv4",)"
            R"("uid":4294967294,"username":"alice"})"},
        Golden{
            "screensharingAttach",
            R"({"event_type":118,"event":{"success":true,"source_address_type":2,"source_address":"::1",)"
            R"("authentication_type":"password","authentication_username":"alice",)"
            R"("session_username":"bob","existing_session":true,"graphical_session_id":4294967295}})",
            R"({"auth_type":"password","auth_username":"alice","event":"screensharing_attach",)"
            R"("existing_session":true,"graphical_session_id":4294967295,"session_username":"bob",)"
            R"("source_address":"::1","source_address_type":"ipv6","success":true,"viewer_apple_id":""})"},
        Golden{"screensharingDetach",
               R"({"event_type":119,"event":{"source_address_type":9,"viewer_appleid":"a@b.c"}})",
               R"({"event":"screensharing_detach","graphical_session_id":0,"source_address":"",)"
               R"("source_address_type":"none","viewer_apple_id":"a@b.c"})"},
        Golden{
            "authenticationOD",
            R"({"event_type":111,"event":{"success":true,"type":0,"data":{"instigator":)" +
                instigator + R"(,"record_type":"user","record_name":"alice"}}})",
            R"({"data":{"db_path":"","instigator":)" + instigatorRecord +
                R"(,"node_name":"","record_name":"alice","record_type":"user"},"event":"authentication",)"
                R"("success":true,"type":"od"})"},
        Golden{
            "authenticationTouchID",
            R"({"event_type":111,"event":{"type":1,"data":{"touchid_mode":1,"has_uid":false,"uid":501}}})",
            R"({"data":{"has_uid":false,"instigator":null,"mode":"identification","uid":501},)"
            R"("event":"authentication","success":false,"type":"touchID"})"},
        Golden{
            "authenticationToken",
            R"({"event_type":111,"event":{"type":2,"data":{"pubkey_hash":"ab12","token_id":"t",)"
            R"("instigator":)" +
                instigator + R"(}}})",
            R"({"data":{" ":"ab12","instigator":)" + instigatorRecord +
                R"(,"kerberos_principal":"","token_id":"t"},"event":"authentication","success":false,"type":"token"})"},
        Golden{
            "authenticationAutoUnlock",
            R"({"event_type":111,"event":{"type":3,"data":{"username":"alice","type":2}}})",
            R"({"data":{"type":"aurhorized_by_apple_watch","username":"alice"},"event":"authentication",)"
            R"("success":false,"type":"auto unlock"})"},
        Golden{
            "authenticationAutoUnlockUnknown",
            R"({"event_type":111,"event":{"type":3,"data":{"type":0}}})",
            R"({"data":{"type":"unknown","username":""},"event":"authentication","success":false,)"
            R"("type":"auto unlock"})"},
        Golden{
            "sudoGranted",
            R"({"event_type":131,"event":{"success":true,"reject_info":null,"has_from_uid":false,)"
            R"("from_uid":501,"from_username":"alice","has_to_uid":true,"to_uid":0,"to_username":"root",)"
            R"("command":"/bin/ls /tmp"}})",
            R"({"command":"\/bin\/ls \/tmp","event":"sudo","from_uid":501,"from_username":"alice",)"
            R"("has_from_uid":false,"has_to_uid":true,"reject_info":"","success":true,"to_uid":0,"to_username":"root"})"},
        Golden{
            "sudoRejected",
            R"({"event_type":131,"event":{"reject_info":{"plugin_name":"sudoers","plugin_type":1,)"
            R"("failure_message":"incorrect password"},"to_uid":3}})",
            R"({"event":"sudo","from_uid":0,"has_from_uid":false,"has_to_uid":false,)"
            R"("reject_info":"incorrect password","success":false,"to_uid":3})"}),
    [](const ::testing::TestParamInfo<Golden>& row) { return std::string(row.param.name); });

// Each table of names at its first value, its last named one and the first past it: a table
// that ends an entry early gives the last named value the fallback's name.
TEST(AccessRecords, NameTablesHoldUpToTheirLastValue) {
    const struct {
        const char* event;
        const char* pointer;
        const char* name;
    } rows[] = {
        {R"("event_type":120,"event":{"result_type":0})", "/result_type",
         "login_exceeded_max_tries"},
        {R"("event_type":120,"event":{"result_type":9})", "/result_type", "invalid_user"},
        {R"("event_type":120,"event":{"result_type":10})", "/result_type", "auth_fail_none"},
        {R"("event_type":121,"event":{"source_address_type":0})", "/source_address_type", "none"},
        {R"("event_type":121,"event":{"source_address_type":3})", "/source_address_type",
         "named_socket"},
        {R"("event_type":121,"event":{"source_address_type":4})", "/source_address_type", "none"},
        {R"("event_type":111,"event":{"type":0})", "/type", "od"},
        {R"("event_type":111,"event":{"type":3})", "/type", "auto unlock"},
        {R"("event_type":111,"event":{"type":1,"data":{"touchid_mode":0}})", "/data/mode",
         "verification"},
        {R"("event_type":111,"event":{"type":1,"data":{"touchid_mode":1}})", "/data/mode",
         "identification"},
        {R"("event_type":111,"event":{"type":1,"data":{"touchid_mode":2}})", "/data/mode",
         "unknown"},
        {R"("event_type":111,"event":{"type":3,"data":{"type":0}})", "/data/type", "unknown"},
        {R"("event_type":111,"event":{"type":3,"data":{"type":1}})", "/data/type",
         "machine_unlock_by_apple_watch"},
        {R"("event_type":111,"event":{"type":3,"data":{"type":2}})", "/data/type",
         "aurhorized_by_apple_watch"},
        {R"("event_type":111,"event":{"type":3,"data":{"type":3}})", "/data/type", "unknown"},
    };
    for (const auto& row : rows) {
        const auto log = nlohmann::json::parse(line("{" + std::string(row.event) + "}"))["log"];
        EXPECT_EQ(log.value(nlohmann::json::json_pointer(row.pointer), ""), row.name) << row.event;
    }
}

// The first authentication type past the table, and one far beyond it.
TEST(AccessRecords, AnUnknownAuthenticationWritesNothingAndTheEncoderRefusesIt) {
    for (const char* type : {"4", "7"}) {
        const auto decoded = message(R"({"event_type":111,"event":{"success":true,"type":)" +
                                     std::string(type) + "}}");
        EXPECT_THROW((void)accessRecordFor(decoded.message(), context(), true),
                     foundation::JSONEncoder::EncodingError)
            << type;
    }
}

TEST(AccessRecords, MissingPayloadsAndProcessesDoNotCrash) {
    es_message_t bare{};
    for (const es_event_type_t type : {111u, 114u, 118u, 120u, 122u, 128u, 131u, 22u}) {
        bare.event_type = type;
        const auto record = accessRecordFor(bare, context(), true);
        ASSERT_TRUE(record) << type;
        EXPECT_TRUE(nlohmann::json::accept(*record)) << type;
    }
    bare.event_type = 9;
    EXPECT_FALSE(accessRecordFor(bare, context(), true));
}

TEST(AccessRecords, TimestampIsTheMomentOfEncoding) {
    const auto decoded = message(R"({"event_type":17,"time":{"sec":5,"nsec":0}})");
    foundation::Date now = testing::fixedNow();
    const RecordContext ticking{testing::userNames(), [&now] { return now; }};
    const auto first = kextloadRecord(decoded.message().event.kextload, ticking);
    now += std::chrono::seconds(1);
    const auto second = kextloadRecord(decoded.message().event.kextload, ticking);
    EXPECT_EQ(nlohmann::json::parse(first)["timestamp"], "2024-05-01T10:00:00.000Z");
    EXPECT_EQ(nlohmann::json::parse(second)["timestamp"], "2024-05-01T10:00:01.000Z");
}

TEST(AccessRecords, HostileTextStaysInsideOneLineOfJSON) {
    const std::string text =
        line(R"({"event_type":131,"event":{"command":{"hex":"0a0d22225c7b7d0011ffc3","length":11},)"
             R"("to_username":"x\"},\"event\":\"forged"}})");
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    const auto parsed = nlohmann::json::parse(text);
    EXPECT_EQ(parsed["log"]["event"], "sudo");
    EXPECT_EQ(parsed["log"]["command"], "\n\r\"\"\\{}");
    EXPECT_EQ(parsed["log"]["to_username"], "x\"},\"event\":\"forged");
}

// Every optional member present, each text holding a slash, a quote, a line break and an
// invalid byte: read back and encoded again by the general encoder, every line must come back
// byte for byte, so its keys are in byte order at every level and escaped as the encoder does.
TEST(AccessRecords, EveryMemberReadsBackAsTheEncoderWritesIt) {
    const std::string t = R"({"hex":"2f220aff","length":4})";
    const std::string process = R"({"audit_token":{"ruid":501},"session_id":-7,"tty":)" + t + "}";
    const std::string rows[] = {
        R"({"event_type":128,"event":{"success":true,"failure_message":)" + t +
            R"(,"from_username":)" + t + R"(,"has_to_uid":true,"to_username":)" + t +
            R"(,"shell":)" + t + R"(,"argv":[)" + t + R"(],"env":[)" + t + "]}}",
        R"({"event_type":131,"event":{"reject_info":{"failure_message":)" + t +
            R"(},"has_from_uid":true,"from_username":)" + t + R"(,"to_username":)" + t +
            R"(,"command":)" + t + "}}",
        R"({"event_type":111,"event":{"type":0,"data":{"instigator":)" + process +
            R"(,"record_type":)" + t + R"(,"record_name":)" + t + R"(,"node_name":)" + t +
            R"(,"db_path":)" + t + "}}}",
        R"({"event_type":111,"event":{"type":2,"data":{"instigator":)" + process +
            R"(,"pubkey_hash":)" + t + R"(,"token_id":)" + t + R"(,"kerberos_principal":)" + t +
            "}}}",
        R"({"event_type":118,"event":{"source_address":)" + t + R"(,"viewer_appleid":)" + t +
            R"(,"authentication_type":)" + t + R"(,"authentication_username":)" + t +
            R"(,"session_username":)" + t + "}}",
        R"({"event_type":117,"event":{"username":)" + t + "}}",
        R"({"event_type":18,"event":{"identifier":)" + t + "}}",
    };
    es_file_t file{{4, "/\"\n\xFF"}};
    std::vector<std::string> lines = {iokitOpenRecord({3, file.path}, context()),
                                      setownerRecord({1, 2, &file}, context()),
                                      setmodeRecord({3, &file}, context())};
    for (const std::string& row : rows) {
        lines.push_back(line(row));
    }
    for (const std::string& text : lines) {
        EXPECT_EQ(foundation::JSONEncoder().encode(nlohmann::json::parse(text)), text);
    }
}

TEST(AccessRecords, NeverWrittenRecordsKeepTheirShape) {
    es_file_t file{{5, "/etc/"}};
    const auto log = [](const std::string& line) { return nlohmann::json::parse(line)["log"]; };
    EXPECT_EQ(log(setmodeRecord({0644, &file}, context())),
              nlohmann::json({{"event", "setmode"}, {"mode", 0644}, {"path", "/etc/"}}));
    EXPECT_EQ(log(setownerRecord({4294967294u, 20, nullptr}, context())),
              nlohmann::json({{"event", "setowner"}, {"gid", 20}, {"uid", 4294967294u}}));
    EXPECT_EQ(log(iokitOpenRecord({3, {}}, context())),
              nlohmann::json({{"event", "iokit_open"}, {"user_client_type", 3}}));
}

// The sample stream of the demo holds every access type and a few executions; each line must
// be a message that gives one line of valid JSON.
TEST(AccessRecords, EveryMessageOfTheSampleStreamGivesALine) {
    std::ifstream sample(VORLA_SOURCE_DIR "/examples/streams/sample.jsonl");
    ASSERT_TRUE(sample) << "examples/streams/sample.jsonl not found";
    endpoint_security::MessageDecoder decoder;
    std::set<es_event_type_t> types;
    for (std::string text; std::getline(sample, text);) {
        auto decoded = decoder.decode(text);
        ASSERT_TRUE(decoded.message) << decoded.error;
        const es_message_t& sampleMessage = decoded.message->message();
        types.insert(sampleMessage.event_type);
        const std::string line = sampleMessage.event_type == ES_EVENT_TYPE_NOTIFY_EXEC
                                     ? execRecord(sampleMessage, context())
                                     : accessRecordFor(sampleMessage, context(), true).value();
        EXPECT_TRUE(nlohmann::json::accept(line));
        EXPECT_EQ(foundation::JSONEncoder().encode(nlohmann::json::parse(line)), line);
    }
    const std::set<es_event_type_t> expected = {9,   17,  18,  22,  23,  111, 114, 115, 116,
                                                117, 118, 119, 120, 121, 122, 123, 128, 131};
    EXPECT_EQ(types, expected);
}

} // namespace
} // namespace vorla::records
