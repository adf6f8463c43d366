#include "extension/records/ExecLines.hpp"
#include "extension/records/tests/RecordTestSupport.hpp"
#include "platform/foundation/JSONEncoder.hpp"
#include "tests/support/BoundedWait.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vorla::records {
namespace {

using testing::context;
using testing::message;

// ls -l started from a terminal, with an empty argument between the two. Every id of the
// target differs from every other, so a field written from the wrong one changes the line.
const std::string lsExec = R"({"event_type": 9, "global_seq_num": 42,
    "time": {"sec": 1714557600, "nsec": 5},
    "event": {"target": {"audit_token": {"ruid": 501, "rgid": 20, "euid": 502, "egid": 21,
                                         "auid": 503, "pid": 4242, "asid": 100002,
                                         "pidversion": 9},
                         "parent_audit_token": {"pid": 4000},
                         "responsible_audit_token": {"pid": 4100},
                         "session_id": 100001, "original_ppid": 77,
                         "executable": "/bin/ls", "tty": "/dev/ttys001",
                         "start_time": {"sec": 1714557601, "usec": 123000}},
              "cwd": "/Users/alice", "image_cputype": 16777228,
              "args": ["ls", "", "-l"], "env": ["PATH=/usr/bin", {"data": "", "length": 0}]}})";

std::string rootToken(int pid) {
    return R"({"auid":0,"egid":0,"euid":0,"gid":0,"group":"wheel","pid":)" + std::to_string(pid) +
           R"(,"uid":0,"username":"root"})";
}

TEST(ExecRecord, WritesTheGoldenLine) {
    const auto ls = message(lsExec);
    EXPECT_EQ(
        execRecord(ls.message(), context()),
        R"({"log":{"arch":"arm64","args":["ls","-l"],"audit_token":)"
        R"({"auid":503,"egid":21,"euid":502,"gid":20,"group":"staff","pid":4242,)"
        R"("uid":501,"username":"alice"},"command":"\/bin\/ls","cwd":"\/Users\/alice","env":["PATH=\/usr\/bin"],)"
        R"("parent_audit_token":)" +
            rootToken(4000) + R"(,"responsible_audit_token":)" + rootToken(4100) +
            R"(,"tty":"\/dev\/ttys001"},"timestamp":"2024-05-01T10:00:01.123Z"})");
}

TEST(ExecRecord, TreatsAbsentValuesAsTheirFieldsSay) {
    const auto bare = message(R"({"event_type": 9, "event": {"target": {
        "audit_token": {"ruid": 4294967294, "euid": 4294967294, "rgid": 4294967294}},
        "script": {"path": null}, "image_cputype": 7, "dyld_exec_path": "/usr/lib/dyld"}})");
    const nlohmann::json log = nlohmann::json::parse(execRecord(bare.message(), context()))["log"];
    EXPECT_TRUE(log["command"].is_null());
    EXPECT_FALSE(log.contains("cwd"));
    EXPECT_FALSE(log.contains("script"));
    EXPECT_EQ(log["exec_path"], "/usr/lib/dyld");
    EXPECT_EQ(log["arch"], "unknown");
    EXPECT_EQ(log["tty"], "unknown");
    EXPECT_EQ(log["args"], nlohmann::json::array());
    EXPECT_EQ(log["audit_token"]["uid"].get<uint64_t>(), 4294967294u);
    EXPECT_EQ(log["audit_token"]["euid"].dump(), "4294967294");
    EXPECT_EQ(log["audit_token"]["username"], "");

    const auto noTarget = message(R"({"event_type": 9, "time": {"sec": 0, "nsec": 0}})");
    const auto record = nlohmann::json::parse(execRecord(noTarget.message(), context()));
    EXPECT_TRUE(record["log"]["audit_token"].is_null());
    EXPECT_EQ(record["timestamp"], "1970-01-01T00:00:00.000Z");
}

TEST(ExecAuditd, WritesTheGoldenLinePair) {
    const auto ls = message(lsExec);
    EXPECT_EQ(formatExecAuditd(ls.message()),
              "type=EXECVE msg=audit(1714557601:42): argc=2 a0=\"ls\" a1=\"-l\"\n"
              "type=SYSCALL msg=audit(1714557601:42): arch=c00000b7 syscall=221 success=yes "
              "exit=0 a0=\"ls\" a1=\"-l\" items=1 ppid=4000 pid=4242 auid=503 uid=501 gid=20 "
              "euid=502 egid=21 tty=/dev/ttys001 ses=100001 comm=\"ls\" exe=\"/bin/ls\" "
              "key=\"vorla\"");
}

