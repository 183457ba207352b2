package com.quellfin.kestrova.phone;

import android.content.ContentResolver;
import android.content.ContentValues;
import android.database.Cursor;
import android.provider.CallLog;
import com.quellfin.kestrova.core.CallField;
import com.quellfin.kestrova.core.Record;

/** The call log. Copied entries are marked as seen, so no missed-call notice pops up. */
final class ProviderCallLog extends ProviderTable<CallField> {
    private static final String[] PROJECTION = {
        CallLog.Calls._ID, CallLog.Calls.CACHED_NAME, CallLog.Calls.NUMBER, CallLog.Calls.DATE,
        CallLog.Calls.TYPE, CallLog.Calls.DURATION};

    ProviderCallLog(ContentResolver resolver) {
        super(resolver, CallLog.Calls.CONTENT_URI, CallField.class);
    }

    @Override
    protected String[] projection() {
        return PROJECTION;
    }

    @Override
    protected void read(Cursor c, Record<CallField> r) {
        r.set(CallField.NAME, Rows.text(c, CallLog.Calls.CACHED_NAME))
                .set(CallField.NUMBER, Rows.text(c, CallLog.Calls.NUMBER))
                .set(CallField.DATE, Rows.text(c, CallLog.Calls.DATE))
                .set(CallField.TYPE, Rows.text(c, CallLog.Calls.TYPE))
                .set(CallField.DURATION, Rows.text(c, CallLog.Calls.DURATION));
    }

    @Override
    protected ContentValues values(Record<CallField> r) {
        ContentValues v = new ContentValues();
        v.put(CallLog.Calls.NUMBER, r.get(CallField.NUMBER));
        // The name the old phone showed; the call log keeps it until it looks the number up itself.
        if (!r.get(CallField.NAME).isEmpty())
            v.put(CallLog.Calls.CACHED_NAME, r.get(CallField.NAME));
        putNumber(v, CallLog.Calls.DATE, r.get(CallField.DATE));
        putNumber(v, CallLog.Calls.TYPE, r.get(CallField.TYPE));
        putNumber(v, CallLog.Calls.DURATION, r.get(CallField.DURATION));
        v.put(CallLog.Calls.NEW, Integer.valueOf(0));
        return v;
    }
}
