package com.quellfin.kestrova.sms;

import android.app.Service;
import android.content.Intent;
import android.os.IBinder;

/** The role requires a "respond via message" service; the agent sends nothing. */
public final class RespondService extends Service {
    @Override
    public int onStartCommand(Intent intent, int flags, int startId) {
        stopSelf();
        return START_STICKY;
    }

    @Override
    public IBinder onBind(Intent intent) {
        return null;
    }
}