TEST(ExecAuditd, WithoutArgumentsAndOfOlderMessages) {
    const auto old = message(R"({"event_type": 9, "version": 1, "global_seq_num": 3,
        "time": {"sec": 99, "nsec": 900000000},
        "event": {"target": {"tty": "/dev/ttys002", "start_time": {"sec": 5}},
                  "image_cputype": 16777223}})");
    EXPECT_EQ(formatExecAuditd(old.message()),
              "type=EXECVE msg=audit(99:3): argc=0 \n"
              "type=SYSCALL msg=audit(99:3): arch=c000003e syscall=59 success=yes exit=0 "
              "a0=\"\" a1=\"\" items=1 ppid=0 pid=0 auid=0 uid=0 gid=0 euid=0 egid=0 tty= ses=0 "
              "comm=\"\" exe=\"\" key=\"vorla\"");
}

// The two architectures of the table and the value after the last, in all three formats; the
// audit tools name the system call by its number on the record's architecture.
TEST(ExecLines, ArchitectureNamesHoldUpToTheLastValue) {
    const struct {
        const char* cpuType;
        const char* name;
        const char* auditd;
    } rows[] = {
        {"16777223", "x86_64", "c000003e syscall=59"},
        {"16777228", "arm64", "c00000b7 syscall=221"},
        {"16777229", "unknown", "unknown syscall=59"},
        {"16777227", "unknown", "unknown syscall=59"},
    };
    for (const auto& row : rows) {
        const auto exec = message(R"({"event_type": 9, "event": {"image_cputype": )" +
                                  std::string(row.cpuType) + "}}");
        EXPECT_EQ(nlohmann::json::parse(execRecord(exec.message(), context()))["log"]["arch"],
                  row.name);
        EXPECT_EQ(CustomTemplate("${arch}").line(exec.message(), context()), row.name);
        EXPECT_NE(formatExecAuditd(exec.message()).find(std::string(" arch=") + row.auditd + " "),
                  std::string::npos)
            << row.cpuType;
    }
}

TEST(ExecAuditd, HexEncodesValuesThatCouldForgeFieldsOrRecords) {
    const auto hostile = message(R"({"event_type": 9, "global_seq_num": 1, "event": {"target": {
        "executable": "/tmp/my prog", "tty": "/dev/tty\"1"},
        "args": ["x\ntype=SYSCALL", "-c", "a a1=evil", "caf\u00e9"]}})");
    const std::string line = formatExecAuditd(hostile.message());
    EXPECT_NE(line.find("argc=4 a0=780A747970653D53595343414C4C a1=\"-c\" a2=612061313D6576696C "
                        "a3=636166C3A9\n"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find("exit=0 a0=\"x?type?SYSCALL\" a1=\"-c\" a2=\"a?a1?evil\" "
                        "a3=\"caf??\" items=1"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find(" comm=780A747970653D53595343414C4C exe=2F746D702F6D792070726F67 "),
              std::string::npos);
    EXPECT_NE(line.find(" tty=2F6465762F7474792231 "), std::string::npos);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
}

std::string hexOf(std::string_view bytes) {
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 0x0F];
    }
    return hex;
}

