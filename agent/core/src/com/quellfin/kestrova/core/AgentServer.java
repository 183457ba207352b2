package com.quellfin.kestrova.core;

import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.ServerSocket;
import java.net.Socket;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

/**
 * The agent's listening side: one server socket per port (the desktop
 * reaches the first phone's agent on 15531 and the second's on 15532
 * through adb forward), one thread per connection. Only loopback is
 * listened on: adb forward arrives there, and nothing else should; every
 * app on the phone can reach loopback too, so each connection must first
 * show the token of this start (see Greeting) or is closed unanswered.
 *
 * A forgotten agent does not stay open: after IDLE_MILLIS in which no
 * admitted connection was open, the server stops listening, closes, and
 * runs the idle action (the phone's service stops itself).
 */
public final class AgentServer implements AutoCloseable {
    public static final int[] PORTS = {15531, 15532};
    /** How long a new connection has to send the token. */
    public static final int GREETING_MILLIS = 5000;
    /** Ten minutes without an admitted connection end the agent. */
    public static final long IDLE_MILLIS = 10 * 60 * 1000L;

    private final Phone phone;
    private final AgentLog log;
    private final int greetingMillis;
    private final long idleMillis;
    private final List<ServerSocket> servers = new ArrayList<>();
    private final Set<Socket> connections = Collections.synchronizedSet(new HashSet<>());
    private volatile boolean closed;
    private volatile byte[] token;
    private volatile Runnable onIdle;
    // Admitted connections open now, and when the last one ended (or the
    // server started, or the last command came): guarded by this.
    private int admitted;
    private long lastActivity = System.nanoTime();

    public AgentServer(Phone phone, AgentLog log) {
        this(phone, log, GREETING_MILLIS, IDLE_MILLIS);
    }

    /** With other bounds, for tests; idleMillis <= 0 never stops for idleness. */
    public AgentServer(Phone phone, AgentLog log, int greetingMillis, long idleMillis) {
        this.phone = phone;
        this.log = log;
        this.greetingMillis = greetingMillis;
        this.idleMillis = idleMillis;
    }

    /**
     * The token of this start, as the start intent carried it. A text that
     * is no token leaves the door shut for everyone; false then. A new token
     * replaces the old one for the connections that come after it.
     */
    public boolean setToken(String text) {
        byte[] parsed = Greeting.parse(text);
        token = parsed;
        if (parsed == null)
            log.line("no usable token in the start command: every connection is refused");
        touch(); // a start counts as activity: the idle time begins anew
        return parsed != null;
    }

    /** True while a token is set: only then can anyone be admitted. */
    public boolean hasToken() {
        return token != null;
    }

    /** What runs once the server has closed for idleness (on the watch thread). */
    public void setOnIdle(Runnable action) {
        onIdle = action;
    }

    /** Binds every port (0 lets the system choose) and starts accepting. */
    public void start(int... ports) throws IOException {
        for (int port : ports) {
            ServerSocket server = new ServerSocket();
            server.setReuseAddress(true);
            try {
                server.bind(new InetSocketAddress(InetAddress.getLoopbackAddress(), port));
            } catch (IOException e) {
                server.close();
                close();
                throw new IOException("cannot listen on port " + port + ": " + e.getMessage(), e);
            }
            servers.add(server);
        }
        for (ServerSocket server : servers) {
            Thread t = new Thread(() -> acceptLoop(server), "agent-accept-" + server.getLocalPort());
            t.setDaemon(true);
            t.start();
        }
        touch();
        if (idleMillis > 0) {
            Thread watch = new Thread(this::watchIdleness, "agent-idle");
            watch.setDaemon(true);
            watch.start();
        }
    }

    private synchronized void touch() {
        lastActivity = System.nanoTime();
    }

    private synchronized void admittedChange(int delta) {
        admitted += delta;
        lastActivity = System.nanoTime();
    }

    private synchronized boolean idleNow() {
        return admitted == 0 && System.nanoTime() - lastActivity >= idleMillis * 1000000L;
    }

    private void watchIdleness() {
        long step = Math.max(10, Math.min(1000, idleMillis / 10));
        while (!closed) {
            try {
                Thread.sleep(step);
            } catch (InterruptedException e) {
                return;
            }
            if (!closed && idleNow()) {
                log.line("no connection for " + idleMillis / 1000 + " s: no longer listening");
                close();
                Runnable action = onIdle;
                if (action != null)
                    action.run();
                return;
            }
        }
    }

    /** True once the server was closed (stopped, or idle). */
    public boolean isClosed() {
        return closed;
    }

    /** The ports actually bound, in the order asked for. */
    public int[] boundPorts() {
        int[] out = new int[servers.size()];
        for (int i = 0; i < out.length; i++)
            out[i] = servers.get(i).getLocalPort();
        return out;
    }

    private void acceptLoop(ServerSocket server) {
        while (!closed) {
            Socket socket;
            try {
                socket = server.accept();
            } catch (IOException e) {
                if (!closed)
                    log.line("accept failed: " + e.getMessage());
                return;
            }
            Thread t = new Thread(() -> serve(socket), "agent-connection");
            t.setDaemon(true);
            t.start();
        }
    }

    /**
     * Admits one connection by its token, then answers its commands until
     * the peer closes it or the framing breaks. A connection that is not
     * admitted is closed at once, unanswered and unlogged: a knock on the
     * door is nothing to report, and its bytes are nobody's business.
     */
    public void serve(Socket socket) {
        connections.add(socket);
        boolean in = false;
        try (Socket s = socket) {
            s.setTcpNoDelay(true);
            BufferedInputStream input = new BufferedInputStream(s.getInputStream(), 64 * 1024);
            if (closed || !Greeting.admit(s, input, token, greetingMillis))
                return;
            admittedChange(+1);
            in = true;
            serve(new CommandReader(input), s.getOutputStream());
        } catch (IOException e) {
            if (!closed && in)
                log.line("connection ended: " + e.getMessage());
        } finally {
            if (in)
                admittedChange(-1);
            connections.remove(socket);
        }
    }

    /** The command loop of an admitted connection, over any pair of streams (tests use pipes). */
    public void serve(CommandReader reader, OutputStream rawOut) throws IOException {
        OutputStream out = new BufferedOutputStream(rawOut, 64 * 1024);
        try (Session session = new Session(phone, reader, log)) {
            String command;
            while (!closed && (command = reader.readCommand()) != null) {
                touch();
                byte[] body = session.handle(command);
                out.write(Replies.int32(body.length));
                out.write(body);
                out.flush();
            }
        }
    }

    @Override
    public void close() {
        closed = true;
        for (ServerSocket s : servers) {
            try {
                s.close();
            } catch (IOException ignored) {
                // already closed
            }
        }
        synchronized (connections) {
            for (Socket s : connections) {
                try {
                    s.close();
                } catch (IOException ignored) {
                    // already closed
                }
            }
        }
    }
}
