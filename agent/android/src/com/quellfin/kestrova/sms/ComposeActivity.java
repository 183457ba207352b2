package com.quellfin.kestrova.sms;

import android.app.Activity;
import android.os.Bundle;

/** The role requires an activity that answers "send to"; the agent writes no messages of its own. */
public final class ComposeActivity extends Activity {
    @Override
    protected void onCreate(Bundle savedInstanceState) {
        super.onCreate(savedInstanceState);
        finish();
    }
}
