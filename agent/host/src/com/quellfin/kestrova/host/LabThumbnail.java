package com.quellfin.kestrova.host;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * The virtual phone's stand-in for a thumbnail: an 8x8 BMP whose colours
 * follow the file's first 64 KiB, so distinct files get distinct pictures,
 * the same ones the lab's own agent draws.
 */
final class LabThumbnail {
    private LabThumbnail() {}

    static byte[] of(Path file) {
        int h = 0x811C9DC5;
        byte[] buf = new byte[4096];
        try (InputStream in = Files.newInputStream(file)) {
            for (int i = 0; i < 16; i++) {
                int got = LabMedia.readUpTo(in, buf);
                if (got == 0)
                    break;
                for (int j = 0; j < got; j++)
                    h = (h ^ (buf[j] & 0xFF)) * 16777619;
            }
        } catch (IOException e) {
            // an unreadable file still gets a picture
        }
        final int side = 8, rowBytes = side * 3, pixels = rowBytes * side;
        byte[] bmp = new byte[54 + pixels];
        bmp[0] = 'B';
        bmp[1] = 'M';
        put32(bmp, 2, bmp.length);
        put32(bmp, 10, 54);
        put32(bmp, 14, 40);
        put32(bmp, 18, side);
        put32(bmp, 22, side);
        bmp[26] = 1;
        bmp[28] = 24;
        put32(bmp, 34, pixels);
        for (int i = 0; i < pixels; i++)
            bmp[54 + i] = (byte) ((h >>> ((i % 3) * 8)) + i / 3);
        return bmp;
    }

    private static void put32(byte[] b, int at, int v) {
        for (int i = 0; i < 4; i++)
            b[at + i] = (byte) (v >>> (8 * i));
    }
}
