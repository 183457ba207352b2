package com.quellfin.kestrova.phone;

import android.content.Context;
import com.quellfin.kestrova.core.Phone;

/** The phone's providers behind the agent's interfaces. */
public final class AndroidPhone {
    private AndroidPhone() {}

    public static Phone of(Context context) {
        Context app = context.getApplicationContext();
        return new Phone(new ProviderContacts(app.getContentResolver()),
                new ProviderMessages(app.getContentResolver()),
                new ProviderCallLog(app.getContentResolver()),
                new ProviderCalendar(app.getContentResolver()),
                new ProviderMedia(app),
                new PackageApps(app.getPackageManager()),
                new DefaultSmsRole(app));
    }
}
