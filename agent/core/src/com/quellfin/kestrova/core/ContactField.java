package com.quellfin.kestrova.core;

/**
 * A contact's fields. With LAST_NAME set, NAME is the given name and the
 * display name joins the two; without it NAME is the whole display name.
 * Listings send the display name as NAME and, when there is a last name,
 * both parts apart as GIVENNAME and FAMILYNAME.
 */
public enum ContactField implements Field {
    NAME("FIRSTNAME", "NAME"),
    LAST_NAME("LASTNAME", null),
    NICKNAME("NICKNAME", "NICKNAME"),
    MOBILE("MOBILE", "PHONE_PHONE"),
    HOME_NUMBER("HOMENUMBER", "PHONE_HOME"),
    WORK_NUMBER("WORKNUMBER", "PHONE_WORK"),
    HOMEPAGE("HOMEPAGE", "WEBSITE"),
    HOME_EMAIL("HOMEEMAIL", "EMAIL_HOME"),
    BIRTHDAY("BIRTHDAY", "BIRTHDAY"),
    GROUP("GROUP", "GROUP"),
    NOTE("NOTE", "NOTE"),
    ORGANIZATION("ORGANZATION", "ORG_NAME"),
    DEPARTMENT("DEPARTMENT", "ORG_TITLE"),
    HOME_ADDRESS("HOMEADDRESS", "ADDRESS_HOME"),
    WORK_ADDRESS("WORKADDRESS", "ADDRESS_WORK"),
    HOME_FAX("HOMEFAX", "PHONE_HOMEFAX"),
    WORK_FAX("WORKFAX", "PHONE_WORKFAX"),
    WORK_EMAIL("WORKEMAIL", "EMAIL_WORK");

    /** Key of the field in "UpdatePerson" commands. */
    public final String updateKey;
    private final String replyKey;

    ContactField(String updateKey, String replyKey) {
        this.updateKey = updateKey;
        this.replyKey = replyKey;
    }

    @Override
    public String replyKey() {
        return replyKey;
    }

    public static ContactField byUpdateKey(String key) {
        for (ContactField f : values())
            if (f.updateKey.equals(key))
                return f;
        return null;
    }

    /**
     * The eighteen fields of the one-command form, in the order they come;
     * the two nulls are texts a phone has no place for.
     */
    public static final ContactField[] ONE_COMMAND_ORDER = {
        NICKNAME, MOBILE, HOME_NUMBER, WORK_NUMBER, HOMEPAGE, HOME_EMAIL, BIRTHDAY, GROUP, NOTE,
        ORGANIZATION, DEPARTMENT, null, null, HOME_ADDRESS, WORK_ADDRESS, HOME_FAX, WORK_FAX, WORK_EMAIL};
}
