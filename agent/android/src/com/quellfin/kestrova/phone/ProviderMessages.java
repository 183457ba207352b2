package com.quellfin.kestrova.phone;

import android.content.ContentResolver;
import android.content.ContentValues;
import android.database.Cursor;
import android.provider.Telephony;
import com.quellfin.kestrova.core.MessageField;
import com.quellfin.kestrova.core.Record;

/**
 * Text messages in the telephony provider. Writing needs the default-SMS
 * role (checked by the core); the provider files each message into the
 * conversation of its address. Since Android 14 some messages (one-time
 * codes) are visible only to the role holder.
 */
final class ProviderMessages extends ProviderTable<MessageField> {
    private static final String[] PROJECTION = {
        Telephony.Sms._ID, Telephony.Sms.THREAD_ID, Telephony.Sms.ADDRESS, Telephony.Sms.PERSON,
        Telephony.Sms.BODY, Telephony.Sms.DATE, Telephony.Sms.TYPE, Telephony.Sms.READ};

    ProviderMessages(ContentResolver resolver) {
        super(resolver, Telephony.Sms.CONTENT_URI, MessageField.class);
    }

    @Override
    protected String[] projection() {
        return PROJECTION;
    }

    @Override
    protected void read(Cursor c, Record<MessageField> r) {
        r.set(MessageField.THREAD_ID, Rows.text(c, Telephony.Sms.THREAD_ID))
                .set(MessageField.ADDRESS, Rows.text(c, Telephony.Sms.ADDRESS))
                .set(MessageField.PERSON, Rows.text(c, Telephony.Sms.PERSON))
                .set(MessageField.BODY, Rows.text(c, Telephony.Sms.BODY))
                .set(MessageField.DATE, Rows.text(c, Telephony.Sms.DATE))
                .set(MessageField.TYPE, Rows.text(c, Telephony.Sms.TYPE))
                .set(MessageField.READ, Rows.text(c, Telephony.Sms.READ));
    }

    @Override
    protected ContentValues values(Record<MessageField> r) {
        ContentValues v = new ContentValues();
        putText(v, Telephony.Sms.ADDRESS, r.get(MessageField.ADDRESS));
        v.put(Telephony.Sms.BODY, r.get(MessageField.BODY));
        putNumber(v, Telephony.Sms.DATE, r.get(MessageField.DATE));
        putNumber(v, Telephony.Sms.TYPE, r.get(MessageField.TYPE));
        putNumber(v, Telephony.Sms.READ, r.get(MessageField.READ));
        // Copied messages are old news: no "new message" notification.
        v.put(Telephony.Sms.SEEN, Integer.valueOf(1));
        return v;
    }
}
