package com.quellfin.kestrova.agent;

import static com.quellfin.kestrova.agent.TestPhone.hex;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.IOException;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.Test;

/**
 * Several connections at once, as when the desktop reads one phone's pages
 * while it writes another's records: each connection has its own uploads,
 * and the store sees every write exactly once.
 */
class ConnectionsTest {
    @Test
    void parallelConnectionsKeepTheirOwnUploadsAndEveryWrite() throws Exception {
        try (TestPhone phone = new TestPhone(17, 0)) {
            ExecutorService pool = Executors.newFixedThreadPool(4);
            List<Future<byte[]>> files = new ArrayList<>();
            for (int t = 0; t < 4; t++) {
                final int n = t;
                Callable<byte[]> job = () -> {
                    try (TestPhone.Client c = phone.newClient()) {
                        byte[] content = new byte[50000 + n];
                        java.util.Arrays.fill(content, (byte) ('a' + n));
                        assertEquals(0, c.integer("open_videofile:" + hex("same.mp4") + ";"));
                        for (int i = 0; i < 25; i++) {
                            assertEquals(1, c.integer("AddCallHistory:" + hex("" + n) + "-" + hex("" + i) + "-"
                                    + hex("1") + "-" + hex("0") + ";"));
                            if (i == 10)
                                assertEquals(content.length, TestPhone.integer(
                                        c.send("write_videofile:" + content.length + ";", content)));
                        }
                        assertEquals(0, c.integer("close_videofile;"));
                        assertEquals(1, c.integer("addvideotodevice:" + hex("same.mp4") + ";"));
                        return content;
                    }
                };
                files.add(pool.submit(job));
            }
            List<byte[]> sent = new ArrayList<>();
            for (Future<byte[]> f : files)
                sent.add(f.get());
            pool.shutdown();
            assertEquals(100, phone.integer("getcalllogcount;"));
            assertEquals(4, phone.integer("flushvideolist;"));
            // Four files of four lengths under four names; each whole.
            for (String name : new String[] {"same.mp4", "same(1).mp4", "same(2).mp4", "same(3).mp4"}) {
                byte[] got = Files.readAllBytes(phone.sdcard().resolve("Videos").resolve(name));
                byte[] expected = sent.get(got.length - 50000);
                assertArrayEquals(expected, got, name);
            }
        }
    }
}
