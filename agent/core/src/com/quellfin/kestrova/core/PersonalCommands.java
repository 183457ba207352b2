package com.quellfin.kestrova.core;

import java.io.IOException;
import java.util.List;
import java.util.Map;

/** Contacts, messages, call log, calendar and the default-SMS-app role. */
final class PersonalCommands {
    static final int PAGE_SIZE = 5;
    /**
     * The most records one range reply holds, whatever the desktop asks for: a phone's provider
     * query binds one argument per record, and SQLite before 3.32 (up to Android 11) takes at
     * most 999.
     */
    static final int RANGE_LIMIT = 500;

    private final Phone phone;

    PersonalCommands(Phone phone) {
        this.phone = phone;
    }

    void register(Map<String, Session.Handler> h) {
        h.put("hello-android", a -> Replies.text("HI-PC"));
        h.put("SetDefaultMessage", a -> Replies.int32(phone.smsRole.request()));
        h.put("ReSetDefaultMessage", a -> Replies.int32(phone.smsRole.release()));
        h.put("GetDefaultMessage_pkgName", a -> Replies.text(phone.smsRole.holder()));
        kind(h, phone.contacts, ContactField.class, "getcontact", "getcontactCount", "getcontactpart10", "ClearPerson",
                "CONTACTID");
        kind(h, phone.messages, MessageField.class, "getsms", "getsmsCount", "getsmsPart10", "ClearSMS", "ID");
        kind(h, phone.calls, CallField.class, "getcalllog", "getcalllogcount", "getcalllogpart10", "ClearCallHistory",
                "ID");
        kind(h, phone.events, EventField.class, "getcalendar", "getcalendarcount", "getcalendarpart10",
                "ClearCalender", "ID");
        h.put("SendSMS", this::sendSms);
        h.put("AddPerson", this::addPerson);
        h.put("UpdatePerson", this::updatePerson);
        h.put("AddPerson3", this::addPerson3);
        h.put("AddCallHistory", this::addCall);
        h.put("AddCalender", this::addEvent);
    }

    private <F extends Enum<F> & Field> void kind(Map<String, Session.Handler> h, RecordStore<F> store,
            Class<F> fields, String prefix, String count, String page, String clear, String idKey) {
        h.put(count, a -> Replies.int32(store.count()));
        h.put(page, a -> page(store, fields, a, idKey));
        h.put(prefix + "Range", a -> range(store, fields, a, idKey));
        h.put(clear, a -> Replies.int32(store.clear() ? 1 : -1));
    }

    /** Up to five records from a position. */
    static <F extends Enum<F> & Field> byte[] page(RecordStore<F> store, Class<F> fields, String args,
            String idKey) throws IOException {
        Long start = Args.integer(args);
        if (start == null || start < 0 || start > Integer.MAX_VALUE)
            return Replies.EMPTY;
        return records(store, fields, (int) (long) start, PAGE_SIZE, Long.MAX_VALUE, idKey);
    }

    /**
     * "START:LIMIT:BYTES": up to LIMIT records (at most RANGE_LIMIT) from START, as many as fit
     * in BYTES bytes of reply. The first record goes out even when it alone is larger, so the
     * desktop sees a reply beyond its buffer rather than a range that never moves on.
     */
    static <F extends Enum<F> & Field> byte[] range(RecordStore<F> store, Class<F> fields, String args,
            String idKey) throws IOException {
        List<String> parts = Args.split(args, ':');
        if (parts.size() != 3)
            return Replies.int32(-1);
        Long start = Args.integer(parts.get(0)), limit = Args.integer(parts.get(1)),
                bytes = Args.integer(parts.get(2));
        if (start == null || limit == null || bytes == null || start < 0 || start > Integer.MAX_VALUE
                || limit < 1 || bytes < 1)
            return Replies.int32(-1);
        return records(store, fields, (int) (long) start, (int) Math.min(limit, RANGE_LIMIT), bytes, idKey);
    }

    /** Records from a position, the id first, then the fields in their order; whole records only. */
    private static <F extends Enum<F> & Field> byte[] records(RecordStore<F> store, Class<F> fields, int start,
            int limit, long budget, String idKey) throws IOException {
        RecordWriter out = new RecordWriter();
        for (Record<F> r : store.page(start, limit)) {
            int before = out.length();
            out.item(idKey, r.id);
            for (F field : fields.getEnumConstants()) {
                if (field == ContactField.NAME) {
                    String first = r.get(field), last = r.get(fields.cast(ContactField.LAST_NAME));
                    out.item("NAME", displayName(first, last));
                    // Both parts apart too, for a desktop that keeps them apart.
                    if (!last.isEmpty())
                        out.item("GIVENNAME", first).item("FAMILYNAME", last);
                } else if (field.replyKey() != null) {
                    out.item(field.replyKey(), r.get(field));
                }
            }
            out.endRecord();
            if (out.length() > budget && before > 0) {
                out.cut(before);
                break;
            }
        }
        return out.bytes();
    }

