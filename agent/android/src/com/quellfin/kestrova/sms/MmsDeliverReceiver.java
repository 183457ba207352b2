package com.quellfin.kestrova.sms;

import android.content.BroadcastReceiver;
import android.content.Context;
import android.content.Intent;
import android.util.Log;

/**
 * The role requires a receiver for multimedia messages. The agent holds the
 * role only for the minutes of a copy and does not download MMS; the
 * message stays on the carrier's side and reaches the regular app later.
 */
public final class MmsDeliverReceiver extends BroadcastReceiver {
    @Override
    public void onReceive(Context context, Intent intent) {
        Log.w("Kestrova", "a multimedia message arrived during the copy; it is left to the messaging app");
    }
}
