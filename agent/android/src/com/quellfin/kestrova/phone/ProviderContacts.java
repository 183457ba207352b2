package com.quellfin.kestrova.phone;

import android.content.ContentProviderOperation;
import android.content.ContentProviderResult;
import android.content.ContentResolver;
import android.content.ContentUris;
import android.content.ContentValues;
import android.content.OperationApplicationException;
import android.database.Cursor;
import android.net.Uri;
import android.os.RemoteException;
import android.provider.ContactsContract;
import android.provider.ContactsContract.CommonDataKinds.Email;
import android.provider.ContactsContract.CommonDataKinds.Event;
import android.provider.ContactsContract.CommonDataKinds.GroupMembership;
import android.provider.ContactsContract.CommonDataKinds.Nickname;
import android.provider.ContactsContract.CommonDataKinds.Note;
import android.provider.ContactsContract.CommonDataKinds.Organization;
import android.provider.ContactsContract.CommonDataKinds.Phone;
import android.provider.ContactsContract.CommonDataKinds.StructuredName;
import android.provider.ContactsContract.CommonDataKinds.StructuredPostal;
import android.provider.ContactsContract.CommonDataKinds.Website;
import android.provider.ContactsContract.Data;
import android.provider.ContactsContract.Groups;
import android.provider.ContactsContract.RawContacts;
import com.quellfin.kestrova.core.ContactBook;
import com.quellfin.kestrova.core.ContactField;
import com.quellfin.kestrova.core.Record;
import java.io.IOException;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Contacts as raw contacts and their data rows. A record's id is the raw
 * contact's id, so an update finds the very contact that was added. New
 * contacts go to the phone's local (account-less) store; reading covers
 * every account.
 */
final class ProviderContacts implements ContactBook {
    /** Where one field lives: a data row of a MIME type, with a type value where the kind has types. */
    private static final class Slot {
        final String mime, column;
        final int type; // -1: the kind has no types

        Slot(String mime, String column, int type) {
            this.mime = mime;
            this.column = column;
            this.type = type;
        }
    }

    // In order of preference: a number of another type takes the first free of mobile, home, work.
    private static final Map<ContactField, Slot> SLOTS = new LinkedHashMap<>();

    static {
        SLOTS.put(ContactField.NAME, new Slot(StructuredName.CONTENT_ITEM_TYPE, StructuredName.DISPLAY_NAME, -1));
        SLOTS.put(ContactField.NICKNAME, new Slot(Nickname.CONTENT_ITEM_TYPE, Nickname.NAME, -1));
        SLOTS.put(ContactField.MOBILE, new Slot(Phone.CONTENT_ITEM_TYPE, Phone.NUMBER, Phone.TYPE_MOBILE));
        SLOTS.put(ContactField.HOME_NUMBER, new Slot(Phone.CONTENT_ITEM_TYPE, Phone.NUMBER, Phone.TYPE_HOME));
        SLOTS.put(ContactField.WORK_NUMBER, new Slot(Phone.CONTENT_ITEM_TYPE, Phone.NUMBER, Phone.TYPE_WORK));
        SLOTS.put(ContactField.HOME_FAX, new Slot(Phone.CONTENT_ITEM_TYPE, Phone.NUMBER, Phone.TYPE_FAX_HOME));
        SLOTS.put(ContactField.WORK_FAX, new Slot(Phone.CONTENT_ITEM_TYPE, Phone.NUMBER, Phone.TYPE_FAX_WORK));
        SLOTS.put(ContactField.HOMEPAGE, new Slot(Website.CONTENT_ITEM_TYPE, Website.URL, Website.TYPE_HOMEPAGE));
        SLOTS.put(ContactField.HOME_EMAIL, new Slot(Email.CONTENT_ITEM_TYPE, Email.ADDRESS, Email.TYPE_HOME));
        SLOTS.put(ContactField.WORK_EMAIL, new Slot(Email.CONTENT_ITEM_TYPE, Email.ADDRESS, Email.TYPE_WORK));
        SLOTS.put(ContactField.BIRTHDAY, new Slot(Event.CONTENT_ITEM_TYPE, Event.START_DATE, Event.TYPE_BIRTHDAY));
        SLOTS.put(ContactField.NOTE, new Slot(Note.CONTENT_ITEM_TYPE, Note.NOTE, -1));
        SLOTS.put(ContactField.ORGANIZATION, new Slot(Organization.CONTENT_ITEM_TYPE, Organization.COMPANY, -1));
        SLOTS.put(ContactField.DEPARTMENT, new Slot(Organization.CONTENT_ITEM_TYPE, Organization.DEPARTMENT, -1));
        SLOTS.put(ContactField.HOME_ADDRESS, new Slot(StructuredPostal.CONTENT_ITEM_TYPE,
                StructuredPostal.FORMATTED_ADDRESS, StructuredPostal.TYPE_HOME));
        SLOTS.put(ContactField.WORK_ADDRESS, new Slot(StructuredPostal.CONTENT_ITEM_TYPE,
                StructuredPostal.FORMATTED_ADDRESS, StructuredPostal.TYPE_WORK));
    }