// The system-call record keeps a0 to a3 and no fewer than a0 and a1, each copy cut at 128 bytes
// and the command name at 1,024, so that the audit tools still read it; the execve record keeps
// every argument whole.
TEST(ExecAuditd, BoundsTheSystemCallRecordButNotTheExecveRecord) {
    const auto q = [](std::string_view text) { return '"' + std::string(text) + '"'; };
    const std::string x(16384, 'x'), x128(128, 'x'), x129(129, 'x'), p(1025, 'p');
    const std::string spaces(1025, ' ');
    std::string spacesHex;
    for (const char c : spaces) {
        spacesHex += hexOf(std::string(1, c));
    }
    const struct {
        std::vector<std::string> arguments;
        std::string copies;
        std::string comm;
        std::string execve;
    } rows[] = {
        {{"a"}, R"(a0="a" a1="")", q("a"), R"(argc=1 a0="a")"},
        {{"a", "b", "c"}, R"(a0="a" a1="b" a2="c")", q("a"), R"(a2="c")"},
        {{"a", "b", "c", "d", "e"}, R"(a0="a" a1="b" a2="c" a3="d")", q("a"), R"(a3="d" a4="e")"},
        {{"a", x128}, "a0=\"a\" a1=" + q(x128), q("a"), q(x128)},
        {{"a", x129}, "a0=\"a\" a1=" + q(x128), q("a"), q(x129)},
        {{"a", x}, "a0=\"a\" a1=" + q(x128), q("a"), "a1=" + q(x)},
        {{p.substr(0, 1024), "b"},
         "a0=" + q(p.substr(0, 128)) + " a1=\"b\"",
         q(p.substr(0, 1024)),
         "a0=" + q(p.substr(0, 1024)) + " a1=\"b\""},
        {{p}, "a0=" + q(p.substr(0, 128)) + " a1=\"\"", q(p.substr(0, 1024)), "a0=" + q(p)},
        {{spaces},
         "a0=" + q(std::string(128, '?')) + " a1=\"\"",
         spacesHex.substr(0, 2048),
         "a0=" + spacesHex},
    };
    for (const auto& row : rows) {
        nlohmann::json args = row.arguments;
        const auto exec = message(R"({"event_type": 9, "event": {"args": )" + args.dump() + "}}");
        const std::string line = formatExecAuditd(exec.message());
        const size_t syscall = line.find("\ntype=SYSCALL ");
        EXPECT_EQ(line.substr(syscall - row.execve.size(), row.execve.size()), row.execve);
        EXPECT_NE(line.find(" exit=0 " + row.copies + " items=1 ", syscall), std::string::npos)
            << line.substr(syscall);
        const size_t comm = line.find(" comm=", syscall) + 6;
        EXPECT_EQ(line.substr(comm, line.find(' ', comm) - comm), row.comm) << row.copies;
    }
}

// Each row one byte on either side of an edge of the quotable class, as an argument, as the
// executable and as the terminal, which stands bare where the others are quoted.
TEST(ExecAuditd, QuotesExactlyThePrintableBytesOtherThanSpaceAndQuote) {
    const struct {
        const char* argument;
        const char* execve;
        const char* syscall;
    } rows[] = {
        {"\x01", "01", "\"?\""},
        {"\x1F", "1F", "\"?\""},
        {" ", "20", "\"?\""},
        {"!", "\"!\"", "\"!\""},
        {"\"", "22", "\"?\""},
        {"#", "\"#\"", "\"#\""},
        {"~", "\"~\"", "\"~\""},
        {"\x7F", "7F", "\"?\""},
        {"\x80", "80", "\"?\""},
        {"\xC2\x80", "C280", "\"??\""},
        {"\xC2\x9F", "C29F", "\"??\""},
        {"\xC2\xA0", "C2A0", "\"??\""},
        {"\xFF", "FF", "\"?\""},
        {"deadbeef", "\"deadbeef\"", "\"deadbeef\""},
        {"C3A9", "\"C3A9\"", "\"C3A9\""},
        {"a=b", "\"a=b\"", "\"a?b\""},
    };
    for (const auto& row : rows) {
        const std::string file = R"({"path": {"hex": ")" + hexOf(row.argument) + R"("}})";
        const auto exec = message(R"({"event_type": 9, "event": {"target": {"executable": )" +
                                  file + R"(, "tty": )" + file + R"(}, "args": [{"hex": ")" +
                                  hexOf(row.argument) + R"("}]}})");
        const std::string line = formatExecAuditd(exec.message());
        std::string_view bare = row.execve;
        if (bare.front() == '"') {
            bare = bare.substr(1, bare.size() - 2);
        }
        EXPECT_NE(line.find(std::string("argc=1 a0=") + row.execve + "\n"), std::string::npos)
            << line;
        EXPECT_NE(line.find(std::string("exit=0 a0=") + row.syscall + " a1=\"\" "),
                  std::string::npos)
            << line;
        EXPECT_NE(line.find(std::string(" comm=") + row.execve + " "), std::string::npos) << line;
        EXPECT_NE(line.find(std::string(" exe=") + row.execve + " "), std::string::npos) << line;
        EXPECT_NE(line.find(" tty=" + std::string(bare) + " "), std::string::npos) << line;
    }
}

