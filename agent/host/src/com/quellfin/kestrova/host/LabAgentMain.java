package com.quellfin.kestrova.host;

import com.quellfin.kestrova.core.AgentLog;
import com.quellfin.kestrova.core.AgentServer;
import com.quellfin.kestrova.core.Phone;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;

/**
 * The agent's core on the host JVM, inside a virtual phone:
 *
 *   LabAgentMain --dir PHONEDIR [--sdk N] [--sms-accept SECONDS]
 *                [--ports P1,P2] [--ready FILE] [--parent PID]
 *
 * It serves the phone's store on two loopback ports (0: chosen by the
 * system) and, once listening, writes "P1 P2" into the ready file. With
 * --parent it ends when that process ends, so a virtual phone that goes
 * away never leaves an agent behind.
 */
public final class LabAgentMain {
    private LabAgentMain() {}

    public static void main(String[] argv) throws Exception {
        String dir = null, ready = null;
        int sdk = 29, accept = 2;
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
        AgentServer server = new AgentServer(phone, log);
        server.start(ports);
        if (parent > 0)
            watchParent(parent, server, store);
        int[] bound = server.boundPorts();
        StringBuilder line = new StringBuilder();
        for (int p : bound)
            line.append(line.length() == 0 ? "" : " ").append(p);
        log.line("listening on " + line);
        if (ready != null)
            writeAtomically(Path.of(ready), line + "\n");
        Thread.currentThread().join(); // the server threads do the work
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
