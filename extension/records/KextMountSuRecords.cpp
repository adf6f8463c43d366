#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

namespace {

nlohmann::json kextRecord(std::string_view event, const es_string_token_t& identifier,
                          const RecordContext& context) {
    nlohmann::json fields = nlohmann::json::object();
    putText(fields, "identifier", identifier);
    return accessRecord(context, event, std::move(fields));
}

// The 64-bit counters keep their unsigned value, so counts of 2^63 and more stay exact.
nlohmann::json statfsRecord(std::string_view event, const es_statfs_t* given,
                            const RecordContext& context) {
    const es_statfs_t none{};
    const es_statfs_t& statfs = given ? *given : none;
    return accessRecord(
        context, event,
        {
            {"f_bavail", statfs.f_bavail},
            {"f_bfree", statfs.f_bfree},
            {"f_blocks", statfs.f_blocks},
            {"f_bsize", statfs.f_bsize},
            {"f_ffree", statfs.f_ffree},
            {"f_files", statfs.f_files},
            {"f_flags", statfs.f_flags},
            {"f_flags_ext", statfs.f_flags_ext},
            {"f_fsid", std::to_string(statfs.f_fsid.val[0]) + std::to_string(statfs.f_fsid.val[1])},
            {"f_fstypename", fixedText(statfs.f_fstypename, sizeof statfs.f_fstypename)},
            {"f_iosize", statfs.f_iosize},
            {"f_mntfromname", fixedText(statfs.f_mntfromname, sizeof statfs.f_mntfromname)},
            {"f_mntonname", fixedText(statfs.f_mntonname, sizeof statfs.f_mntonname)},
            {"f_owner", statfs.f_owner},
            {"f_type", statfs.f_type},
        });
}

// Only the first entry of a list is recorded, as a single text.
void putFirst(nlohmann::json& fields, const char* key, const es_string_token_t* list,
              size_t count) {
    if (list && count > 0) {
        putText(fields, key, list[0]);
    }
}

} // namespace

nlohmann::json kextloadRecord(const es_event_kextload_t& event, const RecordContext& context) {
    return kextRecord("kextload", event.identifier, context);
}

nlohmann::json kextunloadRecord(const es_event_kextunload_t& event, const RecordContext& context) {
    return kextRecord("kextunload", event.identifier, context);
}

nlohmann::json mountRecord(const es_event_mount_t& event, const RecordContext& context) {
    return statfsRecord("mount", event.statfs, context);
}

nlohmann::json unmountRecord(const es_event_unmount_t& event, const RecordContext& context) {
    return statfsRecord("unmount", event.statfs, context);
}

nlohmann::json suRecord(const es_event_su_t& event, const RecordContext& context) {
    nlohmann::json fields = {
        {"success", event.success},
        {"from_uid", event.from_uid},
        {"has_to_uid", event.has_to_uid},
        {"to_uid", event.to_uid},
    };
    putText(fields, "failure_message", event.failure_message);
    putText(fields, "from_username", event.from_username);
    putText(fields, "to_username", event.to_username);
    putText(fields, "shell", event.shell);
    putFirst(fields, "args", event.argv, event.argc);
    putFirst(fields, "env", event.env, event.env_count);
    return accessRecord(context, "su", std::move(fields));
}

nlohmann::json iokitOpenRecord(const es_event_iokit_open_t& event, const RecordContext& context) {
    nlohmann::json fields = {{"user_client_type", event.user_client_type}};
    putText(fields, "user_client_class", event.user_client_class);
    return accessRecord(context, "iokit_open", std::move(fields));
}

} // namespace vorla::records
