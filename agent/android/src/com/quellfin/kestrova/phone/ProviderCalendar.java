package com.quellfin.kestrova.phone;

import android.content.ContentResolver;
import android.content.ContentUris;
import android.content.ContentValues;
import android.database.Cursor;
import android.net.Uri;
import android.provider.CalendarContract;
import android.provider.CalendarContract.Calendars;
import android.provider.CalendarContract.Events;
import android.provider.CalendarContract.Reminders;
import com.quellfin.kestrova.core.EventField;
import com.quellfin.kestrova.core.Record;
import java.io.IOException;
import java.util.TimeZone;

/**
 * Calendar events. New events go to a local calendar of the agent's own
 * (made on first need, as a sync adapter may); a recurring event carries
 * its length as DURATION, as the provider requires, and an alarm becomes a
 * reminder row. All-day events are midnight-to-midnight in UTC.
 */
final class ProviderCalendar extends ProviderTable<EventField> {
    private static final String ACCOUNT = "Kestrova";
    private static final long DAY = 86400000L;
    private static final String[] PROJECTION = {
        Events._ID, Events.CALENDAR_ID, Events.TITLE, Events.DTSTART, Events.DTEND, Events.DURATION,
        Events.EVENT_LOCATION, Events.EVENT_TIMEZONE, Events.DESCRIPTION, Events.HAS_ALARM, Events.RRULE,
        Events.ALL_DAY};

    ProviderCalendar(ContentResolver resolver) {
        super(resolver, Events.CONTENT_URI, EventField.class);
    }

    @Override
    protected String selection() {
        return Events.DELETED + " = 0";
    }

    @Override
    protected String[] projection() {
        return PROJECTION;
    }

    @Override
    protected void read(Cursor c, Record<EventField> r) throws IOException {
        long start = Rows.number(c, Events.DTSTART);
        String end = Rows.text(c, Events.DTEND);
        if (end.isEmpty() && !Rows.text(c, Events.DURATION).isEmpty())
            end = Long.toString(start + durationMillis(Rows.text(c, Events.DURATION)));
        r.set(EventField.CALENDAR_ID, Rows.text(c, Events.CALENDAR_ID))
                .set(EventField.TITLE, Rows.text(c, Events.TITLE))
                .set(EventField.START, Rows.text(c, Events.DTSTART))
                .set(EventField.END, end)
                .set(EventField.LOCATION, Rows.text(c, Events.EVENT_LOCATION))
                .set(EventField.TIME_ZONE, Rows.text(c, Events.EVENT_TIMEZONE))
                .set(EventField.DESCRIPTION, Rows.text(c, Events.DESCRIPTION))
                .set(EventField.HAS_ALARM, Rows.number(c, Events.HAS_ALARM) != 0 ? "1" : "0")
                .set(EventField.RRULE, Rows.text(c, Events.RRULE));
        if (Rows.number(c, Events.HAS_ALARM) != 0)
            r.set(EventField.ALARM_MINUTES, reminderMinutes(r.id));
    }

    private String reminderMinutes(long eventId) throws IOException {
        Cursor c = Rows.query(resolver, Reminders.CONTENT_URI, new String[] {Reminders.MINUTES},
                Reminders.EVENT_ID + " = ?", new String[] {Long.toString(eventId)}, Reminders.MINUTES + " ASC");
        try {
            return c.moveToFirst() ? Rows.text(c, Reminders.MINUTES) : "";
        } finally {
            c.close();
        }
    }

    /** An RFC 5545 duration as the provider stores it ("P3600S", "PT1H", "P1D", "P1W") in ms. */
    static long durationMillis(String text) {
        long total = 0, number = 0;
        for (char ch : text.toCharArray()) {
            if (ch >= '0' && ch <= '9') {
                number = number * 10 + (ch - '0');
                continue;
            }
            long unit = ch == 'W' ? 7 * DAY : ch == 'D' ? DAY : ch == 'H' ? 3600000L : ch == 'M' ? 60000L
                    : ch == 'S' ? 1000L : 0;
            total += number * unit;
            number = 0;
        }
        return text.startsWith("-") ? -total : total;
    }

