package android.provider;

import android.net.Uri;

public final class CalendarContract {
    public static final String CALLER_IS_SYNCADAPTER = "caller_is_syncadapter";
    public static final String ACCOUNT_TYPE_LOCAL = "LOCAL";

    public static final class Calendars implements BaseColumns {
        public static final Uri CONTENT_URI = null;
        public static final String ACCOUNT_NAME = "account_name";
        public static final String ACCOUNT_TYPE = "account_type";
        public static final String NAME = "name";
        public static final String CALENDAR_DISPLAY_NAME = "calendar_displayName";
        public static final String CALENDAR_ACCESS_LEVEL = "calendar_access_level";
        public static final String OWNER_ACCOUNT = "ownerAccount";
        public static final String VISIBLE = "visible";
        public static final String SYNC_EVENTS = "sync_events";
        public static final String CALENDAR_TIME_ZONE = "calendar_timezone";
        public static final int CAL_ACCESS_OWNER = 700;
        public static final int CAL_ACCESS_CONTRIBUTOR = 500;
    }

    public static final class Events implements BaseColumns {
        public static final Uri CONTENT_URI = null;
        public static final String CALENDAR_ID = "calendar_id";
        public static final String TITLE = "title";
        public static final String DTSTART = "dtstart";
        public static final String DTEND = "dtend";
        public static final String DURATION = "duration";
        public static final String EVENT_LOCATION = "eventLocation";
        public static final String EVENT_TIMEZONE = "eventTimezone";
        public static final String DESCRIPTION = "description";
        public static final String HAS_ALARM = "hasAlarm";
        public static final String RRULE = "rrule";
        public static final String ALL_DAY = "allDay";
        public static final String DELETED = "deleted";
    }

    public static final class Reminders implements BaseColumns {
        public static final Uri CONTENT_URI = null;
        public static final String EVENT_ID = "event_id";
        public static final String MINUTES = "minutes";
        public static final String METHOD = "method";
        public static final int METHOD_ALERT = 1;
    }
}
