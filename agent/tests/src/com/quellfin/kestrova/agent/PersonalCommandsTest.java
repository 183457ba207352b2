package com.quellfin.kestrova.agent;

import static com.quellfin.kestrova.agent.TestPhone.hex;
import static com.quellfin.kestrova.agent.TestPhone.records;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;

/** Contacts, messages, call log and calendar written and read back through the commands. */
class PersonalCommandsTest {
    private static final String LONG_TEXT;

    static {
        StringBuilder b = new StringBuilder();
        while (b.length() < 9000)
            b.append("Zeile ").append(b.length()).append(": Grüße aus 東京 — ✓\n");
        LONG_TEXT = b.toString();
    }

    private static String sms(String address, String body, String date, String read, String type) {
        return "SendSMS:" + hex(address) + "-" + hex(body) + "-" + hex(date) + "-" + hex(read) + "-" + hex("-1")
                + "-" + hex(type) + ";";
    }

    @Test
    void messagesPageByFiveInOrderWithWholeLongTexts() throws IOException {
        try (TestPhone phone = new TestPhone(17, 0)) { // below 4.4: no role needed
            assertEquals(0, phone.integer("getsmsCount;"));
            assertEquals(0, phone.send("getsmsPart10:0;").length, "an empty phone gives an empty page");
            for (int i = 0; i < 12; i++)
                assertEquals(1, phone.integer(sms("+49 30 " + (i % 3), i == 7 ? LONG_TEXT : "Nachricht " + i,
                        Long.toString(1700000000000L + i), i % 2 == 0 ? "1" : "0", "2")));
            assertEquals(12, phone.integer("getsmsCount;"));
            List<Map<String, String>> all = new ArrayList<>();
            for (int start = 0; start < 12; start += 5) {
                List<Map<String, String>> page = records(phone.send("getsmsPart10:" + start + ";"));
                assertEquals(Math.min(5, 12 - start), page.size());
                all.addAll(page);
            }
            assertEquals(0, phone.send("getsmsPart10:12;").length, "past the end");
            assertEquals(LONG_TEXT, all.get(7).get("BODY"), "a value of several kilobytes arrives whole");
            assertEquals("Nachricht 3", all.get(3).get("BODY"));
            assertEquals("1700000000003", all.get(3).get("DATE"));
            assertEquals("0", all.get(3).get("READ"));
            assertEquals("2", all.get(3).get("TYPE"));
            assertEquals(all.get(0).get("THREAD_ID"), all.get(3).get("THREAD_ID"), "one conversation per address");
            assertTrue(!all.get(0).get("THREAD_ID").equals(all.get(1).get("THREAD_ID")));
            assertEquals(1, phone.integer("ClearSMS;"));
            assertEquals(0, phone.integer("getsmsCount;"));
        }
    }

    @Test
    void rangesHoldWholeRecordsWithinTheirBudget() throws IOException {
        try (TestPhone phone = new TestPhone(17, 0)) {
            for (int i = 0; i < 12; i++)
                assertEquals(1, phone.integer(sms("+49 30 " + i, i == 4 ? LONG_TEXT : "Nachricht " + i,
                        Long.toString(1700000000000L + i), "1", "1")));
            List<Map<String, String>> all = records(phone.send("getsmsRange:0:100:10000000;"));
            assertEquals(12, all.size());
            assertEquals(LONG_TEXT, all.get(4).get("BODY"));
            assertEquals("Nachricht 11", all.get(11).get("BODY"));
            byte[] five = phone.send("getsmsPart10:0;");
            assertEquals(new String(five, StandardCharsets.US_ASCII),
                    new String(phone.send("getsmsRange:0:5:10000000;"), StandardCharsets.US_ASCII),
                    "five records as a range are the page of five");
            // A budget that ends inside the long message stops before it.
            byte[] four = phone.send("getsmsRange:0:4:10000000;");
            List<Map<String, String>> cut = records(phone.send("getsmsRange:0:10:" + (four.length + 100) + ";"));
            assertEquals(4, cut.size());
            assertEquals(four.length, phone.send("getsmsRange:0:10:" + four.length + ";").length);
            assertEquals(3, records(phone.send("getsmsRange:0:10:" + (four.length - 1) + ";")).size());
            List<Map<String, String>> lone = records(phone.send("getsmsRange:4:10:10;"));
            assertEquals(1, lone.size());
            assertEquals(LONG_TEXT, lone.get(0).get("BODY"), "the first record goes out whole beyond the budget");
            assertEquals(0, phone.send("getsmsRange:12:10:1000;").length, "past the end");
            for (String bad : new String[] {"getsmsRange:0;", "getsmsRange:-1:5:100;", "getsmsRange:0:0:100;",
                    "getsmsRange:0:5:x;"})
                assertEquals(-1, phone.integer(bad), bad);
        }
    }

