#include "extension/records/AccessRecords.hpp"
#include "extension/records/Enumerations.hpp"
#include "extension/records/ProcessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

namespace {

nlohmann::json odData(const es_event_authentication_od_t& od, const RecordContext& context) {
    return {
        {"db_path", textOrEmpty(od.db_path)},
        {"instigator", processObject(od.instigator, context)},
        {"node_name", textOrEmpty(od.node_name)},
        {"record_name", textOrEmpty(od.record_name)},
        {"record_type", textOrEmpty(od.record_type)},
    };
}

nlohmann::json touchIDData(const es_event_authentication_touchid_t& touchid,
                           const RecordContext& context) {
    return {
        {"has_uid", touchid.has_uid},
        {"instigator", processObject(touchid.instigator, context)},
        {"mode", toString(touchIdModeFromValue(touchid.touchid_mode))},
        {"uid", touchid.uid},
    };
}

nlohmann::json tokenData(const es_event_authentication_token_t& token,
                         const RecordContext& context) {
    return {
        {" ", textOrEmpty(token.pubkey_hash)},
        {"instigator", processObject(token.instigator, context)},
        {"kerberos_principal", textOrEmpty(token.kerberos_principal)},
        {"token_id", textOrEmpty(token.token_id)},
    };
}

nlohmann::json autoUnlockData(const es_event_authentication_auto_unlock_t& autoUnlock) {
    return {
        {"type", toString(autoUnlockTypeFromValue(autoUnlock.type))},
        {"username", textOrEmpty(autoUnlock.username)},
    };
}

} // namespace

nlohmann::json authenticationRecord(const es_event_authentication_t& event,
                                    const RecordContext& context) {
    const AuthType type = authTypeFromValue(event.type);
    nlohmann::json data;
    switch (type) {
    case AuthType::od:
        data = odData(orDefault(event.data.od), context);
        break;
    case AuthType::touchID:
        data = touchIDData(orDefault(event.data.touchid), context);
        break;
    case AuthType::token:
        data = tokenData(orDefault(event.data.token), context);
        break;
    case AuthType::autoUnlock:
        data = autoUnlockData(orDefault(event.data.auto_unlock));
        break;
    case AuthType::unknown:
        return nullptr;
    }
    return accessRecord(context, "authentication",
                        {
                            {"data", std::move(data)},
                            {"success", event.success},
                            {"type", toString(type)},
                        });
}

} // namespace vorla::records
