package com.quellfin.kestrova.core;

/**
 * A calendar event: start and end in ms since 1970, an Olson time zone, an
 * RFC 5545 RRULE, the alarm as a "1"/"0" flag and minutes before the start.
 */
public enum EventField implements Field {
    CALENDAR_ID("CALENDARID"),
    TITLE("TITLE"),
    START("START"),
    END("END"),
    LOCATION("EVENTLOC"),
    TIME_ZONE("EVENTTZ"),
    DESCRIPTION("DESCRIPTION"),
    HAS_ALARM("HASALARM"),
    ALARM_MINUTES("MINUTES"),
    RRULE("RRULE");

    private final String replyKey;

    EventField(String replyKey) {
        this.replyKey = replyKey;
    }

    @Override
    public String replyKey() {
        return replyKey;
    }
}
