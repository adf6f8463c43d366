#pragma once

// The basic values of Endpoint Security messages: string tokens, files, processes and the
// numbered kinds that the payloads carry.

#include "platform/bsm/libbsm.h"

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/time.h>
#include <sys/types.h>

// A length and a pointer to bytes. The bytes need not end with a zero byte within the length;
// the service pads every token it delivers with zero bytes behind its length.
typedef struct {
    size_t length;
    const char* data;
} es_string_token_t;

typedef struct {
    es_string_token_t path;
} es_file_t;

typedef struct {
    audit_token_t audit_token;
    pid_t ppid;
    pid_t original_ppid;
    pid_t group_id;
    pid_t session_id;
    bool is_platform_binary;
    es_string_token_t signing_id;
    es_string_token_t team_id;
    es_file_t* executable;
    es_file_t* tty;
    struct timeval start_time;
    audit_token_t responsible_audit_token;
    audit_token_t parent_audit_token;
} es_process_t;

// The numbered kinds are plain 32-bit numbers with named values, because the service may
// deliver numbers that no name covers and the readers must treat those too.
typedef uint32_t es_event_type_t;
enum {
    ES_EVENT_TYPE_NOTIFY_EXEC = 9,
    ES_EVENT_TYPE_NOTIFY_KEXTLOAD = 17,
    ES_EVENT_TYPE_NOTIFY_KEXTUNLOAD = 18,
    ES_EVENT_TYPE_NOTIFY_MOUNT = 22,
    ES_EVENT_TYPE_NOTIFY_UNMOUNT = 23,
    ES_EVENT_TYPE_NOTIFY_IOKIT_OPEN = 24,
    ES_EVENT_TYPE_NOTIFY_AUTHENTICATION = 111,
    ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOGIN = 114,
    ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOGOUT = 115,
    ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOCK = 116,
    ES_EVENT_TYPE_NOTIFY_LW_SESSION_UNLOCK = 117,
    ES_EVENT_TYPE_NOTIFY_SCREENSHARING_ATTACH = 118,
    ES_EVENT_TYPE_NOTIFY_SCREENSHARING_DETACH = 119,
    ES_EVENT_TYPE_NOTIFY_OPENSSH_LOGIN = 120,
    ES_EVENT_TYPE_NOTIFY_OPENSSH_LOGOUT = 121,
    ES_EVENT_TYPE_NOTIFY_LOGIN_LOGIN = 122,
    ES_EVENT_TYPE_NOTIFY_LOGIN_LOGOUT = 123,
    ES_EVENT_TYPE_NOTIFY_SU = 128,
    ES_EVENT_TYPE_NOTIFY_SUDO = 131,
};

typedef uint32_t es_address_type_t;
enum {
    ES_ADDRESS_TYPE_NONE = 0,
    ES_ADDRESS_TYPE_IPV4 = 1,
    ES_ADDRESS_TYPE_IPV6 = 2,
    ES_ADDRESS_TYPE_NAMED_SOCKET = 3,
};

typedef uint32_t es_openssh_login_result_type_t;
typedef uint32_t es_authentication_type_t;
enum {
    ES_AUTHENTICATION_TYPE_OD = 0,
    ES_AUTHENTICATION_TYPE_TOUCHID = 1,
    ES_AUTHENTICATION_TYPE_TOKEN = 2,
    ES_AUTHENTICATION_TYPE_AUTO_UNLOCK = 3,
};
typedef uint32_t es_touchid_mode_t;
typedef uint32_t es_auto_unlock_type_t;
typedef uint32_t es_sudo_plugin_type_t;
typedef uint32_t es_graphical_session_id_t;
typedef int32_t cpu_type_t;

// The file-system record of a mount. Linux's own headers already declare a different
// struct statfs, so this one carries a name of its own; the payload field keeps its name.
typedef struct {
    int32_t val[2];
} es_fsid_t;

typedef struct {
    uint32_t f_bsize;
    int32_t f_iosize;
    uint64_t f_blocks;
    uint64_t f_bfree;
    uint64_t f_bavail;
    uint64_t f_files;
    uint64_t f_ffree;
    es_fsid_t f_fsid;
    uid_t f_owner;
    uint32_t f_type;
    uint32_t f_flags;
    uint32_t f_fssubtype;
    char f_fstypename[16];
    char f_mntonname[1024];
    char f_mntfromname[1024];
    uint32_t f_flags_ext;
} es_statfs_t;