    /** First and last name joined as the phone shows them. */
    private static String displayName(String first, String last) {
        if (last.isEmpty())
            return first;
        return first.isEmpty() ? last : first + " " + last;
    }

    private byte[] sendSms(String args) throws IOException {
        // address - body - date - read - protocol ("-1") - type
        List<String> f = Args.hexFields(args, 6);
        if (f == null)
            return Replies.int32(-1);
        if (phone.smsRole.restrictsWriters() && !phone.smsRole.held())
            return Replies.int32(-1);
        Record<MessageField> m = new Record<>(MessageField.class, 0)
                .set(MessageField.ADDRESS, f.get(0))
                .set(MessageField.BODY, f.get(1))
                .set(MessageField.DATE, f.get(2).isEmpty() ? Long.toString(System.currentTimeMillis()) : f.get(2))
                .set(MessageField.READ, f.get(3))
                .set(MessageField.TYPE, f.get(5));
        return Replies.int32(phone.messages.add(m) > 0 ? 1 : -1);
    }

    private byte[] addPerson(String args) throws IOException {
        List<String> parts = Args.split(args, ':');
        String name = Hex.decodeText(parts.get(0));
        String mobile = parts.size() > 1 ? Hex.decodeText(parts.get(1)) : "";
        if (parts.size() > 2 || name == null || mobile == null)
            return Replies.int64(-1);
        Record<ContactField> c = new Record<>(ContactField.class, 0)
                .set(ContactField.NAME, name)
                .set(ContactField.MOBILE, mobile);
        long id = phone.contacts.add(c);
        return Replies.int64(id > 0 ? id : -1);
    }

    private byte[] updatePerson(String args) throws IOException {
        List<String> parts = Args.split(args, ':');
        if (parts.size() != 3)
            return Replies.int32(-1);
        Long id = Args.integer(parts.get(0));
        String value = Hex.decodeText(parts.get(1));
        ContactField field = ContactField.byUpdateKey(parts.get(2));
        if (id == null || value == null || field == null)
            return Replies.int32(-1);
        return Replies.int32(phone.contacts.update(id, field, value));
    }

    private byte[] addPerson3(String args) throws IOException {
        // display name, eighteen fields by position, a closing blank, then
        // given and family name when the name has both parts
        List<String> f = Args.hexFields(args, 19);
        if (f == null)
            return Replies.int64(-1);
        Record<ContactField> c = new Record<>(ContactField.class, 0).set(ContactField.NAME, f.get(0));
        if (f.size() >= 22 && !f.get(21).isEmpty())
            c.set(ContactField.NAME, f.get(20)).set(ContactField.LAST_NAME, f.get(21));
        for (int i = 0; i < ContactField.ONE_COMMAND_ORDER.length; i++)
            if (ContactField.ONE_COMMAND_ORDER[i] != null)
                c.set(ContactField.ONE_COMMAND_ORDER[i], f.get(i + 1));
        long id = phone.contacts.add(c);
        return Replies.int64(id > 0 ? id : -1);
    }

    private byte[] addCall(String args) throws IOException {
        List<String> f = Args.hexFields(args, 4); // number - date - type - duration [- name]
        if (f == null)
            return Replies.int32(-1);
        Record<CallField> c = new Record<>(CallField.class, 0)
                .set(CallField.NAME, f.size() > 4 ? f.get(4) : "")
                .set(CallField.NUMBER, f.get(0))
                .set(CallField.DATE, f.get(1))
                .set(CallField.TYPE, f.get(2))
                .set(CallField.DURATION, f.get(3));
        return Replies.int32(phone.calls.add(c) > 0 ? 1 : -1);
    }

    private byte[] addEvent(String args) throws IOException {
        // title - start - end - location - time zone - description - alarm
        // flag - alarm minutes - recurrence (a single blank when there is none)
        List<String> f = Args.hexFields(args, 9);
        if (f == null)
            return Replies.int32(-1);
        Record<EventField> e = new Record<>(EventField.class, 0)
                .set(EventField.TITLE, f.get(0))
                .set(EventField.START, f.get(1))
                .set(EventField.END, f.get(2))
                .set(EventField.LOCATION, f.get(3))
                .set(EventField.TIME_ZONE, f.get(4))
                .set(EventField.DESCRIPTION, f.get(5))
                .set(EventField.HAS_ALARM, f.get(6))
                .set(EventField.ALARM_MINUTES, f.get(7))
                .set(EventField.RRULE, f.get(8).trim().isEmpty() ? "" : f.get(8));
        return Replies.int32(phone.events.add(e) > 0 ? 1 : -1);
    }
}
