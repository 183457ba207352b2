package android.provider;

import android.net.Uri;

public final class ContactsContract {
    public static final String AUTHORITY = "com.android.contacts";

    public static final class RawContacts implements BaseColumns {
        public static final Uri CONTENT_URI = null;
        public static final String ACCOUNT_NAME = "account_name";
        public static final String ACCOUNT_TYPE = "account_type";
        public static final String DELETED = "deleted";
        public static final String CONTACT_ID = "contact_id";
    }

    public static final class Data implements BaseColumns {
        public static final Uri CONTENT_URI = null;
        public static final String RAW_CONTACT_ID = "raw_contact_id";
        public static final String MIMETYPE = "mimetype";
        public static final String DATA1 = "data1";
        public static final String DATA2 = "data2";
        public static final String DATA3 = "data3";
        public static final String DATA4 = "data4";
        public static final String DATA5 = "data5";
    }

    public static final class Groups implements BaseColumns {
        public static final Uri CONTENT_URI = null;
        public static final String TITLE = "title";
        public static final String ACCOUNT_NAME = "account_name";
        public static final String ACCOUNT_TYPE = "account_type";
        public static final String DELETED = "deleted";
    }

    public static final class CommonDataKinds {
        public static final class StructuredName {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/name";
            public static final String DISPLAY_NAME = "data1";
            public static final String GIVEN_NAME = "data2";
            public static final String FAMILY_NAME = "data3";
        }

        public static final class Phone {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/phone_v2";
            public static final String NUMBER = "data1";
            public static final String TYPE = "data2";
            public static final int TYPE_HOME = 1;
            public static final int TYPE_MOBILE = 2;
            public static final int TYPE_WORK = 3;
            public static final int TYPE_FAX_WORK = 4;
            public static final int TYPE_FAX_HOME = 5;
        }

        public static final class Email {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/email_v2";
            public static final String ADDRESS = "data1";
            public static final String TYPE = "data2";
            public static final int TYPE_HOME = 1;
            public static final int TYPE_WORK = 2;
        }

        public static final class StructuredPostal {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/postal-address_v2";
            public static final String FORMATTED_ADDRESS = "data1";
            public static final String TYPE = "data2";
            public static final int TYPE_HOME = 1;
            public static final int TYPE_WORK = 2;
        }

        public static final class Organization {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/organization";
            public static final String COMPANY = "data1";
            public static final String TITLE = "data4";
            public static final String DEPARTMENT = "data5";
        }

        public static final class Note {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/note";
            public static final String NOTE = "data1";
        }

        public static final class Nickname {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/nickname";
            public static final String NAME = "data1";
        }

        public static final class Website {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/website";
            public static final String URL = "data1";
            public static final String TYPE = "data2";
            public static final int TYPE_HOMEPAGE = 1;
        }

        public static final class Event {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/contact_event";
            public static final String START_DATE = "data1";
            public static final String TYPE = "data2";
            public static final int TYPE_BIRTHDAY = 3;
        }

        public static final class GroupMembership {
            public static final String CONTENT_ITEM_TYPE = "vnd.android.cursor.item/group_membership";
            public static final String GROUP_ROW_ID = "data1";
        }
    }
}