TEST(ExecCustom, FillsTheDefaultTemplate) {
    const auto ls = message(lsExec);
    EXPECT_EQ(CustomTemplate("${timestamp} ${username} ${group} ${command} ${args}")
                  .line(ls.message(), context()),
              "2024-05-01T10:00:01.123Z alice staff /bin/ls [\"ls\", \"-l\"]");
    EXPECT_EQ(CustomTemplate("${uid}/${guid}/${auid}/${euid}/${egid}/${pid}/${ppid} ${tty} "
                             "${cwd} ${arch} ${env} ${unknown} ${exec_path} ${script}")
                  .line(ls.message(), context()),
              "501/20/503/502/21/4242/4000 /dev/ttys001 /Users/alice arm64 [\"PATH=/usr/bin\"] "
              "${unknown} ${exec_path} ${script}");
}

TEST(ExecCustom, TakesOlderMessagesFromTheirOwnFields) {
    const auto old = message(R"({"event_type": 9, "version": 3,
        "time": {"sec": 1, "nsec": 0},
        "event": {"target": {"original_ppid": 77, "parent_audit_token": {"pid": 1200},
                             "tty": "", "start_time": {"sec": 1714557601, "usec": 500000}}}})");
    EXPECT_EQ(CustomTemplate("${ppid} ${tty} ${timestamp} ${command} ${args}")
                  .line(old.message(), context()),
              "77 unknown 2024-05-01T10:00:01.500Z ${command} []");
}

// Each version rule below and at its threshold: the terminal from version 2, the start time
// from version 3, the parent's process id as ${ppid} from version 4.
TEST(ExecLines, VersionRulesApplyFromTheirThresholdVersion) {
    const struct {
        const char* version;
        const char* custom;
        const char* auditdTime;
        const char* auditdTTY;
    } rows[] = {
        {"1", "77 unknown 2024-05-01T10:00:00.000Z", "1714557600", " tty= "},
        {"2", "77 /dev/ttys001 2024-05-01T10:00:00.000Z", "1714557600", " tty=/dev/ttys001 "},
        {"3", "77 /dev/ttys001 2024-05-01T10:00:01.123Z", "1714557601", " tty=/dev/ttys001 "},
        {"4", "4000 /dev/ttys001 2024-05-01T10:00:01.123Z", "1714557601", " tty=/dev/ttys001 "},
    };
    for (const auto& row : rows) {
        const auto ls =
            message(R"({"version": )" + std::string(row.version) + "," + lsExec.substr(1));
        EXPECT_EQ(CustomTemplate("${ppid} ${tty} ${timestamp}").line(ls.message(), context()),
                  row.custom);
        const std::string auditd = formatExecAuditd(ls.message());
        EXPECT_TRUE(
            auditd.starts_with(std::string("type=EXECVE msg=audit(") + row.auditdTime + ":42)"))
            << auditd;
        EXPECT_NE(auditd.find(row.auditdTTY), std::string::npos) << auditd;
    }
}

// A terminal whose path holds no byte before its end or its first zero byte is no terminal.
TEST(ExecLines, AnEmptyTerminalPathIsNone) {
    const struct {
        const char* tty;
        const char* custom;
        const char* auditd;
    } rows[] = {
        {R"("")", "unknown", " tty= "},
        {R"({"path": {"hex": "00"}})", "unknown", " tty= "},
        {R"({"path": {"data": "\u0000/dev/ttys001"}})", "unknown", " tty= "},
        {R"({"path": {"hex": "2f00"}})", "/", " tty=/ "},
    };
    for (const auto& row : rows) {
        const auto exec =
            message(R"({"event_type": 9, "version": 4, "event": {"target": {"tty": )" +
                    std::string(row.tty) + "}}}");
        EXPECT_EQ(CustomTemplate("${tty}").line(exec.message(), context()), row.custom) << row.tty;
        EXPECT_NE(formatExecAuditd(exec.message()).find(row.auditd), std::string::npos) << row.tty;
    }
}

TEST(ExecCustom, NoValueCanEndTheLineOrBeSubstitutedAgain) {
    const auto hostile = message(R"({"event_type": 9, "event": {"target": {
        "executable": "/tmp/${uid}\r\nforged\u001b"},
        "args": ["say \"hi\"\\", "tab\there", "bell\u0007"]}})");
    EXPECT_EQ(CustomTemplate("${command} ${args} ${uid}").line(hostile.message(), context()),
              "/tmp/${uid}\\r\\nforged\\x1B [\"say \\\"hi\\\"\\\\\", \"tab\\there\", "
              "\"bell\\x07\"] 0");
}

