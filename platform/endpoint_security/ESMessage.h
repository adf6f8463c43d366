#pragma once

// Endpoint Security messages and the payloads of the events that the extension reads.

#include "platform/endpoint_security/ESTypes.h"

#include <time.h>

typedef struct {
    es_process_t* target;
    es_string_token_t dyld_exec_path;
    es_file_t* script;
    es_file_t* cwd;
    cpu_type_t image_cputype;
    // Read through es_exec_arg_count/es_exec_arg and es_exec_env_count/es_exec_env.
    uint32_t reserved_arg_count;
    const es_string_token_t* reserved_args;
    uint32_t reserved_env_count;
    const es_string_token_t* reserved_env;
} es_event_exec_t;

typedef struct {
    es_string_token_t identifier;
} es_event_kextload_t;

typedef struct {
    es_string_token_t identifier;
} es_event_kextunload_t;

typedef struct {
    es_statfs_t* statfs;
} es_event_mount_t;

typedef struct {
    es_statfs_t* statfs;
} es_event_unmount_t;

typedef struct {
    uint32_t user_client_type;
    es_string_token_t user_client_class;
} es_event_iokit_open_t;

typedef struct {
    mode_t mode;
    es_file_t* target;
} es_event_setmode_t;

typedef struct {
    uid_t uid;
    gid_t gid;
    es_file_t* target;
} es_event_setowner_t;

typedef struct {
    es_process_t* instigator;
    es_string_token_t record_type;
    es_string_token_t record_name;
    es_string_token_t node_name;
    es_string_token_t db_path;
} es_event_authentication_od_t;

typedef struct {
    es_process_t* instigator;
    es_touchid_mode_t touchid_mode;
    bool has_uid;
    uid_t uid;
} es_event_authentication_touchid_t;

typedef struct {
    es_process_t* instigator;
    es_string_token_t pubkey_hash;
    es_string_token_t token_id;
    es_string_token_t kerberos_principal;
} es_event_authentication_token_t;

typedef struct {
    es_string_token_t username;
    es_auto_unlock_type_t type;
} es_event_authentication_auto_unlock_t;

typedef struct {
    bool success;
    es_authentication_type_t type;
    // Which member is set follows type; types 4 and above carry none.
    union {
        es_event_authentication_od_t* od;
        es_event_authentication_touchid_t* touchid;
        es_event_authentication_token_t* token;
        es_event_authentication_auto_unlock_t* auto_unlock;
    } data;
} es_event_authentication_t;

typedef struct {
    es_string_token_t username;
    es_graphical_session_id_t graphical_session_id;
} es_event_lw_session_login_t;

typedef struct {
    es_string_token_t username;
    es_graphical_session_id_t graphical_session_id;
} es_event_lw_session_logout_t;

typedef struct {
    es_string_token_t username;
    es_graphical_session_id_t graphical_session_id;
} es_event_lw_session_lock_t;

typedef struct {
    es_string_token_t username;
    es_graphical_session_id_t graphical_session_id;
} es_event_lw_session_unlock_t;

typedef struct {
    bool success;
    es_address_type_t source_address_type;
    es_string_token_t source_address;
    es_string_token_t viewer_appleid;
    es_string_token_t authentication_type;
    es_string_token_t authentication_username;
    es_string_token_t session_username;
    bool existing_session;
    es_graphical_session_id_t graphical_session_id;
} es_event_screensharing_attach_t;

typedef struct {
    es_address_type_t source_address_type;
    es_string_token_t source_address;
    es_string_token_t viewer_appleid;
    es_graphical_session_id_t graphical_session_id;
} es_event_screensharing_detach_t;

typedef struct {
    bool success;
    es_openssh_login_result_type_t result_type;
    es_address_type_t source_address_type;
    es_string_token_t source_address;
    es_string_token_t username;
    bool has_uid;
    uid_t uid;
} es_event_openssh_login_t;

typedef struct {
    es_address_type_t source_address_type;
    es_string_token_t source_address;
    es_string_token_t username;
    uid_t uid;
} es_event_openssh_logout_t;

typedef struct {
    bool success;
    es_string_token_t failure_message;
    es_string_token_t username;
    bool has_uid;
    uid_t uid;
} es_event_login_login_t;

typedef struct {
    es_string_token_t username;
    uid_t uid;
} es_event_login_logout_t;

typedef struct {
    bool success;
    es_string_token_t failure_message;
    uid_t from_uid;
    es_string_token_t from_username;
    bool has_to_uid;
    uid_t to_uid;
    es_string_token_t to_username;
    es_string_token_t shell;
    size_t argc;
    es_string_token_t* argv;
    size_t env_count;
    es_string_token_t* env;
} es_event_su_t;

typedef struct {
    es_string_token_t plugin_name;
    es_sudo_plugin_type_t plugin_type;
    es_string_token_t failure_message;
} es_sudo_reject_info_t;

typedef struct {
    bool success;
    es_sudo_reject_info_t* reject_info;
    bool has_from_uid;
    uid_t from_uid;
    es_string_token_t from_username;
    bool has_to_uid;
    uid_t to_uid;
    es_string_token_t to_username;
    es_string_token_t command;
} es_event_sudo_t;

// The payload of a message; the member that is set follows the message's event type. The
// events of the older interface are held in place, the later ones through a pointer.
typedef union {
    es_event_exec_t exec;
    es_event_kextload_t kextload;
    es_event_kextunload_t kextunload;
    es_event_mount_t mount;
    es_event_unmount_t unmount;
    es_event_iokit_open_t iokit_open;
    es_event_setmode_t setmode;
    es_event_setowner_t setowner;
    es_event_authentication_t* authentication;
    es_event_lw_session_login_t* lw_session_login;
    es_event_lw_session_logout_t* lw_session_logout;
    es_event_lw_session_lock_t* lw_session_lock;
    es_event_lw_session_unlock_t* lw_session_unlock;
    es_event_screensharing_attach_t* screensharing_attach;
    es_event_screensharing_detach_t* screensharing_detach;
    es_event_openssh_login_t* openssh_login;
    es_event_openssh_logout_t* openssh_logout;
    es_event_login_login_t* login_login;
    es_event_login_logout_t* login_logout;
    es_event_su_t* su;
    es_event_sudo_t* sudo;
} es_events_t;

typedef struct {
    uint32_t version;
    struct timespec time;
    uint64_t global_seq_num;
    es_process_t* process;
    es_event_type_t event_type;
    es_events_t event;
} es_message_t;
