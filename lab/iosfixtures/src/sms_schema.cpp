#include "sms_schema.h"

namespace iosfix {

std::string smsSchemaLegacy() {
    return "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
           "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, date "
           "INTEGER, text TEXT, flags INTEGER, replace INTEGER, svc_center TEXT, group_id INTEGER, "
           "association_id INTEGER, height INTEGER, UIFlags INTEGER, version INTEGER, subject "
           "TEXT, "
           "country TEXT, headers BLOB, recipients BLOB, read INTEGER, madrid_attributedBody BLOB, "
           "madrid_handle TEXT, madrid_version INTEGER, madrid_guid TEXT, madrid_type INTEGER, "
           "madrid_roomname TEXT, madrid_service TEXT, madrid_account TEXT, madrid_account_guid "
           "TEXT, madrid_flags INTEGER, madrid_attachmentInfo BLOB, madrid_url TEXT, madrid_error "
           "INTEGER, is_madrid INTEGER, madrid_date_read INTEGER, madrid_date_delivered INTEGER);"
           "CREATE TABLE msg_group (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER, "
           "newest_message INTEGER, unread_count INTEGER, hash INTEGER);"
           "CREATE TABLE group_member (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, group_id INTEGER, "
           "address TEXT, country TEXT);"
           "CREATE TABLE msg_pieces (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, message_id INTEGER, "
           "data BLOB, part_id INTEGER, preview_part INTEGER, content_type TEXT, height INTEGER, "
           "version INTEGER, flags INTEGER, content_id TEXT, content_loc TEXT, headers BLOB);"
           "CREATE INDEX message_group_index ON message(group_id, ROWID);"
           "CREATE INDEX message_flags_index ON message(flags);";
}

std::string smsSchemaModern(int v) {
    std::string message =
        "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
        "text TEXT, replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, "
        "subject TEXT, country TEXT, attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER "
        "DEFAULT 0, service TEXT, account TEXT, account_guid TEXT, error INTEGER DEFAULT 0, date "
        "INTEGER, date_read INTEGER, date_delivered INTEGER, is_delivered INTEGER DEFAULT 0, "
        "is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, is_from_me INTEGER DEFAULT 0, "
        "is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, is_auto_reply INTEGER DEFAULT "
        "0, "
        "is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, is_system_message INTEGER "
        "DEFAULT 0, is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0, "
        "is_service_message INTEGER DEFAULT 0, is_forward INTEGER DEFAULT 0, was_downgraded "
        "INTEGER DEFAULT 0, is_archive INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0, "
        "cache_roomnames TEXT, was_data_detected INTEGER DEFAULT 0, was_deduplicated INTEGER "
        "DEFAULT 0";
    if (v >= 9)
        message += ", is_audio_message INTEGER DEFAULT 0, is_played INTEGER DEFAULT 0, date_played "
                   "INTEGER, item_type INTEGER DEFAULT 0, other_handle INTEGER DEFAULT 0, "
                   "group_title TEXT, group_action_type INTEGER DEFAULT 0, share_status INTEGER "
                   "DEFAULT 0, share_direction INTEGER DEFAULT 0, is_expirable INTEGER DEFAULT 0, "
                   "expire_state INTEGER DEFAULT 0, message_action_type INTEGER DEFAULT 0, "
                   "message_source INTEGER DEFAULT 0";
    if (v >= 11)
        message += ", associated_message_guid TEXT DEFAULT NULL, associated_message_type INTEGER "
                   "DEFAULT 0, balloon_bundle_id TEXT DEFAULT NULL, payload_data BLOB, "
                   "expressive_send_style_id TEXT DEFAULT NULL, associated_message_range_location "
                   "INTEGER DEFAULT 0, associated_message_range_length INTEGER DEFAULT 0, "
                   "time_expressive_send_played INTEGER DEFAULT 0, message_summary_info BLOB "
                   "DEFAULT NULL, ck_sync_state INTEGER DEFAULT 0, ck_record_id TEXT DEFAULT NULL, "
                   "ck_record_change_tag TEXT DEFAULT NULL, destination_caller_id TEXT DEFAULT "
                   "NULL, sr_ck_sync_state INTEGER DEFAULT 0, sr_ck_record_id TEXT DEFAULT NULL, "
                   "sr_ck_record_change_tag TEXT DEFAULT NULL, is_corrupt INTEGER DEFAULT 0, "
                   "reply_to_guid TEXT DEFAULT NULL, sort_id INTEGER DEFAULT 0, is_spam INTEGER "
                   "DEFAULT 0";
    if (v >= 14)
        message += ", has_unseen_mention INTEGER DEFAULT 0, thread_originator_guid TEXT DEFAULT "
                   "NULL, thread_originator_part TEXT DEFAULT NULL, syndication_ranges TEXT "
                   "DEFAULT NULL, was_delivered_quietly INTEGER DEFAULT 0, did_notify_recipient "
                   "INTEGER DEFAULT 0, synced_syndication_ranges TEXT DEFAULT NULL";
    if (v >= 17)
        message += ", date_retracted INTEGER DEFAULT 0, date_edited INTEGER DEFAULT 0, "
                   "was_detonated INTEGER DEFAULT 0, part_count INTEGER, is_stewie INTEGER "
                   "DEFAULT 0, is_kt_verified INTEGER DEFAULT 0, is_sos INTEGER DEFAULT 0, "
                   "is_critical INTEGER DEFAULT 0, bia_reference_id TEXT DEFAULT NULL, "
                   "fallback_hash TEXT DEFAULT NULL, associated_message_emoji TEXT DEFAULT NULL, "
                   "is_pending_satellite_send INTEGER DEFAULT 0, needs_relay INTEGER DEFAULT 0, "
                   "schedule_type INTEGER DEFAULT 0, schedule_state INTEGER DEFAULT 0, "
                   "sent_or_received_off_grid INTEGER DEFAULT 0";
    message += ");";

    std::string handle = "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id "
                         "TEXT NOT NULL, country TEXT, service TEXT NOT NULL, uncanonicalized_id "
                         "TEXT";
    if (v >= 11)
        handle += ", person_centric_id TEXT DEFAULT NULL";
    handle += ", UNIQUE (id, service));";

    std::string chat =
        "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
        "style INTEGER, state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, "
        "service_name TEXT, room_name TEXT, account_login TEXT, is_archived INTEGER DEFAULT 0, "
        "last_addressed_handle TEXT, display_name TEXT, group_id TEXT, is_filtered INTEGER DEFAULT "
        "0, successful_query INTEGER";
    if (v >= 9)
        chat += ", engram_id TEXT, server_change_token TEXT, ck_sync_state INTEGER DEFAULT 0, "
                "original_group_id TEXT, last_read_message_timestamp INTEGER DEFAULT 0";
    if (v >= 11)
        chat += ", cloudkit_record_id TEXT, last_addressed_sim_id TEXT, is_blackholed INTEGER "
                "DEFAULT 0";
    if (v >= 14)
        chat += ", syndication_date INTEGER DEFAULT 0, syndication_type INTEGER DEFAULT 0";
    if (v >= 17)
        chat += ", is_recovered INTEGER DEFAULT 0, is_deleting_incoming_messages INTEGER DEFAULT 0";
    chat += ");";

    std::string joins =
        "CREATE TABLE chat_handle_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, "
        "handle_id INTEGER REFERENCES handle (ROWID) ON DELETE CASCADE, UNIQUE(chat_id, "
        "handle_id));"
        "CREATE TABLE chat_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE "
        "CASCADE, message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE";
    joins += v >= 11 ? ", message_date INTEGER DEFAULT 0, PRIMARY KEY (chat_id, message_id));"
                     : ", PRIMARY KEY (chat_id, message_id));";
    joins += "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE "
             "NOT NULL, created_date INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename "
             "TEXT, uti TEXT, mime_type TEXT, transfer_state INTEGER DEFAULT 0, is_outgoing "
             "INTEGER DEFAULT 0);"
             "CREATE TABLE message_attachment_join (message_id INTEGER REFERENCES message (ROWID) "
             "ON DELETE CASCADE, attachment_id INTEGER REFERENCES attachment (ROWID) ON DELETE "
             "CASCADE, UNIQUE(message_id, attachment_id));"
             "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
             "CREATE INDEX message_idx_handle ON message(handle_id, date);"
             "CREATE INDEX chat_idx_chat_identifier ON chat(chat_identifier);";
    if (v >= 11)
        joins += "CREATE INDEX chat_message_join_idx_message_id_only ON "
                 "chat_message_join(message_id);"
                 "CREATE INDEX message_idx_date ON message(date);";
    return message + handle + chat + joins;
}

} // namespace iosfix