    @Test
    void writingMessagesWaitsForTheDefaultSmsRole() throws IOException {
        try (TestPhone phone = new TestPhone(34, 1)) { // the user accepts after a second
            String one = sms("12345", "hi", "1", "1", "1");
            assertEquals("com.android.messaging", phone.text("GetDefaultMessage_pkgName;"));
            assertEquals(-1, phone.integer(one), "refused without the role");
            assertEquals(0, phone.integer("SetDefaultMessage;"), "the prompt is shown");
            assertEquals(0, phone.integer("SetDefaultMessage;"), "asking again keeps the same prompt");
            long deadline = System.currentTimeMillis() + 5000;
            while (!phone.text("GetDefaultMessage_pkgName;").equals("com.quellfin.kestrova")
                    && System.currentTimeMillis() < deadline)
                sleep(100);
            assertEquals("com.quellfin.kestrova", phone.text("GetDefaultMessage_pkgName;"));
            assertEquals(1, phone.integer(one));
            assertEquals(1, phone.integer("ReSetDefaultMessage;"), "the role was held and goes back");
            assertEquals(0, phone.integer("ReSetDefaultMessage;"));
            assertEquals(-1, phone.integer(one));
            assertEquals(1, phone.integer("getsmsCount;"));
        }
    }

    @Test
    void contactsInBothFormsListEveryField() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            long id = phone.integer64("AddPerson:" + hex("Zoë Ångström") + ":" + hex("+46 8 123") + ";");
            assertTrue(id > 0);
            assertEquals(1, phone.integer("UpdatePerson:" + id + ":" + hex("zoe@example.org") + ":HOMEEMAIL;"));
            assertEquals(1, phone.integer("UpdatePerson:" + id + ":" + hex(LONG_TEXT) + ":NOTE;"));
            assertEquals(1, phone.integer("UpdatePerson:" + id + ":" + hex("Ltd") + ":ORGANZATION;"));
            assertEquals(0, phone.integer("UpdatePerson:999999:" + hex("x") + ":NOTE;"), "no such contact");
            assertEquals(-1, phone.integer("UpdatePerson:" + id + ":" + hex("x") + ":SHOESIZE;"), "unknown key");

            StringBuilder three = new StringBuilder("AddPerson3:" + hex("Émile"));
            String[] fields = {"Mimi", "0170 1", "030 2", "040 3", "https://x.example", "e@home", "1980-02-29",
                    "Family", "note", "Org", "Dept", "extra1", "extra2", "Home St 1", "Work St 2", "030 9",
                    "040 9", "e@work"};
            for (String f : fields)
                three.append("-").append(hex(f));
            three.append("-").append(hex(" ")).append(";");
            assertTrue(phone.integer64(three.toString()) > id);

