package com.quellfin.kestrova.agent;

import static com.quellfin.kestrova.agent.TestPhone.hex;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.quellfin.kestrova.core.Greeting;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.net.InetAddress;
import java.net.Socket;
import java.nio.file.Files;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import org.junit.jupiter.api.Test;

/**
 * The agent's door: every connection must open with the token of this
 * start, within the deadline; anything else is closed without a word and no
 * command of it is read. The desktop's job on its own connection goes on
 * meanwhile, and the token is never logged.
 */
class DoorTest {
    /** The deadline of these tests: short, so a late token is quick to show. */
    private static final int GREETING = 1000;

    private static void assertShut(TestPhone.Client c, String what) throws IOException {
        byte[] got = c.untilClosed(GREETING + 5000);
        assertNotNull(got, what + ": the agent closes the connection");
        assertEquals(0, got.length, what + ": and sends nothing");
    }

    private static String otherToken(String token) {
        char last = token.charAt(token.length() - 1);
        return token.substring(0, token.length() - 1) + (last == '0' ? '1' : '0');
    }

    @Test
    void strangersGetNothingAndAreClosed() throws IOException {
        try (TestPhone phone = new TestPhone(29, 0, GREETING, 0)) {
            // No token at all: the greeting and a command, as an app would try.
            try (TestPhone.Client c = new TestPhone.Client(phone.port(), null)) {
                c.write("hello-android;getsmsCount;");
                assertShut(c, "no token");
            }
            // Commands as long as a token: compared, refused at once.
            try (TestPhone.Client c = new TestPhone.Client(phone.port(), null)) {
                c.write("hello-android;getsmsCount;getcontactCount;getcalllogcount;getcalendarcount;x");
                assertShut(c, "commands in the token's place");
            }
            // A wrong token, then a write: nothing is stored.
            try (TestPhone.Client c = new TestPhone.Client(phone.port(), otherToken(phone.token))) {
                c.writeIfOpen("AddCallHistory:" + hex("1") + "-" + hex("2") + "-" + hex("3") + "-" + hex("4") + ";");
                assertShut(c, "wrong token");
            }
            // A token of another length: upper and lower case differ too.
            try (TestPhone.Client c = new TestPhone.Client(phone.port(), phone.token.substring(0, 32))) {
                c.write("hello-android;");
                assertShut(c, "half the token");
            }
            try (TestPhone.Client c = new TestPhone.Client(phone.port(), phone.token.toLowerCase())) {
                c.writeIfOpen("hello-android;");
                if (!phone.token.toLowerCase().equals(phone.token))
                    assertShut(c, "the token in other letters");
            }
            // The right token, sent after the deadline.
            try (TestPhone.Client c = new TestPhone.Client(phone.port(), null)) {
                sleep(GREETING + 300);
                c.writeIfOpen(phone.token + "hello-android;");
                assertShut(c, "late token");
            }
            // The token in pieces, within the deadline, is fine.
            try (TestPhone.Client c = new TestPhone.Client(phone.port(), phone.token.substring(0, 10))) {
                sleep(50);
                c.write(phone.token.substring(10));
                assertEquals("HI-PC", new String(c.send("hello-android;", null), "US-ASCII"));
            }
            assertEquals(0, phone.integer("getcalllogcount;"), "the stranger's write was never read");
            assertEquals("HI-PC", phone.text("hello-android;"), "the desktop's connection stays");
            assertNeverLogged(phone);
        }
    }

