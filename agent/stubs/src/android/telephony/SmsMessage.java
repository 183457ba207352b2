package android.telephony;

public class SmsMessage {
    public String getDisplayOriginatingAddress() { throw new RuntimeException("Stub!"); }
    public String getMessageBody() { throw new RuntimeException("Stub!"); }
    public long getTimestampMillis() { throw new RuntimeException("Stub!"); }
}