            assertEquals(2, phone.integer("getcontactCount;"));
            List<Map<String, String>> page = records(phone.send("getcontactpart10:0;"));
            assertEquals(2, page.size());
            Map<String, String> first = page.get(0), second = page.get(1);
            assertEquals(Long.toString(id), first.get("CONTACTID"));
            assertEquals("Zoë Ångström", first.get("NAME"));
            assertEquals("+46 8 123", first.get("PHONE_PHONE"));
            assertEquals("zoe@example.org", first.get("EMAIL_HOME"));
            assertEquals(LONG_TEXT, first.get("NOTE"));
            assertEquals("Ltd", first.get("ORG_NAME"));
            String[] keys = {"NICKNAME", "PHONE_PHONE", "PHONE_HOME", "PHONE_WORK", "WEBSITE", "EMAIL_HOME",
                    "BIRTHDAY", "GROUP", "NOTE", "ORG_NAME", "ORG_TITLE", null, null, "ADDRESS_HOME", "ADDRESS_WORK",
                    "PHONE_HOMEFAX", "PHONE_WORKFAX", "EMAIL_WORK"};
            for (int i = 0; i < keys.length; i++)
                if (keys[i] != null)
                    assertEquals(fields[i], second.get(keys[i]), keys[i]);
            assertTrue(!second.containsValue("extra1") && !second.containsValue("extra2"));
            assertEquals(1, phone.integer("ClearPerson;"));
            assertEquals(0, phone.integer("getcontactCount;"));
        }
    }

    @Test
    void aLastNameSentApartIsListedWithTheFirst() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            long id = phone.integer64("AddPerson:" + hex("Ada") + ":;");
            assertEquals(1, phone.integer("UpdatePerson:" + id + ":" + hex("Lovelace") + ":LASTNAME;"));
            Map<String, String> c = records(phone.send("getcontactpart10:0;")).get(0);
            assertEquals("Ada Lovelace", c.get("NAME"));
            assertEquals("Ada", c.get("GIVENNAME"));
            assertEquals("Lovelace", c.get("FAMILYNAME"));
            assertTrue(!c.containsKey("PHONE_PHONE"), "an empty mobile is left out");
        }
    }

    @Test
    void namePartsAfterTheClosingBlankAreKeptApart() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            String fields = "-".repeat(18) + "-" + hex(" ");
            phone.integer64("AddPerson3:" + hex("Curie") + fields + "--" + hex("Curie") + ";");
            Map<String, String> c = records(phone.send("getcontactpart10:0;")).get(0);
            assertEquals("Curie", c.get("NAME"));
            assertTrue(!c.containsKey("GIVENNAME"), "a family name alone");
            assertEquals("Curie", c.get("FAMILYNAME"));
        }
    }

    @Test
    void callsAndEventsKeepEveryField() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            assertEquals(1, phone.integer("AddCallHistory:" + hex("+1 555 0100") + "-" + hex("1700000000000") + "-"
                    + hex("3") + "-" + hex("0") + "-" + hex("Bo Ek") + ";"));
            Map<String, String> call = records(phone.send("getcalllogpart10:0;")).get(0);
            assertEquals("Bo Ek", call.get("NAME"));
            assertEquals("+1 555 0100", call.get("NUMBER"));
            assertEquals("1700000000000", call.get("DATE"));
            assertEquals("3", call.get("TYPE"));
            assertEquals("0", call.get("DURATION"));

            String[] withRule = {"Standup ☕", "1700000000000", "1700001800000", "Raum 4", "Europe/Berlin", "täglich",
                    "1", "15", "FREQ=WEEKLY;BYDAY=MO,WE"};
            String[] allDay = {"Feiertag", "1700006400000", "1700092800000", "", "UTC", "", "0", "", " "};
            for (String[] e : new String[][] {withRule, allDay}) {
                StringBuilder cmd = new StringBuilder("AddCalender:");
                for (int i = 0; i < e.length; i++)
                    cmd.append(i == 0 ? "" : "-").append(hex(e[i]));
                assertEquals(1, phone.integer(cmd.append(";").toString()));
            }
            List<Map<String, String>> events = records(phone.send("getcalendarpart10:0;"));
            assertEquals(2, events.size());
            String[] keys = {"TITLE", "START", "END", "EVENTLOC", "EVENTTZ", "DESCRIPTION", "HASALARM", "MINUTES",
                    "RRULE"};
            for (int i = 0; i < keys.length; i++)
                assertEquals(withRule[i], events.get(0).get(keys[i]), keys[i]);
            assertTrue(!events.get(1).containsKey("RRULE"), "a single blank means no rule");
            assertEquals(1, phone.integer("ClearCalender;"));
            assertEquals(1, phone.integer("ClearCallHistory;"));
            assertEquals(0, phone.integer("getcalendarcount;") + phone.integer("getcalllogcount;"));
        }
    }

    private static void sleep(long ms) {
        try {
            Thread.sleep(ms);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
