package com.quellfin.kestrova.activity;

import android.app.Activity;
import android.app.role.RoleManager;
import android.content.Context;
import android.content.Intent;
import android.content.pm.PackageManager;
import android.os.Build;
import android.os.Bundle;
import android.provider.Telephony;
import android.widget.TextView;
import com.quellfin.kestrova.AgentService;
import com.quellfin.kestrova.core.Greeting;
import java.util.ArrayList;
import java.util.List;

/**
 * What "am start" opens: asks for the runtime permissions a sideloaded app
 * lacks (adb install -g grants them up front), starts the agent's service
 * with the desktop's token (the intent extra Greeting.EXTRA_TOKEN) and stays
 * on screen while the copy runs, so the agent may show the default-SMS-app
 * prompt when the desktop asks for it. Only the shell (adb) and the app
 * itself may start it: the manifest asks its callers for a permission no
 * other app holds, so no app can hand the agent a token of its own.
 */
public final class ServiceActivity extends Activity {
    public static final String ACTION_ASK_SMS_ROLE = "com.quellfin.kestrova.ASK_SMS_ROLE";
    private static final int ASK_ROLE = 1, ASK_PERMISSIONS = 2;

    private static final String[] PERMISSIONS = {
        "android.permission.READ_CONTACTS", "android.permission.WRITE_CONTACTS",
        "android.permission.READ_SMS", "android.permission.RECEIVE_SMS",
        "android.permission.READ_CALL_LOG", "android.permission.WRITE_CALL_LOG",
        "android.permission.READ_CALENDAR", "android.permission.WRITE_CALENDAR",
        "android.permission.READ_EXTERNAL_STORAGE", "android.permission.WRITE_EXTERNAL_STORAGE",
        "android.permission.READ_MEDIA_IMAGES", "android.permission.READ_MEDIA_VIDEO",
        "android.permission.READ_MEDIA_AUDIO", "android.permission.POST_NOTIFICATIONS"};

    @Override
    protected void onCreate(Bundle savedInstanceState) {
        super.onCreate(savedInstanceState);
        TextView text = new TextView(this);
        text.setText("Kestrova is copying data with your computer.\nKeep the phone connected.");
        text.setPadding(48, 48, 48, 48);
        setContentView(text);
        askMissingPermissions();
        startAgent(getIntent());
        handle(getIntent());
    }

    @Override
    protected void onNewIntent(Intent intent) {
        super.onNewIntent(intent);
        if (intent != null && intent.getStringExtra(Greeting.EXTRA_TOKEN) != null)
            startAgent(intent);
        handle(intent);
    }

    /** Starts the service, handing on the token; the activity keeps no copy. */
    private void startAgent(Intent from) {
        Intent service = new Intent(this, AgentService.class);
        String token = from == null ? null : from.getStringExtra(Greeting.EXTRA_TOKEN);
        if (token != null) {
            service.putExtra(Greeting.EXTRA_TOKEN, token);
            from.removeExtra(Greeting.EXTRA_TOKEN);
        }
        if (Build.VERSION.SDK_INT >= Build.VERSION_CODES.O)
            startForegroundService(service);
        else
            startService(service);
    }

    private void askMissingPermissions() {
        if (Build.VERSION.SDK_INT < Build.VERSION_CODES.M)
            return;
        List<String> missing = new ArrayList<>();
        for (String p : PERMISSIONS)
            if (checkSelfPermission(p) != PackageManager.PERMISSION_GRANTED)
                missing.add(p);
        if (!missing.isEmpty())
            requestPermissions(missing.toArray(new String[0]), ASK_PERMISSIONS);
    }

    private void handle(Intent intent) {
        if (intent == null || !ACTION_ASK_SMS_ROLE.equals(intent.getAction()))
            return;
        if (Build.VERSION.SDK_INT >= Build.VERSION_CODES.Q) {
            RoleManager roles = (RoleManager) getSystemService(Context.ROLE_SERVICE);
            if (roles != null && roles.isRoleAvailable(RoleManager.ROLE_SMS) && !roles.isRoleHeld(RoleManager.ROLE_SMS))
                startActivityForResult(roles.createRequestRoleIntent(RoleManager.ROLE_SMS), ASK_ROLE);
        } else if (Build.VERSION.SDK_INT >= Build.VERSION_CODES.KITKAT) {
            startActivity(new Intent(Telephony.Sms.Intents.ACTION_CHANGE_DEFAULT)
                    .putExtra(Telephony.Sms.Intents.EXTRA_PACKAGE_NAME, getPackageName()));
        }
    }

    @Override
    protected void onActivityResult(int requestCode, int resultCode, Intent data) {
        // The desktop polls the role's holder; nothing to pass on here.
        super.onActivityResult(requestCode, resultCode, data);
    }
}
