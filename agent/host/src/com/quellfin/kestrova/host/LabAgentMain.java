package com.quellfin.kestrova.host;

import com.quellfin.kestrova.core.AgentLog;
import com.quellfin.kestrova.core.AgentServer;
import com.quellfin.kestrova.core.Phone;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;

/**
 * The agent's core on the host JVM, inside a virtual phone:
 *
 *   LabAgentMain --dir PHONEDIR [--sdk N] [--sms-accept SECONDS]
 *                [--ports P1,P2] [--ready FILE] [--parent PID]
 *                [--idle SECONDS]
 *
 * It serves the phone's store on two loopback ports (0: chosen by the
 * system). The tokens come on standard input, one line per start of the
 * agent app (the start intent's extra; an empty line: the start had none),
 * never in the arguments, which every local user can read. Once listening
 * with the N-th token it writes "P1 P2 N" into the ready file. It ends when
 * its standard input ends, after --idle seconds without a connection (600
 * unless given; 0: never), and, with --parent, when that process ends, so
 * a virtual phone that goes away never leaves an agent behind.
 */
public final class LabAgentMain {
    private LabAgentMain() {}

    public static void main(String[] argv) throws Exception {
        String dir = null, ready = null;
        int sdk = 29, accept = 2;
        long idleSeconds = AgentServer.IDLE_MILLIS / 1000;
        int[] ports = {0, 0};
        long parent = 0;
        for (int i = 0; i + 1 < argv.length; i += 2) {
            String v = argv[i + 1];
            switch (argv[i]) {
                case "--dir": dir = v; break;
                case "--sdk": sdk = Integer.parseInt(v); break;
                case "--sms-accept": accept = Integer.parseInt(v); break;
                case "--ready": ready = v; break;
                case "--parent": parent = Long.parseLong(v); break;
                case "--idle": idleSeconds = Long.parseLong(v); break;
                case "--ports": {
                    String[] p = v.split(",");
                    ports = new int[p.length];
                    for (int j = 0; j < p.length; j++)
                        ports[j] = Integer.parseInt(p[j]);
                    break;
                }
                default:
                    usage("unknown option " + argv[i]);
            }
        }
        if (dir == null || argv.length % 2 != 0)
            usage("--dir is needed");
        AgentLog log = line -> System.err.println("agent: " + line);
        LabStore store = new LabStore(dir);
        Phone phone = labPhone(store, dir, sdk, accept);
        AgentServer server = new AgentServer(phone, log, AgentServer.GREETING_MILLIS, idleSeconds * 1000);
        // Idle: the app's service stops itself, as on a phone; the virtual
        // phone sees the process end.
        server.setOnIdle(() -> {
            store.close();
            Runtime.getRuntime().halt(0);
        });
        server.start(ports);
        if (parent > 0)
            watchParent(parent, server, store);
        int[] bound = server.boundPorts();
        StringBuilder line = new StringBuilder();
        for (int p : bound)
            line.append(line.length() == 0 ? "" : " ").append(p);
        log.line("listening on " + line);
        takeTokens(server, line.toString(), ready);
        server.close();
        store.close();
        Runtime.getRuntime().halt(0);
    }

    /**
     * Each line of standard input is the token of one start; after taking
     * it the ready file says "PORTS N". Returns when standard input ends.
     */
    private static void takeTokens(AgentServer server, String ports, String ready) throws IOException {
        BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.US_ASCII));
        long starts = 0;
        String token;
        while ((token = in.readLine()) != null) {
            server.setToken(token.trim());
            ++starts;
            if (ready != null)
                writeAtomically(Path.of(ready), ports + " " + starts + "\n");
        }
    }

    static Phone labPhone(LabStore store, String dir, int sdk, int accept) {
        return new Phone(LabPersonal.contacts(store), LabPersonal.messages(store), LabPersonal.calls(store),
                LabPersonal.events(store), new LabMedia(store, dir), new LabApps(dir),
                new LabSmsRole(store, dir, sdk, accept));
    }

    /** An open lab store and the phone over it, for benchmarks and tests in other packages. */
    public static final class LabStoreHandle implements AutoCloseable {
        public final Phone phone;
        private final LabStore store;

        public LabStoreHandle(String dir, int sdk, int accept) throws IOException {
            store = new LabStore(dir);
            phone = labPhone(store, dir, sdk, accept);
        }

        @Override
        public void close() {
            store.close();
        }
    }

    private static void watchParent(long pid, AgentServer server, LabStore store) {
        ProcessHandle.of(pid).ifPresentOrElse(p -> p.onExit().thenRun(() -> {
            server.close();
            store.close();
            Runtime.getRuntime().halt(0);
        }), () -> Runtime.getRuntime().halt(0));
    }

    private static void writeAtomically(Path path, String text) throws IOException {
        Path temp = path.resolveSibling(path.getFileName() + ".tmp");
        Files.writeString(temp, text, StandardCharsets.UTF_8);
        Files.move(temp, path, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
    }

    private static void usage(String why) {
        System.err.println("kestrova lab agent: " + why);
        System.exit(2);
    }
}
