package com.quellfin.kestrova.sms;

import android.content.BroadcastReceiver;
import android.content.ContentValues;
import android.content.Context;
import android.content.Intent;
import android.provider.Telephony;
import android.telephony.SmsMessage;

/**
 * While the agent holds the default-SMS role, incoming messages are
 * delivered to it alone: it files them in the inbox so none is lost during
 * a copy.
 */
public final class SmsDeliverReceiver extends BroadcastReceiver {
    @Override
    public void onReceive(Context context, Intent intent) {
        SmsMessage[] parts = Telephony.Sms.Intents.getMessagesFromIntent(intent);
        if (parts == null || parts.length == 0)
            return;
        StringBuilder body = new StringBuilder();
        for (SmsMessage part : parts)
            body.append(part.getMessageBody());
        ContentValues v = new ContentValues();
        v.put(Telephony.Sms.ADDRESS, parts[0].getDisplayOriginatingAddress());
        v.put(Telephony.Sms.BODY, body.toString());
        v.put(Telephony.Sms.DATE, Long.valueOf(System.currentTimeMillis()));
        v.put(Telephony.Sms.TYPE, Integer.valueOf(Telephony.Sms.MESSAGE_TYPE_INBOX));
        v.put(Telephony.Sms.READ, Integer.valueOf(0));
        context.getContentResolver().insert(Telephony.Sms.CONTENT_URI, v);
    }
}
