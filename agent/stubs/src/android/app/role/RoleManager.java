package android.app.role;

import android.content.Intent;

public final class RoleManager {
    public static final String ROLE_SMS = "android.app.role.SMS";

    public boolean isRoleAvailable(String roleName) { throw new RuntimeException("Stub!"); }
    public boolean isRoleHeld(String roleName) { throw new RuntimeException("Stub!"); }
    public Intent createRequestRoleIntent(String roleName) { throw new RuntimeException("Stub!"); }
}
