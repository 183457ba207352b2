package com.quellfin.kestrova;

import android.app.Notification;
import android.app.NotificationChannel;
import android.app.NotificationManager;
import android.app.Service;
import android.content.Context;
import android.content.Intent;
import android.os.Build;
import android.os.IBinder;
import android.util.Log;
import com.quellfin.kestrova.core.AgentServer;
import com.quellfin.kestrova.core.Greeting;
import com.quellfin.kestrova.phone.AndroidPhone;
import java.io.IOException;

/**
 * Serves the desktop's commands on the agent's two ports while a copy runs.
 * A foreground service, so the system does not stop it mid-copy; its
 * notification says that the phone is being copied.
 *
 * It listens only once a start has brought the desktop's token (the
 * activity passes on the extra of the desktop's "am start"); a later start
 * with a new token replaces it. After ten minutes without a connection the
 * server closes and the service stops itself. The token lives in memory
 * only; when the system restarts the service it redelivers the start.
 */
public final class AgentService extends Service {
    static final String TAG = "Kestrova";
    private static final String CHANNEL = "copy";
    private static final int NOTIFICATION_ID = 1;
    /** Foreground type "dataSync", required from Android 14. */
    private static final int TYPE_DATA_SYNC = 1;

    private AgentServer server;
    private boolean listening;
    private volatile int lastStart;

    @Override
    public void onCreate() {
        super.onCreate();
        goForeground();
        server = newServer();
    }

    /** Idle, it stops the service, unless a start came after the last one it saw. */
    private AgentServer newServer() {
        AgentServer s = new AgentServer(AndroidPhone.of(this), line -> Log.w(TAG, line));
        s.setOnIdle(() -> stopSelf(lastStart));
        return s;
    }

    @SuppressWarnings("deprecation")
    private void goForeground() {
        Notification.Builder b;
        if (Build.VERSION.SDK_INT >= Build.VERSION_CODES.O) {
            NotificationManager nm = (NotificationManager) getSystemService(Context.NOTIFICATION_SERVICE);
            nm.createNotificationChannel(new NotificationChannel(CHANNEL, "Copying", NotificationManager.IMPORTANCE_LOW));
            b = new Notification.Builder(this, CHANNEL);
        } else {
            b = new Notification.Builder(this);
        }
        Notification n = b.setContentTitle("Kestrova").setContentText("Copying data with your computer")
                .setSmallIcon(android.R.drawable.stat_notify_sync).setOngoing(true).build();
        if (Build.VERSION.SDK_INT >= Build.VERSION_CODES.UPSIDE_DOWN_CAKE)
            startForeground(NOTIFICATION_ID, n, TYPE_DATA_SYNC);
        else
            startForeground(NOTIFICATION_ID, n);
    }

    @Override
    public int onStartCommand(Intent intent, int flags, int startId) {
        lastStart = startId;
        if (server.isClosed()) {
            // It went idle just before this start: a new server for it.
            server = newServer();
            listening = false;
        }
        String token = intent == null ? null : intent.getStringExtra(Greeting.EXTRA_TOKEN);
        if (token != null)
            server.setToken(token);
        if (!server.hasToken()) {
            Log.w(TAG, "started without the desktop's token");
            if (!listening)
                stopSelf();
            return START_NOT_STICKY;
        }
        if (!listening) {
            try {
                server.start(AgentServer.PORTS);
                listening = true;
                Log.i(TAG, "listening on " + AgentServer.PORTS[0] + " and " + AgentServer.PORTS[1]);
            } catch (IOException e) {
                Log.w(TAG, "cannot listen", e);
                stopSelf();
                return START_NOT_STICKY;
            }
        }
        return START_REDELIVER_INTENT;
    }

    @Override
    public void onDestroy() {
        if (server != null)
            server.close();
        super.onDestroy();
    }

    @Override
    public IBinder onBind(Intent intent) {
        return null;
    }
}
