#pragma once

// The part of the Basic Security Module library that reads identities out of an audit token.

#include <stdint.h>
#include <sys/types.h>

// An audit token as the kernel hands it out: eight words, in this order: audit user id,
// effective user id, effective group id, real user id, real group id, process id, audit
// session id, process id version.
typedef struct {
    uint32_t val[8];
} audit_token_t;

#ifdef __cplusplus
extern "C" {
#endif

uid_t audit_token_to_auid(audit_token_t token);
uid_t audit_token_to_euid(audit_token_t token);
gid_t audit_token_to_egid(audit_token_t token);
uid_t audit_token_to_ruid(audit_token_t token);
gid_t audit_token_to_rgid(audit_token_t token);
pid_t audit_token_to_pid(audit_token_t token);

#ifdef __cplusplus
}
#endif
