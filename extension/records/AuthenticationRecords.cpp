#include "extension/records/AccessRecords.hpp"
#include "extension/records/Enumerations.hpp"
#include "extension/records/ProcessRecords.hpp"
#include "extension/records/RecordFields.hpp"
#include "platform/foundation/JSONEncoder.hpp"

namespace vorla::records {

namespace {

void writeInstigator(JSONLine& line, const es_process_t* instigator, UserNameCache& userNames) {
    line.key("instigator");
    writeProcess(line, instigator, userNames);
}

void writeOD(JSONLine& line, const es_event_authentication_od_t& od, UserNameCache& userNames) {
    line.beginObject();
    line.key("db_path").string(bytesOrEmpty(od.db_path));
    writeInstigator(line, od.instigator, userNames);
    line.key("node_name").string(bytesOrEmpty(od.node_name));
    line.key("record_name").string(bytesOrEmpty(od.record_name));
    line.key("record_type").string(bytesOrEmpty(od.record_type));
    line.endObject();
}

void writeTouchID(JSONLine& line, const es_event_authentication_touchid_t& touchid,
                  UserNameCache& userNames) {
    line.beginObject();
    line.key("has_uid").boolean(touchid.has_uid);
    writeInstigator(line, touchid.instigator, userNames);
    line.key("mode").string(toString(touchIdModeFromValue(touchid.touchid_mode)));
    line.key("uid").number(touchid.uid);
    line.endObject();
}

// The public key's hash goes under the one-space key, which sorts before every letter.
void writeToken(JSONLine& line, const es_event_authentication_token_t& token,
                UserNameCache& userNames) {
    line.beginObject();
    line.key(" ").string(bytesOrEmpty(token.pubkey_hash));
    writeInstigator(line, token.instigator, userNames);
    line.key("kerberos_principal").string(bytesOrEmpty(token.kerberos_principal));
    line.key("token_id").string(bytesOrEmpty(token.token_id));
    line.endObject();
}

void writeAutoUnlock(JSONLine& line, const es_event_authentication_auto_unlock_t& autoUnlock) {
    line.beginObject();
    line.key("type").string(toString(autoUnlockTypeFromValue(autoUnlock.type)));
    line.key("username").string(bytesOrEmpty(autoUnlock.username));
    line.endObject();
}

} // namespace

std::string authenticationRecord(const es_event_authentication_t& event,
                                 const RecordContext& context) {
    const AuthType type = authTypeFromValue(event.type);
    JSONLine line = beginAccessRecord();
    line.key("data");
    switch (type) {
    case AuthType::od:
        writeOD(line, orDefault(event.data.od), context.userNames);
        break;
    case AuthType::touchID:
        writeTouchID(line, orDefault(event.data.touchid), context.userNames);
        break;
    case AuthType::token:
        writeToken(line, orDefault(event.data.token), context.userNames);
        break;
    case AuthType::autoUnlock:
        writeAutoUnlock(line, orDefault(event.data.auto_unlock));
        break;
    case AuthType::unknown:
        // A kind without data writes nothing: refused as the encoder refuses an empty value.
        throw foundation::JSONEncoder::EncodingError::nothingEncoded();
    }
    line.key("event").string("authentication");
    line.key("success").boolean(event.success);
    line.key("type").string(toString(type));
    return endAccessRecord(line, context);
}

} // namespace vorla::records
