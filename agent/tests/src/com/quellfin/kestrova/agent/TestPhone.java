package com.quellfin.kestrova.agent;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.quellfin.kestrova.core.AgentServer;
import com.quellfin.kestrova.core.Hex;
import com.quellfin.kestrova.host.LabAgentMain;
import java.io.DataInputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.SecureRandom;
import java.util.ArrayList;
import java.util.Collections;
import java.util.Comparator;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;

/**
 * A phone folder with the agent's core serving it on a loopback port, and a
 * client that speaks the desktop's side of the channel: every connection
 * opens with the token of this agent's start, as the desktop's do.
 */
final class TestPhone implements AutoCloseable {
    final Path dir;
    /** The token of this start, as the desktop makes it: 64 hexadecimal digits. */
    final String token = newToken();
    /** What the agent logged. */
    final List<String> log = Collections.synchronizedList(new ArrayList<>());
    private final LabAgentMain.LabStoreHandle store;
    private final AgentServer server;
    private Socket socket;
    private DataInputStream in;
    private OutputStream out;

    TestPhone(int sdk, int smsAcceptSeconds) throws IOException {
        this(sdk, smsAcceptSeconds, AgentServer.GREETING_MILLIS, 0);
    }

    /** With the door's bounds of a test: the greeting's deadline, the idle time (0: none). */
    TestPhone(int sdk, int smsAcceptSeconds, int greetingMillis, long idleMillis) throws IOException {
        String base = System.getenv("KESTROVA_AGENT_TEST_DIR");
        Path parent = Path.of(base != null ? base : System.getProperty("java.io.tmpdir"));
        Files.createDirectories(parent);
        dir = Files.createTempDirectory(parent, "phone-");
        store = new LabAgentMain.LabStoreHandle(dir.toString(), sdk, smsAcceptSeconds);
        server = new AgentServer(store.phone, log::add, greetingMillis, idleMillis);
        assertTrue(server.setToken(token));
        server.start(0);
        connect();
    }

    TestPhone() throws IOException {
        this(29, 0);
    }

    static String newToken() {
        byte[] bytes = new byte[32];
        new SecureRandom().nextBytes(bytes);
        return Hex.encode(bytes);
    }

    AgentServer server() {
        return server;
    }

    int port() {
        return server.boundPorts()[0];
    }

    /** One more connection to the same agent. */
    Client newClient() throws IOException {
        return new Client(port(), token);
    }

    /** A connection of its own, for tests with several at once. */
    static final class Client implements AutoCloseable {
        private final Socket socket;
        private final DataInputStream in;
        private final OutputStream out;

        /** Opens with these bytes (the token, or a stranger's; null: none). */
        Client(int port, String first) throws IOException {
            socket = new Socket(InetAddress.getLoopbackAddress(), port);
            socket.setSoTimeout(20000);
            in = new DataInputStream(socket.getInputStream());
            out = socket.getOutputStream();
            if (first != null) {
                out.write(first.getBytes(StandardCharsets.US_ASCII));
                out.flush();
            }
        }

        /** Sends raw bytes, unframed. */
        void write(String bytes) throws IOException {
            out.write(bytes.getBytes(StandardCharsets.US_ASCII));
            out.flush();
        }

        /** Sends raw bytes if the agent has not closed the connection yet. */
        void writeIfOpen(String bytes) {
            try {
                write(bytes);
            } catch (IOException e) {
                // closed already: what the test checks next
            }
        }

        /**
         * Everything the agent sends until it closes the connection; null
         * when it still has not closed it after waitMillis.
         */
        byte[] untilClosed(int waitMillis) throws IOException {
            socket.setSoTimeout(waitMillis);
            java.io.ByteArrayOutputStream got = new java.io.ByteArrayOutputStream();
            byte[] buf = new byte[4096];
            try {
                int n;
                while ((n = in.read(buf)) >= 0)
                    got.write(buf, 0, n);
            } catch (java.net.SocketTimeoutException e) {
                return null;
            } catch (java.net.SocketException e) {
                // reset by the agent: closed as well
            }
            return got.toByteArray();
        }

