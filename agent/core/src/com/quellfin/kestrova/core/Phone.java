package com.quellfin.kestrova.core;

/** Everything of the phone the agent reaches, each through its own small interface. */
public final class Phone {
    /** The agent's own package, as the phone knows it. */
    public static final String AGENT_PACKAGE = "com.quellfin.kestrova";

    public final ContactBook contacts;
    public final RecordStore<MessageField> messages;
    public final RecordStore<CallField> calls;
    public final RecordStore<EventField> events;
    public final MediaLibrary media;
    public final AppCatalog apps;
    public final SmsRole smsRole;

    public Phone(ContactBook contacts, RecordStore<MessageField> messages, RecordStore<CallField> calls,
            RecordStore<EventField> events, MediaLibrary media, AppCatalog apps, SmsRole smsRole) {
        this.contacts = contacts;
        this.messages = messages;
        this.calls = calls;
        this.events = events;
        this.media = media;
        this.apps = apps;
        this.smsRole = smsRole;
    }
}