    private static final String[] DATA_PROJECTION = {
        Data.RAW_CONTACT_ID, Data.MIMETYPE, Data.DATA1, Data.DATA2, Data.DATA3, Data.DATA4, Data.DATA5};
    private static final String LIVE = RawContacts.DELETED + " = 0";

    private final ContentResolver resolver;
    private long[] ids;

    ProviderContacts(ContentResolver resolver) {
        this.resolver = resolver;
    }

    private synchronized long[] ids(boolean fresh) throws IOException {
        if (ids == null || fresh)
            ids = Rows.ids(resolver, RawContacts.CONTENT_URI, LIVE, null);
        return ids;
    }

    private synchronized void touched() {
        ids = null;
    }

    @Override
    public int count() throws IOException {
        return ids(true).length;
    }

    @Override
    public List<Record<ContactField>> page(int start, int limit) throws IOException {
        long[] all = ids(start == 0);
        List<Record<ContactField>> out = new ArrayList<>();
        if (start < 0 || start >= all.length || limit <= 0)
            return out;
        int end = Math.min(all.length, start + limit);
        Map<Long, Record<ContactField>> byId = new HashMap<>();
        for (int i = start; i < end; i++) {
            Record<ContactField> r = new Record<>(ContactField.class, all[i]);
            byId.put(all[i], r);
            out.add(r);
        }
        List<String> args = Rows.newArgs();
        String where = Rows.inClause(Data.RAW_CONTACT_ID, all, start, end, args);
        Map<Long, String> groups = groupTitles();
        Cursor c = Rows.query(resolver, Data.CONTENT_URI, DATA_PROJECTION, where, Rows.args(args), Data._ID + " ASC");
        try {
            while (c.moveToNext()) {
                Record<ContactField> r = byId.get(Rows.number(c, Data.RAW_CONTACT_ID));
                if (r != null)
                    take(c, r, groups);
            }
        } finally {
            c.close();
        }
        return out;
    }

    /** Puts one data row into the record; a number or address of another type fills the first free slot. */
    private static void take(Cursor c, Record<ContactField> r, Map<Long, String> groups) {
        String mime = Rows.text(c, Data.MIMETYPE);
        String data1 = Rows.text(c, Data.DATA1);
        long type = Rows.number(c, Data.DATA2);
        if (mime.equals(GroupMembership.CONTENT_ITEM_TYPE)) {
            String title = groups.get(Rows.number(c, GroupMembership.GROUP_ROW_ID));
            if (title != null && r.get(ContactField.GROUP).isEmpty())
                r.set(ContactField.GROUP, title);
            return;
        }
        if (mime.equals(StructuredName.CONTENT_ITEM_TYPE)) {
            String given = Rows.text(c, StructuredName.GIVEN_NAME), family = Rows.text(c, StructuredName.FAMILY_NAME);
            String joined = joinName(given, family);
            if (data1.isEmpty())
                data1 = joined;
            // The parts go apart only when together they are the whole name:
            // a prefix, a middle name or a display name of the user's own
            // keeps the name whole.
            if (!family.isEmpty() && data1.equals(joined) && r.get(ContactField.NAME).isEmpty()
                    && r.get(ContactField.LAST_NAME).isEmpty()) {
                r.set(ContactField.NAME, given).set(ContactField.LAST_NAME, family);
                return;
            }
        }
        if (mime.equals(Organization.CONTENT_ITEM_TYPE)) {
            fill(r, ContactField.ORGANIZATION, data1);
            String department = Rows.text(c, Organization.DEPARTMENT);
            fill(r, ContactField.DEPARTMENT, department.isEmpty() ? Rows.text(c, Organization.TITLE) : department);
            return;
        }
        ContactField spare = null;
        for (Map.Entry<ContactField, Slot> e : SLOTS.entrySet()) {
            Slot s = e.getValue();
            if (!s.mime.equals(mime))
                continue;
            if (s.type < 0 || s.type == type) {
                fill(r, e.getKey(), data1);
                return;
            }
            if (spare == null && r.get(e.getKey()).isEmpty() && (s.type != Phone.TYPE_FAX_HOME && s.type != Phone.TYPE_FAX_WORK))
                spare = e.getKey();
        }
        if (spare != null && !mime.equals(Event.CONTENT_ITEM_TYPE) && !mime.equals(Website.CONTENT_ITEM_TYPE))
            fill(r, spare, data1);
    }

