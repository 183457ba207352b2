package com.quellfin.kestrova.phone;

import android.app.role.RoleManager;
import android.content.Context;
import android.content.Intent;
import android.content.SharedPreferences;
import android.os.Build;
import android.provider.Settings;
import android.provider.Telephony;
import com.quellfin.kestrova.activity.ServiceActivity;
import com.quellfin.kestrova.core.SmsRole;

/**
 * The default-SMS-app role. Only the user can give it: from Android 10
 * through the role manager's request, before that through the
 * change-default prompt; both are shown by the agent's activity (a service
 * may not start them from the background). The app that held the role is
 * remembered so it can be offered back; from Android 10 an app cannot hand
 * a role to another app itself, so the user is sent to the default-apps
 * settings instead.
 */
final class DefaultSmsRole implements SmsRole {
    private static final String PREFS = "sms-role", PREVIOUS = "previous";
    private final Context context;

    DefaultSmsRole(Context context) {
        this.context = context;
    }

    @Override
    public boolean restrictsWriters() {
        return Build.VERSION.SDK_INT >= Build.VERSION_CODES.KITKAT;
    }

    @Override
    public boolean held() {
        if (Build.VERSION.SDK_INT >= Build.VERSION_CODES.Q) {
            RoleManager roles = (RoleManager) context.getSystemService(Context.ROLE_SERVICE);
            return roles != null && roles.isRoleHeld(RoleManager.ROLE_SMS);
        }
        return context.getPackageName().equals(holder());
    }

    @Override
    public int request() {
        if (!restrictsWriters() || held())
            return 1;
        String current = holder();
        if (!current.isEmpty() && !current.equals(context.getPackageName()))
            prefs().edit().putString(PREVIOUS, current).apply();
        context.startActivity(new Intent(context, ServiceActivity.class)
                .setAction(ServiceActivity.ACTION_ASK_SMS_ROLE)
                .addFlags(Intent.FLAG_ACTIVITY_NEW_TASK | Intent.FLAG_ACTIVITY_SINGLE_TOP));
        return 0;
    }

    @Override
    public int release() {
        if (!restrictsWriters() || !held())
            return 0;
        String previous = prefs().getString(PREVIOUS, "");
        Intent back;
        if (Build.VERSION.SDK_INT >= Build.VERSION_CODES.Q || previous.isEmpty()) {
            back = new Intent(Settings.ACTION_MANAGE_DEFAULT_APPS_SETTINGS);
        } else {
            back = new Intent(Telephony.Sms.Intents.ACTION_CHANGE_DEFAULT)
                    .putExtra(Telephony.Sms.Intents.EXTRA_PACKAGE_NAME, previous);
        }
        context.startActivity(back.addFlags(Intent.FLAG_ACTIVITY_NEW_TASK));
        return 1;
    }

    @Override
    public String holder() {
        String p = Telephony.Sms.getDefaultSmsPackage(context);
        return p == null ? "" : p;
    }

    private SharedPreferences prefs() {
        return context.getSharedPreferences(PREFS, Context.MODE_PRIVATE);
    }
}
