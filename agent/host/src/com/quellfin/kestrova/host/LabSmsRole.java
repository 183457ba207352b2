package com.quellfin.kestrova.host;

import com.quellfin.kestrova.core.Phone;
import com.quellfin.kestrova.core.SmsRole;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.sql.SQLException;

/**
 * The virtual phone's default-SMS-app role, kept in the store's settings
 * (so it outlives agent restarts, as on a phone). The phone's user accepts
 * the prompt a configured number of seconds after it was shown, or never
 * (-1); the lab's faults file may override that delay at run time.
 */
final class LabSmsRole implements SmsRole {
    static final String STOCK_SMS_PACKAGE = "com.android.messaging";

    private final LabStore store;
    private final Path faultsFile;
    private final int sdk;
    private final int acceptAfterSeconds;

    LabSmsRole(LabStore store, String phoneDir, int sdk, int acceptAfterSeconds) {
        this.store = store;
        this.faultsFile = Path.of(phoneDir, "agent-faults");
        this.sdk = sdk;
        this.acceptAfterSeconds = acceptAfterSeconds;
    }

    @Override
    public boolean restrictsWriters() {
        return sdk >= 19;
    }

    private int acceptSeconds() {
        try {
            for (String line : Files.readAllLines(faultsFile))
                if (line.startsWith("smsaccept="))
                    return Integer.parseInt(line.substring(10).trim());
        } catch (IOException | NumberFormatException ignored) {
            // no faults file or no such line: the phone's own setting
        }
        return acceptAfterSeconds;
    }

    @Override
    public boolean held() throws IOException {
        synchronized (store) {
            try {
                if (Phone.AGENT_PACKAGE.equals(store.setting("sms_role")))
                    return true;
                String asked = store.setting("sms_prompt_at");
                int accept = acceptSeconds();
                if (asked.isEmpty() || accept < 0)
                    return false;
                if (System.currentTimeMillis() < Long.parseLong(asked) + accept * 1000L)
                    return false;
                // The user tapped "Yes" on the prompt.
                store.setSetting("sms_role", Phone.AGENT_PACKAGE);
                store.setSetting("sms_prompt_at", "");
                return true;
            } catch (SQLException | NumberFormatException e) {
                throw new IOException("sms role: " + e.getMessage(), e);
            }
        }
    }

    @Override
    public int request() throws IOException {
        synchronized (store) {
            if (held())
                return 1;
            try {
                // A prompt already on screen stays; asking again does not restart it.
                if (store.setting("sms_prompt_at").isEmpty())
                    store.setSetting("sms_prompt_at", Long.toString(System.currentTimeMillis()));
            } catch (SQLException e) {
                throw LabStore.failed("sms role", e);
            }
            return 0;
        }
    }

    @Override
    public int release() throws IOException {
        synchronized (store) {
            boolean was = held();
            try {
                store.setSetting("sms_role", STOCK_SMS_PACKAGE);
                store.setSetting("sms_prompt_at", "");
            } catch (SQLException e) {
                throw LabStore.failed("sms role", e);
            }
            return was ? 1 : 0;
        }
    }

    @Override
    public String holder() throws IOException {
        return held() ? Phone.AGENT_PACKAGE : STOCK_SMS_PACKAGE;
    }
}
