// sms.db: the layout from iOS 6 on (message, handle, chat and their joins)
// and the older one (message with address and group_id).
#include "apple_time.h"
#include "attributed_body.h"
#include "readers.h"

#include <unordered_map>

namespace dbsifter {
namespace {

Text bodyOf(const Stmt& st, int textCol, int blobCol) {
    Text text = st.text(textCol);
    if (text && !text->empty())
        return text;
    if (blobCol >= 0 && st.isBlob(blobCol)) {
        std::string_view b = st.bytes(blobCol);
        if (auto decoded =
                decodeAttributedBody(reinterpret_cast<const uint8_t*>(b.data()), b.size()))
            return decoded;
    }
    return text;
}

// Conversations by message, and their members, read once so the message
// scan needs no per-row lookups (older schemas have no index on message_id).
struct ChatIndex {
    std::unordered_map<int64_t, int64_t> chatOfMessage;
    std::unordered_map<int64_t, std::string> membersOfChat;
};

ChatIndex loadChats(SourceDb& db, const std::unordered_map<int64_t, std::string>& handles) {
    ChatIndex idx;
    if (db.hasTable("chat_message_join")) {
        Stmt st(db.handle(), "SELECT chat_id, message_id FROM chat_message_join ORDER BY chat_id");
        while (st.step())
            idx.chatOfMessage.emplace(st.int64(1), st.int64(0));
    }
    if (db.hasTable("chat_handle_join")) {
        Stmt st(db.handle(),
                "SELECT chat_id, handle_id FROM chat_handle_join ORDER BY chat_id, handle_id");
        while (st.step()) {
            auto h = handles.find(st.int64(1));
            if (h == handles.end())
                continue;
            std::string& members = idx.membersOfChat[st.int64(0)];
            members += (members.empty() ? "" : ",") + h->second;
        }
    }
    return idx;
}

bool readModern(SourceDb& db, const RowSink<MessageRow>& out, std::string* why) {
    std::unordered_map<int64_t, std::string> handles;
    if (db.hasTable("handle")) {
        Stmt st(db.handle(), "SELECT ROWID, id FROM handle");
        while (st.step())
            if (auto id = st.text(1))
                handles.emplace(st.int64(0), *id);
    }
    const ChatIndex chats = loadChats(db, handles);
    const auto cols = db.columns("message");
    Stmt st(db.handle(), "SELECT ROWID, " + columnOrNull(cols, "text") + ", " +
                             columnOrNull(cols, "attributedBody") + ", " +
                             columnOrNull(cols, "handle_id") + ", " + columnOrNull(cols, "date") +
                             ", " + columnOrNull(cols, "is_from_me") + ", " +
                             columnOrNull(cols, "is_read") + ", " + columnOrNull(cols, "error") +
                             " FROM message ORDER BY ROWID");
    while (st.step()) {
        MessageRow m;
        const int64_t rowid = st.int64(0);
        const int64_t handleId = st.int64(3);
        m.smsId = decimal(rowid);
        m.body = bodyOf(st, 1, 2);
        auto chat = chats.chatOfMessage.find(rowid);
        auto handle = handles.find(handleId);
        if (handleId > 0 && handle != handles.end()) {
            m.address = handle->second;
        } else if (chat != chats.chatOfMessage.end()) {
            // Sent into a group (or kept without a handle): the conversation's people.
            auto members = chats.membersOfChat.find(chat->second);
            if (members != chats.membersOfChat.end())
                m.address = members->second;
        }
        if (!st.isNull(4) && st.int64(4) != 0)
            m.date = decimal(messageDateToMs(st.int64(4)));
        const bool fromMe = st.int64(5) != 0;
        m.type = fromMe ? (st.int64(7) != 0 ? "5" : "2") : "1";
        m.read = (fromMe || st.int64(6) != 0) ? "1" : "0";
        if (chat != chats.chatOfMessage.end())
            m.threadId = decimal(chat->second);
        else if (handleId > 0)
            m.threadId = "h" + decimal(handleId);
        else
            m.threadId = "m" + decimal(rowid);
        if (!out(m)) {
            *why = "out of memory";
            return false;
        }
    }
    if (!st.ok()) {
        *why = "reading messages failed: " + st.error();
        return false;
    }
    return true;
}

bool readLegacy(SourceDb& db, const RowSink<MessageRow>& out, std::string* why) {
    const auto cols = db.columns("message");
    Stmt st(db.handle(),
            "SELECT ROWID, " + columnOrNull(cols, "text") + ", " +
                columnOrNull(cols, "madrid_attributedBody") + ", " + columnOrNull(cols, "address") +
                ", " + columnOrNull(cols, "date") + ", " + columnOrNull(cols, "flags") + ", " +
                columnOrNull(cols, "read") + ", " + columnOrNull(cols, "group_id") + ", " +
                columnOrNull(cols, "is_madrid") + ", " + columnOrNull(cols, "madrid_handle") +
                ", " + columnOrNull(cols, "madrid_flags") + ", " +
                columnOrNull(cols, "madrid_error") + " FROM message ORDER BY ROWID");
    while (st.step()) {
        MessageRow m;
        const int64_t rowid = st.int64(0);
        const bool madrid = st.int64(8) != 0;
        m.smsId = decimal(rowid);
        m.body = bodyOf(st, 1, 2);
        m.address = madrid ? st.text(9) : st.text(3);
        if (!st.isNull(4) && st.int64(4) != 0)
            m.date = decimal(madrid ? messageDateToMs(st.int64(4)) : st.int64(4) * 1000);
        // SMS flags: bit 0 outgoing, bit 5 failed. iMessage flags: bit 2 from me.
        bool fromMe, failed;
        if (madrid) {
            fromMe = (st.int64(10) & 0x4) != 0;
            failed = fromMe && st.int64(11) != 0;
        } else {
            fromMe = (st.int64(5) & 0x1) != 0;
            failed = fromMe && (st.int64(5) & 0x20) != 0;
        }
        m.type = fromMe ? (failed ? "5" : "2") : "1";
        m.read = (fromMe || st.int64(6) != 0) ? "1" : "0";
        m.threadId = st.int64(7) > 0 ? decimal(st.int64(7)) : "m" + decimal(rowid);
        if (!out(m)) {
            *why = "out of memory";
            return false;
        }
    }
    if (!st.ok()) {
        *why = "reading messages failed: " + st.error();
        return false;
    }
    return true;
}

} // namespace

bool readMessages(SourceDb& db, const RowSink<MessageRow>& out, std::string* why) {
    if (!db.hasTable("message")) {
        *why = "no message table: not a message database";
        return false;
    }
    const auto cols = db.columns("message");
    const bool legacy = !db.hasTable("handle") && cols.count("address") > 0;
    return legacy ? readLegacy(db, out, why) : readModern(db, out, why);
}

} // namespace dbsifter
