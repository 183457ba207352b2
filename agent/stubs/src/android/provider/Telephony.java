package android.provider;

import android.content.Context;
import android.content.Intent;
import android.net.Uri;
import android.telephony.SmsMessage;

public final class Telephony {
    public static final class Sms implements BaseColumns {
        public static final Uri CONTENT_URI = null;
        public static final String THREAD_ID = "thread_id";
        public static final String ADDRESS = "address";
        public static final String PERSON = "person";
        public static final String BODY = "body";
        public static final String DATE = "date";
        public static final String TYPE = "type";
        public static final String READ = "read";
        public static final String SEEN = "seen";
        public static final int MESSAGE_TYPE_INBOX = 1;

        public static String getDefaultSmsPackage(Context context) { throw new RuntimeException("Stub!"); }

        public static final class Intents {
            public static final String ACTION_CHANGE_DEFAULT = "android.provider.Telephony.ACTION_CHANGE_DEFAULT";
            public static final String EXTRA_PACKAGE_NAME = "package";
            public static final String SMS_DELIVER_ACTION = "android.provider.Telephony.SMS_DELIVER";

            public static SmsMessage[] getMessagesFromIntent(Intent intent) { throw new RuntimeException("Stub!"); }
        }
    }
}
