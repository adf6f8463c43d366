#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

namespace {

std::string kextRecord(std::string_view event, const es_string_token_t& identifier,
                       const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string(event);
    writeIfPresent(line, "identifier", tokenView(identifier));
    return endAccessRecord(line, context);
}

void writeFixed(JSONLine& line, std::string_view key, const auto& characters) {
    line.key(key).string(fixedView(characters, sizeof characters));
}

// The 64-bit counters keep their unsigned value, so counts of 2^63 and more stay exact.
std::string statfsRecord(std::string_view event, const es_statfs_t* given,
                         const RecordContext& context) {
    const es_statfs_t& statfs = orDefault(given);
    JSONLine line = beginAccessRecord();
    line.key("event").string(event);
    line.key("f_bavail").number(statfs.f_bavail);
    line.key("f_bfree").number(statfs.f_bfree);
    line.key("f_blocks").number(statfs.f_blocks);
    line.key("f_bsize").number(statfs.f_bsize);
    line.key("f_ffree").number(statfs.f_ffree);
    line.key("f_files").number(statfs.f_files);
    line.key("f_flags").number(statfs.f_flags);
    line.key("f_flags_ext").number(statfs.f_flags_ext);
    line.key("f_fsid").string(std::to_string(statfs.f_fsid.val[0]) +
                              std::to_string(statfs.f_fsid.val[1]));
    writeFixed(line, "f_fstypename", statfs.f_fstypename);
    line.key("f_iosize").number(statfs.f_iosize);
    writeFixed(line, "f_mntfromname", statfs.f_mntfromname);
    writeFixed(line, "f_mntonname", statfs.f_mntonname);
    line.key("f_owner").number(statfs.f_owner);
    line.key("f_type").number(statfs.f_type);
    return endAccessRecord(line, context);
}

// Only the first entry of a list is recorded, as a single text.
std::optional<std::string_view> firstOf(const es_string_token_t* list, size_t count) {
    return list && count > 0 ? tokenView(list[0]) : std::nullopt;
}

} // namespace

std::string kextloadRecord(const es_event_kextload_t& event, const RecordContext& context) {
    return kextRecord("kextload", event.identifier, context);
}

std::string kextunloadRecord(const es_event_kextunload_t& event, const RecordContext& context) {
    return kextRecord("kextunload", event.identifier, context);
}

std::string mountRecord(const es_event_mount_t& event, const RecordContext& context) {
    return statfsRecord("mount", event.statfs, context);
}

std::string unmountRecord(const es_event_unmount_t& event, const RecordContext& context) {
    return statfsRecord("unmount", event.statfs, context);
}

std::string suRecord(const es_event_su_t& event, const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    writeIfPresent(line, "args", firstOf(event.argv, event.argc));
    writeIfPresent(line, "env", firstOf(event.env, event.env_count));
    line.key("event").string("su");
    writeIfPresent(line, "failure_message", tokenView(event.failure_message));
    line.key("from_uid").number(event.from_uid);
    writeIfPresent(line, "from_username", tokenView(event.from_username));
    line.key("has_to_uid").boolean(event.has_to_uid);
    writeIfPresent(line, "shell", tokenView(event.shell));
    line.key("success").boolean(event.success);
    line.key("to_uid").number(event.to_uid);
    writeIfPresent(line, "to_username", tokenView(event.to_username));
    return endAccessRecord(line, context);
}

std::string iokitOpenRecord(const es_event_iokit_open_t& event, const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string("iokit_open");
    writeIfPresent(line, "user_client_class", tokenView(event.user_client_class));
    line.key("user_client_type").number(event.user_client_type);
    return endAccessRecord(line, context);
}

} // namespace vorla::records