    @Test
    void aSecondClientWithTheTokenIsServedWhileTheJobGoesOn() throws Exception {
        try (TestPhone phone = new TestPhone(17, 0, GREETING, 0)) {
            ExecutorService pool = Executors.newFixedThreadPool(2);
            CountDownLatch started = new CountDownLatch(1);
            AtomicBoolean strangersDone = new AtomicBoolean();
            byte[] content = new byte[300000];
            for (int i = 0; i < content.length; i++)
                content[i] = (byte) (i * 31);
            // The job: records and a file in pieces on the desktop's connection,
            // going on until the strangers are through.
            Future<Integer> job = pool.submit(() -> {
                int stored = 0;
                assertEquals(0, phone.integer("open_videofile:" + hex("job.mp4") + ";"));
                for (int i = 0; !strangersDone.get() || i < 60; i++) {
                    stored += phone.integer("AddCallHistory:" + hex("" + i) + "-" + hex("555") + "-" + hex("1") + "-"
                            + hex("2") + ";");
                    if (i < 30) {
                        byte[] piece = java.util.Arrays.copyOfRange(content, i * 10000, (i + 1) * 10000);
                        assertEquals(piece.length, TestPhone.integer(
                                phone.send("write_videofile:" + piece.length + ";", piece)));
                    }
                    started.countDown();
                }
                assertEquals(0, phone.integer("close_videofile;"));
                assertEquals(1, phone.integer("addvideotodevice:" + hex("job.mp4") + ";"));
                return stored;
            });
            assertTrue(started.await(20, TimeUnit.SECONDS));
            try (TestPhone.Client none = new TestPhone.Client(phone.port(), "getcalllogcount;");
                    TestPhone.Client wrong = new TestPhone.Client(phone.port(), otherToken(phone.token));
                    TestPhone.Client late = new TestPhone.Client(phone.port(), null)) {
                wrong.writeIfOpen("getcalllogcount;");
                sleep(GREETING + 200);
                late.writeIfOpen(phone.token + "getcalllogcount;");
                assertShut(none, "no token");
                assertShut(wrong, "wrong token");
                assertShut(late, "late token");
            }
            try (TestPhone.Client second = phone.newClient()) {
                assertEquals("HI-PC", new String(second.send("hello-android;", null), "US-ASCII"));
                assertTrue(second.integer("getcalllogcount;") > 0, "the second client sees the job's records");
            }
            strangersDone.set(true);
            int stored = job.get(60, TimeUnit.SECONDS);
            pool.shutdown();
            assertEquals(stored, phone.integer("getcalllogcount;"), "every write of the job arrived once");
            assertTrue(stored >= 60);
            assertArrayEquals(content, Files.readAllBytes(phone.sdcard().resolve("Videos/job.mp4")),
                    "the job's file is whole");
            assertNeverLogged(phone);
        }
    }

    @Test
    void withoutAUsableTokenNobodyIsAdmitted() throws IOException {
        try (TestPhone phone = new TestPhone(29, 0, GREETING, 0)) {
            assertFalse(phone.server().setToken(phone.token.substring(0, 31)), "fewer than 128 bits");
            assertFalse(phone.server().hasToken());
            try (TestPhone.Client c = phone.newClient()) {
                c.writeIfOpen("hello-android;");
                assertShut(c, "no token set: not even the old one");
            }
            assertFalse(phone.server().setToken(phone.token.replace(phone.token.charAt(0), 'x')), "not hexadecimal");
            assertFalse(phone.server().setToken(null));
            assertNull(Greeting.parse(""));
            assertEquals(32, Greeting.parse("0123456789abcdef0123456789ABCDEF").length);
            assertTrue(phone.server().setToken(phone.token));
            assertEquals("HI-PC", new String(phone.newClient().send("hello-android;", null), "US-ASCII"));
        }
    }

    @Test
    void aForgottenAgentStopsListeningAfterItsIdleTime() throws Exception {
        AtomicBoolean idle = new AtomicBoolean();
        try (TestPhone phone = new TestPhone(29, 0, GREETING, 1500)) {
            phone.server().setOnIdle(() -> idle.set(true));
            // An admitted connection open (the desktop holding the phone) keeps it.
            assertEquals("HI-PC", phone.text("hello-android;"));
            sleep(2500);
            assertEquals("HI-PC", phone.text("hello-android;"));
            assertFalse(idle.get());
            // Strangers knocking do not keep it.
            phone.disconnect();
            for (int i = 0; i < 3; i++) {
                try (TestPhone.Client c = new TestPhone.Client(phone.port(), null)) {
                    c.writeIfOpen("hel");
                    sleep(150);
                }
            }
            long until = System.nanoTime() + 10_000_000_000L;
            while (!idle.get() && System.nanoTime() < until)
                sleep(20);
            assertTrue(idle.get(), "the idle action ran");
            assertTrue(phone.server().isClosed());
            assertFalse(answersWithTheToken(phone.port(), phone.token), "nothing of the agent listens any more");
            assertTrue(phone.log.stream().anyMatch(l -> l.contains("no longer listening")), String.join("\n", phone.log));
        }
    }

    /**
     * Whether something at the port answers the greeting. (Once the agent has
     * let its port go, another program of the machine may take it.)
     */
    private static boolean answersWithTheToken(int port, String token) {
        try (Socket s = new Socket(InetAddress.getLoopbackAddress(), port)) {
            s.setSoTimeout(2000);
            s.getOutputStream().write((token + "hello-android;").getBytes(StandardCharsets.US_ASCII));
            byte[] reply = new byte[9];
            int got = 0, n;
            while (got < reply.length && (n = s.getInputStream().read(reply, got, reply.length - got)) > 0)
                got += n;
            return got == 9 && new String(reply, 4, 5, StandardCharsets.US_ASCII).equals("HI-PC");
        } catch (IOException e) {
            return false; // refused, reset or silent: not the agent
        }
    }

    private static void assertNeverLogged(TestPhone phone) {
        synchronized (phone.log) {
            for (String line : phone.log)
                assertFalse(line.contains(phone.token) || line.contains(phone.token.substring(0, 16)),
                        "the token in the log: " + line);
        }
    }

    private static void sleep(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
