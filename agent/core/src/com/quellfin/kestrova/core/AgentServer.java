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
 * listened on: adb forward arrives there, and nothing else should.
 */
public final class AgentServer implements AutoCloseable {
    public static final int[] PORTS = {15531, 15532};

    private final Phone phone;
    private final AgentLog log;
    private final List<ServerSocket> servers = new ArrayList<>();
    private final Set<Socket> connections = Collections.synchronizedSet(new HashSet<>());
    private volatile boolean closed;

    public AgentServer(Phone phone, AgentLog log) {
        this.phone = phone;
        this.log = log;
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

    /** Answers commands on one connection until the peer closes it or the framing breaks. */
    public void serve(Socket socket) {
        connections.add(socket);
        try (Socket s = socket) {
            s.setTcpNoDelay(true);
            serve(new CommandReader(new BufferedInputStream(s.getInputStream(), 64 * 1024)),
                    s.getOutputStream());
        } catch (IOException e) {
            if (!closed)
                log.line("connection ended: " + e.getMessage());
        } finally {
            connections.remove(socket);
        }
    }

    /** The command loop over any pair of streams (tests use pipes). */
    public void serve(CommandReader reader, OutputStream rawOut) throws IOException {
        OutputStream out = new BufferedOutputStream(rawOut, 64 * 1024);
        try (Session session = new Session(phone, reader, log)) {
            String command;
            while (!closed && (command = reader.readCommand()) != null) {
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