        byte[] send(String command, byte[] payload) throws IOException {
            return exchange(in, out, command, payload);
        }

        int integer(String command) throws IOException {
            return TestPhone.integer(send(command, null));
        }

        @Override
        public void close() throws IOException {
            socket.close();
        }
    }

    void connect() throws IOException {
        if (socket != null)
            socket.close();
        socket = new Socket(InetAddress.getLoopbackAddress(), server.boundPorts()[0]);
        socket.setSoTimeout(20000);
        in = new DataInputStream(socket.getInputStream());
        out = socket.getOutputStream();
        out.write(token.getBytes(StandardCharsets.US_ASCII));
    }

    /** Closes the test's own connection (open since the start). */
    void disconnect() throws IOException {
        if (socket != null)
            socket.close();
        socket = null;
    }

    OutputStream rawOutput() {
        return out;
    }

    Path sdcard() {
        return dir.resolve("sdcard");
    }

    /** Sends a command (and attached bytes) and returns the reply body. */
    byte[] send(String command, byte[] payload) throws IOException {
        return exchange(in, out, command, payload);
    }

    static byte[] exchange(DataInputStream in, OutputStream out, String command, byte[] payload) throws IOException {
        out.write(command.getBytes(StandardCharsets.UTF_8));
        if (payload != null)
            out.write(payload);
        out.flush();
        byte[] header = new byte[4];
        in.readFully(header);
        int length = (header[0] & 0xFF) | (header[1] & 0xFF) << 8 | (header[2] & 0xFF) << 16 | (header[3] & 0xFF) << 24;
        assertTrue(length >= 0 && length < (64 << 20), "sane length " + length);
        byte[] body = new byte[length];
        in.readFully(body);
        return body;
    }

    byte[] send(String command) throws IOException {
        return send(command, null);
    }

    String text(String command) throws IOException {
        return new String(send(command), StandardCharsets.UTF_8);
    }

    int integer(String command) throws IOException {
        return integer(send(command));
    }

    static int integer(byte[] reply) {
        assertEquals(4, reply.length, "an int reply");
        return (reply[0] & 0xFF) | (reply[1] & 0xFF) << 8 | (reply[2] & 0xFF) << 16 | (reply[3] & 0xFF) << 24;
    }

    long integer64(String command) throws IOException {
        byte[] reply = send(command);
        assertEquals(8, reply.length, "an int64 reply");
        long v = 0;
        for (int i = 7; i >= 0; i--)
            v = v << 8 | (reply[i] & 0xFF);
        return v;
    }

    /** True when the agent closed the connection. */
    boolean closedByAgent() throws IOException {
        try {
            return in.read() < 0;
        } catch (java.net.SocketException e) {
            return true;
        }
    }

    /** Parses a listing reply into records of key to decoded text, checking the grammar strictly. */
    static List<Map<String, String>> records(byte[] reply) {
        String text = new String(reply, StandardCharsets.US_ASCII);
        List<Map<String, String>> out = new ArrayList<>();
        Map<String, String> current = new LinkedHashMap<>();
        int at = 0;
        while (at < text.length()) {
            if (text.charAt(at) == '.') {
                out.add(current);
                current = new LinkedHashMap<>();
                at++;
                continue;
            }
            int colon = text.indexOf(':', at), semi = text.indexOf(';', colon);
            assertTrue(colon > at && semi > colon + 1, "item at " + at + " of " + text);
            String value = text.substring(colon + 1, semi);
            assertEquals(value.toUpperCase(), value, "upper-case hex");
            String decoded = Hex.decodeText(value);
            assertTrue(decoded != null, "hex value");
            current.put(text.substring(at, colon), decoded);
            at = semi + 1;
        }
        assertTrue(current.isEmpty(), "every record closed by '.'");
        return out;
    }

    static String hex(String text) {
        return Hex.encode(text);
    }

    @Override
    public void close() throws IOException {
        if (socket != null)
            socket.close();
        server.close();
        store.close();
        try (Stream<Path> files = Files.walk(dir)) {
            files.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
        }
    }
}