    private static String joinName(String given, String family) {
        return given.isEmpty() ? family : family.isEmpty() ? given : given + " " + family;
    }

    private static void fill(Record<ContactField> r, ContactField f, String value) {
        if (r.get(f).isEmpty())
            r.set(f, value);
    }

    private Map<Long, String> groupTitles() throws IOException {
        Map<Long, String> out = new HashMap<>();
        Cursor c = Rows.query(resolver, Groups.CONTENT_URI, new String[] {Groups._ID, Groups.TITLE},
                Groups.DELETED + " = 0", null, null);
        try {
            while (c.moveToNext())
                out.put(c.getLong(0), Rows.text(c, Groups.TITLE));
        } finally {
            c.close();
        }
        return out;
    }

    /** The local group of that title, made when missing. */
    private long groupId(String title) throws IOException {
        Cursor c = Rows.query(resolver, Groups.CONTENT_URI, new String[] {Groups._ID},
                Groups.TITLE + " = ? AND " + Groups.DELETED + " = 0 AND " + Groups.ACCOUNT_TYPE + " IS NULL",
                new String[] {title}, null);
        try {
            if (c.moveToFirst())
                return c.getLong(0);
        } finally {
            c.close();
        }
        ContentValues v = new ContentValues();
        v.put(Groups.TITLE, title);
        v.putNull(Groups.ACCOUNT_TYPE);
        v.putNull(Groups.ACCOUNT_NAME);
        Uri made = resolver.insert(Groups.CONTENT_URI, v);
        if (made == null)
            throw new IOException("cannot create the group " + title);
        return ContentUris.parseId(made);
    }

    /** The data row that holds one field's value. */
    private ContentValues row(ContactField field, String value) throws IOException {
        ContentValues v = new ContentValues();
        if (field == ContactField.GROUP) {
            v.put(Data.MIMETYPE, GroupMembership.CONTENT_ITEM_TYPE);
            v.put(GroupMembership.GROUP_ROW_ID, Long.valueOf(groupId(value)));
            return v;
        }
        Slot s = SLOTS.get(field);
        v.put(Data.MIMETYPE, s.mime);
        v.put(s.column, value);
        if (s.type >= 0)
            v.put(Data.DATA2, Integer.valueOf(s.type));
        return v;
    }

    @Override
    public long add(Record<ContactField> record) throws IOException {
        touched();
        ArrayList<ContentProviderOperation> ops = new ArrayList<>();
        ops.add(ContentProviderOperation.newInsert(RawContacts.CONTENT_URI)
                .withValue(RawContacts.ACCOUNT_TYPE, null)
                .withValue(RawContacts.ACCOUNT_NAME, null)
                .build());
        String name = record.get(ContactField.NAME), last = record.get(ContactField.LAST_NAME);
        record.set(ContactField.NAME, joinName(name, last));
        String company = record.get(ContactField.ORGANIZATION), department = record.get(ContactField.DEPARTMENT);
        for (Map.Entry<ContactField, String> e : record.values().entrySet()) {
            ContactField f = e.getKey();
            if (f == ContactField.LAST_NAME || f == ContactField.DEPARTMENT
                    || (f == ContactField.ORGANIZATION && !department.isEmpty()))
                continue;
            ContentValues v = row(f, e.getValue());
            if (f == ContactField.NAME && !last.isEmpty()) {
                // Given and family name as the phone keeps them, beside the display name.
                if (!name.isEmpty())
                    v.put(StructuredName.GIVEN_NAME, name);
                v.put(StructuredName.FAMILY_NAME, last);
            }
            ops.add(ContentProviderOperation.newInsert(Data.CONTENT_URI)
                    .withValueBackReference(Data.RAW_CONTACT_ID, 0).withValues(v).build());
        }
        if (!department.isEmpty()) {
            // Company and department are one organisation row.
            ContentValues v = row(ContactField.DEPARTMENT, department);
            if (!company.isEmpty())
                v.put(Organization.COMPANY, company);
            ops.add(ContentProviderOperation.newInsert(Data.CONTENT_URI)
                    .withValueBackReference(Data.RAW_CONTACT_ID, 0).withValues(v).build());
        }
        ContentProviderResult[] done = apply(ops);
        return done.length == 0 || done[0].uri == null ? -1 : ContentUris.parseId(done[0].uri);
    }

