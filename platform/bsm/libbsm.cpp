#include "platform/bsm/libbsm.h"

extern "C" {

uid_t audit_token_to_auid(audit_token_t token) {
    return token.val[0];
}
uid_t audit_token_to_euid(audit_token_t token) {
    return token.val[1];
}
gid_t audit_token_to_egid(audit_token_t token) {
    return token.val[2];
}
uid_t audit_token_to_ruid(audit_token_t token) {
    return token.val[3];
}
gid_t audit_token_to_rgid(audit_token_t token) {
    return token.val[4];
}
pid_t audit_token_to_pid(audit_token_t token) {
    return static_cast<pid_t>(token.val[5]);
}
}
