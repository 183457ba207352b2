package com.quellfin.kestrova.host;

import com.quellfin.kestrova.core.CallField;
import com.quellfin.kestrova.core.ContactBook;
import com.quellfin.kestrova.core.ContactField;
import com.quellfin.kestrova.core.EventField;
import com.quellfin.kestrova.core.MessageField;
import com.quellfin.kestrova.core.Record;
import com.quellfin.kestrova.core.RecordStore;
import java.io.IOException;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.sql.Statement;

/** The four personal-data kinds of the lab store. */
final class LabPersonal {
    private LabPersonal() {}

    static ContactBook contacts(LabStore store) {
        return new Contacts(store);
    }

    static RecordStore<MessageField> messages(LabStore store) {
        return new Messages(store);
    }

    static RecordStore<CallField> calls(LabStore store) {
        return new LabTable<>(store, CallField.class, "calls", "name", "number", "date", "type", "duration");
    }

    static RecordStore<EventField> events(LabStore store) {
        return new LabTable<EventField>(store, EventField.class, "events", "calendar_id", "title", "dtstart",
                "dtend", "location", "timezone", "description", "has_alarm", "alarm_minutes", "rrule") {
            @Override
            protected long insert(Record<EventField> r) throws SQLException {
                // The phone's one local calendar.
                return super.insert(r.set(EventField.CALENDAR_ID, "1"));
            }
        };
    }

    private static final class Contacts extends LabTable<ContactField> implements ContactBook {
        Contacts(LabStore store) {
            super(store, ContactField.class, "contacts", "name", "last_name", "nickname", "mobile", "home_number",
                    "work_number", "homepage", "home_email", "birthday", "group_name", "note", "organization",
                    "department", "home_address", "work_address", "home_fax", "work_fax", "work_email");
        }

        @Override
        public int update(long id, ContactField field, String value) throws IOException {
            return updateColumn(id, column(field), value);
        }
    }

    /** Messages join the conversation of their address, as the phone's provider does. */
    private static final class Messages extends LabTable<MessageField> {
        Messages(LabStore store) {
            super(store, MessageField.class, "messages", "thread_id", "address", "person", "body", "date", "type",
                    "read");
        }

        @Override
        protected long insert(Record<MessageField> r) throws SQLException {
            long thread = threadFor(r.get(MessageField.ADDRESS));
            return super.insert(r.set(MessageField.THREAD_ID, thread > 0 ? Long.toString(thread) : ""));
        }

        @Override
        public boolean clear() throws IOException {
            boolean done = super.clear();
            synchronized (store) {
                try (Statement s = store.connection().createStatement()) {
                    s.executeUpdate("DELETE FROM threads");
                } catch (SQLException e) {
                    throw LabStore.failed("clear threads", e);
                }
            }
            return done;
        }

        /** Numbers are compared by their digits and "+", so "+49 30 123" and "+4930123" share one thread. */
        private long threadFor(String address) throws SQLException {
            StringBuilder key = new StringBuilder();
            for (char c : address.toCharArray())
                if ((c >= '0' && c <= '9') || c == '+')
                    key.append(c);
            String k = key.length() == 0 ? address : key.toString();
            try (PreparedStatement find = store.connection().prepareStatement(
                    "SELECT id FROM threads WHERE address_key IS ?")) {
                find.setString(1, k);
                try (ResultSet r = find.executeQuery()) {
                    if (r.next())
                        return r.getLong(1);
                }
            }
            try (PreparedStatement add = store.connection().prepareStatement(
                    "INSERT INTO threads(address_key) VALUES(?)", Statement.RETURN_GENERATED_KEYS)) {
                add.setString(1, k);
                add.executeUpdate();
                try (ResultSet keys = add.getGeneratedKeys()) {
                    return keys.next() ? keys.getLong(1) : 0;
                }
            }
        }
    }
}
