// sms.db: conversations with single people and groups, messages sent and
// received over SMS and iMessage, bodies in several scripts and up to 5 KB,
// bodies kept only in attributedBody, and messages without a handle.
#include "archive_body.h"
#include "fixture_common.h"
#include "fixture_db.h"
#include "fixture_text.h"
#include "ios_fixtures.h"
#include "sms_schema.h"

#include <algorithm>

namespace iosfix {
namespace {

struct Handle {
    int64_t rowid = 0;
    std::string id;
    bool imessage = false;
};

struct Chat {
    int64_t rowid = 0;
    std::vector<size_t> members; // indexes into the handle list
    bool group = false;
};

std::string bodyFor(Rng& rng, int i) {
    if (i % 50 == 7)
        return longBody(rng, 5 * 1024);
    return randomSentence(rng, int(rng.range(1, 12)));
}

std::vector<Handle> makeHandles(Rng& rng, FixtureDb& db, int count) {
    std::vector<Handle> handles;
    const int n = std::max(3, count / 8);
    for (int tries = 0; int(handles.size()) < n && tries < n * 20; ++tries) {
        Handle h;
        h.imessage = rng.chance(40);
        h.id = rng.chance(20) ? randomEmail(rng, "friend") : randomPhone(rng);
        // The handle table keeps numbers in E.164 without spaces.
        h.id.erase(std::remove_if(h.id.begin(), h.id.end(),
                                  [](char c) { return c == ' ' || c == '(' || c == ')'; }),
                   h.id.end());
        if (std::any_of(handles.begin(), handles.end(),
                        [&](const Handle& o) { return o.id == h.id; }))
            continue;
        h.rowid = db.insert("INSERT INTO handle (id, country, service, uncanonicalized_id) VALUES "
                            "(?, 'us', ?, ?)",
                            {h.id, std::string(h.imessage ? "iMessage" : "SMS"), h.id});
        handles.push_back(h);
    }
    return handles;
}

int64_t insertChat(Rng& rng, FixtureDb& db, const std::vector<Handle>& handles, Chat& chat) {
    const Handle& first = handles[chat.members.front()];
    std::string service = first.imessage || chat.group ? "iMessage" : "SMS";
    std::string ident =
        chat.group ? "chat" + num(int64_t(rng.below(1000000000ull))) + num(chat.members.size())
                   : first.id;
    std::string guid = service + (chat.group ? ";+;" : ";-;") + ident;
    chat.rowid = db.insert("INSERT INTO chat (guid, style, state, account_id, chat_identifier, "
                           "service_name, room_name, display_name, group_id) VALUES (?, ?, 3, "
                           "?, ?, ?, ?, ?, ?)",
                           {guid, int64_t(chat.group ? 43 : 45), makeGuid(rng.next(), rng.next()),
                            ident, service, chat.group ? Value(ident) : Value(),
                            chat.group ? Value(randomSentence(rng, 2)) : Value(std::string()),
                            makeGuid(rng.next(), rng.next())});
    for (size_t m : chat.members)
        db.insert("INSERT INTO chat_handle_join (chat_id, handle_id) VALUES (?, ?)",
                  {chat.rowid, handles[m].rowid});
    return chat.rowid;
}

std::vector<Chat> makeChats(Rng& rng, FixtureDb& db, const std::vector<Handle>& handles,
                            int count) {
    std::vector<Chat> chats;
    for (size_t h = 0; h < handles.size(); ++h) {
        Chat c;
        c.members = {h};
        insertChat(rng, db, handles, c);
        chats.push_back(c);
    }
    const int groups = handles.size() >= 3 ? std::max(1, count / 40) : 0;
    for (int g = 0; g < groups; ++g) {
        Chat c;
        c.group = true;
        while (c.members.size() < 3) {
            size_t m = size_t(rng.below(handles.size()));
            if (std::find(c.members.begin(), c.members.end(), m) == c.members.end())
                c.members.push_back(m);
        }
        std::sort(c.members.begin(), c.members.end());
        insertChat(rng, db, handles, c);
        chats.push_back(c);
    }
    return chats;
}

std::string groupAddress(const Chat& chat, const std::vector<Handle>& handles) {
    std::string s;
    for (size_t m : chat.members)
        s += (s.empty() ? "" : ",") + handles[m].id;
    return s;
}

bool writeModern(FixtureDb& db, const Options& opt, std::vector<ExpectedMessage>* out) {
    Rng rng(opt.seed * 7919u + uint32_t(opt.iosVersion));
    const int v = opt.iosVersion;
    const std::vector<Handle> handles = makeHandles(rng, db, opt.count);
    std::vector<Chat> chats = makeChats(rng, db, handles, opt.count);
    const size_t singleChats = handles.size();
    const std::string account = "e:" + randomEmail(rng, "me");

    for (int i = 0; i < opt.count; ++i) {
        if (opt.walTail && i == opt.count * 3 / 4 && !db.beginWalTail())
            return false;
        const int kind = int(rng.below(100));
        const Chat* chat = nullptr;
        const Handle* handle = nullptr;
        bool withHandle = true;
        if (kind < 3) { // no handle and no conversation
            withHandle = false;
        } else if (kind < 6) { // no handle, but in a conversation with one person
            chat = &chats[rng.below(singleChats)];
            withHandle = false;
        } else if (kind < 20 && chats.size() > singleChats) {
            chat = &chats[singleChats + rng.below(chats.size() - singleChats)];
        } else {
            chat = &chats[rng.below(singleChats)];
        }
        const bool fromMe = rng.chance(45);
        if (withHandle && chat) {
            if (!chat->group)
                handle = &handles[chat->members.front()];
            else if (!fromMe)
                handle = &handles[chat->members[rng.below(chat->members.size())]];
        }
        const std::string body = bodyFor(rng, i);
        const int64_t unix = kBaseUnix + int64_t(i) * 1800 + rng.range(0, 1700);
        int64_t date = unix - kCocoaEpoch;
        int64_t ms = unix * 1000;
        if (v >= 11 && !rng.chance(5)) { // nanoseconds; a few old rows keep seconds
            const int64_t frac = int64_t(rng.below(1000000000ull));
            date = date * 1000000000 + frac;
            ms += frac / 1000000;
        }
        const bool isRead = !fromMe && rng.chance(70);
        const bool failed = fromMe && rng.chance(3);
        const bool imessage =
            chat ? (chat->group || handles[chat->members.front()].imessage) : rng.chance(50);
        const bool textOnlyInBody = v >= 11 && rng.chance(20);
        Value text = textOnlyInBody ? Value() : Value(body);
        Value attributed =
            (imessage || textOnlyInBody) ? Value(Blob{typedStreamBody(body)}) : Value();
        std::string guid = makeGuid(rng.next(), rng.next());
        int64_t rowid = db.insert(
            "INSERT INTO message (guid, text, handle_id, attributedBody, service, account, date, "
            "date_read, date_delivered, is_delivered, is_finished, is_from_me, is_read, is_sent, "
            "error, cache_roomnames) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, ?, ?, ?, ?, ?)",
            {guid, text, handle ? handle->rowid : int64_t(0), attributed,
             std::string(imessage ? "iMessage" : "SMS"), account, date,
             isRead ? Value(date) : Value(int64_t(0)), fromMe ? Value(date) : Value(int64_t(0)),
             int64_t(fromMe && !failed), int64_t(fromMe), int64_t(isRead),
             int64_t(fromMe && !failed), int64_t(failed ? 4 : 0),
             chat && chat->group ? Value(std::string("chat")) : Value()});
        if (rowid < 0)
            return false;
        if (chat) {
            if (v >= 11)
                db.insert("INSERT INTO chat_message_join (chat_id, message_id, message_date) "
                          "VALUES (?, ?, ?)",
                          {chat->rowid, rowid, date});
            else
                db.insert("INSERT INTO chat_message_join (chat_id, message_id) VALUES (?, ?)",
                          {chat->rowid, rowid});
        }
        if (out) {
            ExpectedMessage e;
            e.smsId = num(rowid);
            if (handle)
                e.address = handle->id;
            else if (chat)
                e.address =
                    chat->group ? groupAddress(*chat, handles) : handles[chat->members.front()].id;
            e.body = body;
            e.date = num(ms);
            e.type = failed ? "5" : fromMe ? "2" : "1";
            e.read = (fromMe || isRead) ? "1" : "0";
            e.threadId = chat ? num(chat->rowid) : "m" + num(rowid);
            out->push_back(std::move(e));
        }
    }
    return true;
}

bool writeLegacy(FixtureDb& db, const Options& opt, std::vector<ExpectedMessage>* out) {
    Rng rng(opt.seed * 7919u + uint32_t(opt.iosVersion));
    std::vector<std::string> people;
    std::vector<int64_t> groups;
    const int n = std::max(3, opt.count / 8);
    for (int i = 0; i < n; ++i) {
        std::string who = randomPhone(rng);
        int64_t g = db.insert("INSERT INTO msg_group (type, newest_message, unread_count, hash) "
                              "VALUES (0, 0, 0, ?)",
                              {int64_t(rng.below(1u << 30))});
        db.insert("INSERT INTO group_member (group_id, address, country) VALUES (?, ?, 'de')",
                  {g, who});
        people.push_back(who);
        groups.push_back(g);
    }
    for (int i = 0; i < opt.count; ++i) {
        if (opt.walTail && i == opt.count * 3 / 4 && !db.beginWalTail())
            return false;
        const bool orphan = rng.chance(3);
        const size_t p = size_t(rng.below(people.size()));
        const bool fromMe = rng.chance(45);
        const bool madrid = !orphan && rng.chance(30);
        const bool isRead = !fromMe && rng.chance(70);
        const std::string body = bodyFor(rng, i);
        const int64_t unix = kBaseUnix + int64_t(i) * 1800 + rng.range(0, 1700);
        int64_t rowid;
        if (madrid) {
            rowid = db.insert("INSERT INTO message (address, date, text, flags, group_id, read, "
                              "madrid_handle, madrid_guid, madrid_service, madrid_flags, "
                              "is_madrid, madrid_date_read, madrid_date_delivered) VALUES (NULL, "
                              "?, ?, 0, ?, ?, ?, ?, 'iMessage', ?, 1, 0, 0)",
                              {unix - kCocoaEpoch, body, groups[p], int64_t(isRead), people[p],
                               makeGuid(rng.next(), rng.next()), int64_t(fromMe ? 36869 : 12289)});
        } else {
            rowid =
                db.insert("INSERT INTO message (address, date, text, flags, group_id, read, "
                          "is_madrid, country) VALUES (?, ?, ?, ?, ?, ?, 0, 'de')",
                          {orphan ? Value() : Value(people[p]), unix, body, int64_t(fromMe ? 3 : 2),
                           orphan ? int64_t(0) : groups[p], int64_t(isRead)});
        }
        if (rowid < 0)
            return false;
        if (out) {
            ExpectedMessage e;
            e.smsId = num(rowid);
            e.address = orphan ? "" : people[p];
            e.body = body;
            e.date = num(unix * 1000);
            e.type = fromMe ? "2" : "1";
            e.read = (fromMe || isRead) ? "1" : "0";
            e.threadId = orphan ? "m" + num(rowid) : num(groups[p]);
            out->push_back(std::move(e));
        }
    }
    return true;
}

} // namespace

bool writeSmsDb(const std::string& path, const Options& opt, std::vector<ExpectedMessage>* out) {
    if (out)
        out->clear();
    FixtureDb db;
    const bool legacy = opt.iosVersion < 6;
    if (!db.create(path, opt.iosVersion >= 7))
        return false;
    if (!db.exec(legacy ? smsSchemaLegacy() : smsSchemaModern(opt.iosVersion)))
        return false;
    db.exec("INSERT INTO _SqliteDatabaseProperties VALUES ('_ClientVersion', '" +
            num(legacy ? 9 : opt.iosVersion * 1000 + 14) + "')");
    bool ok = legacy ? writeLegacy(db, opt, out) : writeModern(db, opt, out);
    return db.close() && ok;
}

} // namespace iosfix