    @Override
    public int update(long id, ContactField field, String value) throws IOException {
        if (!exists(id))
            return 0;
        touched();
        ArrayList<ContentProviderOperation> ops = new ArrayList<>();
        String idText = Long.toString(id);
        if (field == ContactField.LAST_NAME) {
            // The name so far is the given name: the last name becomes the
            // family name beside it, and the display name joins the two.
            String given = currentName(id);
            ops.add(ContentProviderOperation.newDelete(Data.CONTENT_URI).withSelection(
                    Data.RAW_CONTACT_ID + " = ? AND " + Data.MIMETYPE + " = ?",
                    new String[] {idText, StructuredName.CONTENT_ITEM_TYPE}).build());
            ContentValues v = row(ContactField.NAME, joinName(given, value));
            if (!given.isEmpty())
                v.put(StructuredName.GIVEN_NAME, given);
            v.put(StructuredName.FAMILY_NAME, value);
            v.put(Data.RAW_CONTACT_ID, Long.valueOf(id));
            ops.add(ContentProviderOperation.newInsert(Data.CONTENT_URI).withValues(v).build());
            apply(ops);
            return 1;
        }
        if (field == ContactField.GROUP) {
            ops.add(ContentProviderOperation.newDelete(Data.CONTENT_URI).withSelection(
                    Data.RAW_CONTACT_ID + " = ? AND " + Data.MIMETYPE + " = ?",
                    new String[] {idText, GroupMembership.CONTENT_ITEM_TYPE}).build());
        } else {
            Slot s = SLOTS.get(field);
            if (field == ContactField.ORGANIZATION || field == ContactField.DEPARTMENT) {
                // Keep the other half of the organisation row.
                ContentValues v = new ContentValues();
                v.put(s.column, value);
                ops.add(ContentProviderOperation.newUpdate(Data.CONTENT_URI).withSelection(
                        Data.RAW_CONTACT_ID + " = ? AND " + Data.MIMETYPE + " = ?",
                        new String[] {idText, s.mime}).withValues(v).build());
                if (apply(ops)[0].count.intValue() > 0)
                    return 1;
                ops.clear();
            } else {
                String where = Data.RAW_CONTACT_ID + " = ? AND " + Data.MIMETYPE + " = ?"
                        + (s.type >= 0 ? " AND " + Data.DATA2 + " = ?" : "");
                String[] args = s.type >= 0 ? new String[] {idText, s.mime, Integer.toString(s.type)}
                        : new String[] {idText, s.mime};
                ops.add(ContentProviderOperation.newDelete(Data.CONTENT_URI).withSelection(where, args).build());
            }
        }
        ContentValues v = row(field, value);
        v.put(Data.RAW_CONTACT_ID, Long.valueOf(id));
        ops.add(ContentProviderOperation.newInsert(Data.CONTENT_URI).withValues(v).build());
        apply(ops);
        return 1;
    }

    private boolean exists(long id) throws IOException {
        return Rows.ids(resolver, RawContacts.CONTENT_URI, RawContacts._ID + " = ? AND " + LIVE,
                new String[] {Long.toString(id)}).length > 0;
    }

    private String currentName(long id) throws IOException {
        Cursor c = Rows.query(resolver, Data.CONTENT_URI, new String[] {StructuredName.DISPLAY_NAME},
                Data.RAW_CONTACT_ID + " = ? AND " + Data.MIMETYPE + " = ?",
                new String[] {Long.toString(id), StructuredName.CONTENT_ITEM_TYPE}, null);
        try {
            return c.moveToFirst() ? Rows.text(c, StructuredName.DISPLAY_NAME) : "";
        } finally {
            c.close();
        }
    }

    private ContentProviderResult[] apply(ArrayList<ContentProviderOperation> ops) throws IOException {
        try {
            return resolver.applyBatch(ContactsContract.AUTHORITY, ops);
        } catch (RemoteException | OperationApplicationException | SecurityException e) {
            throw new IOException("contacts refused the change: " + e.getMessage(), e);
        }
    }

    @Override
    public boolean clear() throws IOException {
        touched();
        try {
            resolver.delete(RawContacts.CONTENT_URI, null, null);
            return true;
        } catch (SecurityException e) {
            throw new IOException("contacts refused the deletion: " + e.getMessage(), e);
        }
    }
}