// A template is read once and filled in one pass; a key without a value keeps its block.
TEST(LineTemplate, FillsKnownBlocksInOnePass) {
    const std::string_view keys[] = {"a", "b", "", "none"};
    const std::optional<std::string> values[] = {"${b}", "B", "empty", std::nullopt};
    const struct {
        const char* format;
        const char* expected;
    } rows[] = {
        {"${a}-${b}", "${b}-B"},          {"${c} ${b", "${c} ${b"},   {"${x${b}}", "${xB}"},
        {"${}${b}${b}", "emptyBB"},       {"no blocks", "no blocks"}, {"${none}${b}", "${none}B"},
        {"${no${none}}", "${no${none}}"}, {"$${b}}", "$B}"},          {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LineTemplate(row.format, keys).fill(values), row.expected) << row.format;
    }
}

// The lines must stay readable by the Linux audit tools, hex-encoded values included.
TEST(ExecAuditd, LinesParseWithAusearch) {
    if (access("/usr/sbin/ausearch", X_OK) != 0) {
        GTEST_SKIP() << "ausearch is not installed";
    }
    const auto ls = message(lsExec);
    const auto hostile = message(R"({"event_type": 9, "global_seq_num": 43,
        "event": {"target": {"executable": "/bin/sh", "start_time": {"sec": 1714557602}},
                  "args": ["sh", "-c", "echo a1=x\ntype=EXECVE"]}})");
    const auto path = std::filesystem::temp_directory_path() /
                      ("vorla-auditd-" + std::to_string(getpid()) + ".log");
    {
        std::ofstream file(path, std::ios::binary);
        file << formatExecAuditd(ls.message()) << "\r\n"
             << formatExecAuditd(hostile.message()) << "\r\n";
    }
    const std::string command = "/usr/bin/timeout --verbose " +
                                std::to_string(bounded::waitLimit.count()) +
                                " /usr/sbin/ausearch -if '" + path.string() + "' -i 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char chunk[4096];
    while (const size_t count = fread(chunk, 1, sizeof chunk, pipe)) {
        output.append(chunk, count);
    }
    const int status = pclose(pipe);
    std::filesystem::remove(path);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("a0=ls a1=-l"), std::string::npos) << output;
    size_t events = 0;
    for (size_t at = output.find("----\n"); at != std::string::npos;
         at = output.find("----\n", at + 1)) {
        ++events;
    }
    EXPECT_EQ(events, 2u) << output;
    EXPECT_NE(output.find("a2=echo a1=x\\012type=EXECVE"), std::string::npos) << output;
    EXPECT_NE(output.find("key=vorla"), std::string::npos) << output;
}

// Each row one character on either side of an edge of the escaped class, as a value and as a
// list item, between plain runs.
TEST(ExecCustom, EscapesExactlyTheControlAndSeparatorCharacters) {
    const struct {
        const char* hex;
        const char* escaped;
    } rows[] = {
        {"01", "\\x01"},        {"08", "\\x08"},       {"09", "\\t"},
        {"0a", "\\n"},          {"0b", "\\x0B"},       {"0c", "\\x0C"},
        {"0d", "\\r"},          {"0e", "\\x0E"},       {"1b", "\\x1B"},
        {"1f", "\\x1F"},        {"20", " "},           {"7e", "~"},
        {"7f", "\\x7F"},        {"c280", "\\u0080"},   {"c285", "\\u0085"},
        {"c29f", "\\u009F"},    {"c2a0", "\xC2\xA0"},  {"e280a7", "\xE2\x80\xA7"},
        {"e280a8", "\\u2028"},  {"e280a9", "\\u2029"}, {"e280aa", "\xE2\x80\xAA"},
        {"80", "\xEF\xBF\xBD"},
    };
    for (const auto& row : rows) {
        const auto exec = message(R"({"event_type": 9, "event": {"target": {"executable":
            {"path": {"hex": "61)" +
                                  std::string(row.hex) + R"(6263"}}}, "args": [{"hex": ")" +
                                  row.hex + R"(61"}]}})");
        EXPECT_EQ(CustomTemplate("${command} ${args}").line(exec.message(), context()),
                  std::string("a").append(row.escaped) + "bc [\"" + row.escaped + "a\"]")
            << row.hex;
    }
}

} // namespace
} // namespace vorla::records