    @Override
    protected ContentValues values(Record<EventField> r) {
        ContentValues v = new ContentValues();
        long start = parse(r.get(EventField.START)), end = parse(r.get(EventField.END));
        String zone = r.get(EventField.TIME_ZONE).isEmpty() ? TimeZone.getDefault().getID() : r.get(EventField.TIME_ZONE);
        boolean allDay = isAllDay(zone, start, end);
        v.put(Events.TITLE, r.get(EventField.TITLE));
        v.put(Events.DTSTART, Long.valueOf(start));
        if (r.get(EventField.RRULE).isEmpty()) {
            v.put(Events.DTEND, Long.valueOf(end > start ? end : start));
        } else {
            v.put(Events.RRULE, r.get(EventField.RRULE));
            v.put(Events.DURATION, duration(allDay, start, end));
        }
        v.put(Events.EVENT_TIMEZONE, allDay ? "UTC" : zone);
        v.put(Events.ALL_DAY, Integer.valueOf(allDay ? 1 : 0));
        putText(v, Events.EVENT_LOCATION, r.get(EventField.LOCATION));
        putText(v, Events.DESCRIPTION, r.get(EventField.DESCRIPTION));
        v.put(Events.HAS_ALARM, Integer.valueOf("1".equals(r.get(EventField.HAS_ALARM)) ? 1 : 0));
        return v;
    }

    /**
     * The record has no all-day flag: an event that runs from midnight to
     * midnight in UTC is one, which is how the provider stores all-day events.
     */
    static boolean isAllDay(String zone, long start, long end) {
        return ("UTC".equals(zone) || "GMT".equals(zone) || "Etc/UTC".equals(zone)) && start % DAY == 0
                && end > start && (end - start) % DAY == 0;
    }

    /** The length of a recurring event as the provider wants it: whole days, else seconds. */
    static String duration(boolean allDay, long start, long end) {
        return allDay ? "P" + (end - start) / DAY + "D" : "P" + Math.max(0, end - start) / 1000 + "S";
    }

    private static long parse(String text) {
        try {
            return Long.parseLong(text.trim());
        } catch (NumberFormatException e) {
            return 0;
        }
    }

    @Override
    public long add(Record<EventField> record) throws IOException {
        ContentValues v = values(record);
        v.put(Events.CALENDAR_ID, Long.valueOf(calendarId()));
        touched();
        Uri row;
        try {
            row = resolver.insert(Events.CONTENT_URI, v);
        } catch (SecurityException | IllegalArgumentException e) {
            throw new IOException("the calendar refused the event: " + e.getMessage(), e);
        }
        if (row == null)
            return -1;
        long id = ContentUris.parseId(row);
        String minutes = record.get(EventField.ALARM_MINUTES);
        if ("1".equals(record.get(EventField.HAS_ALARM)) && !minutes.isEmpty()) {
            ContentValues reminder = new ContentValues();
            reminder.put(Reminders.EVENT_ID, Long.valueOf(id));
            putNumber(reminder, Reminders.MINUTES, minutes);
            reminder.put(Reminders.METHOD, Integer.valueOf(Reminders.METHOD_ALERT));
            resolver.insert(Reminders.CONTENT_URI, reminder);
        }
        return id;
    }

    /** The agent's local calendar, made when the phone has none. */
    private long calendarId() throws IOException {
        Cursor c = Rows.query(resolver, Calendars.CONTENT_URI, new String[] {Calendars._ID},
                Calendars.ACCOUNT_TYPE + " = ? AND " + Calendars.ACCOUNT_NAME + " = ?",
                new String[] {CalendarContract.ACCOUNT_TYPE_LOCAL, ACCOUNT}, Calendars._ID + " ASC");
        try {
            if (c.moveToFirst())
                return c.getLong(0);
        } finally {
            c.close();
        }
        Uri asSyncAdapter = Calendars.CONTENT_URI.buildUpon()
                .appendQueryParameter(CalendarContract.CALLER_IS_SYNCADAPTER, "true")
                .appendQueryParameter(Calendars.ACCOUNT_NAME, ACCOUNT)
                .appendQueryParameter(Calendars.ACCOUNT_TYPE, CalendarContract.ACCOUNT_TYPE_LOCAL)
                .build();
        ContentValues v = new ContentValues();
        v.put(Calendars.ACCOUNT_NAME, ACCOUNT);
        v.put(Calendars.ACCOUNT_TYPE, CalendarContract.ACCOUNT_TYPE_LOCAL);
        v.put(Calendars.NAME, ACCOUNT);
        v.put(Calendars.CALENDAR_DISPLAY_NAME, "Copied events");
        v.put(Calendars.CALENDAR_ACCESS_LEVEL, Integer.valueOf(Calendars.CAL_ACCESS_OWNER));
        v.put(Calendars.OWNER_ACCOUNT, ACCOUNT);
        v.put(Calendars.VISIBLE, Integer.valueOf(1));
        v.put(Calendars.SYNC_EVENTS, Integer.valueOf(1));
        v.put(Calendars.CALENDAR_TIME_ZONE, TimeZone.getDefault().getID());
        Uri made = resolver.insert(asSyncAdapter, v);
        if (made == null)
            throw new IOException("no calendar to write to, and none could be made");
        return ContentUris.parseId(made);
    }
}
