package com.quellfin.kestrova.core;

import java.io.IOException;
import java.util.HashMap;
import java.util.Map;

/**
 * One connection's command table. Every command gets exactly one reply; a
 * command that is malformed or that the phone refuses gets the int -1 and
 * the connection stays. Only a write command whose byte count cannot be read
 * ends the connection, since its attached bytes cannot be skipped.
 */
public final class Session implements AutoCloseable {
    /** Thrown by a handler when the connection must end. */
    public static final class BrokenFraming extends IOException {
        private static final long serialVersionUID = 1L;

        public BrokenFraming(String why) {
            super(why);
        }
    }

    @FunctionalInterface
    interface Handler {
        byte[] handle(String args) throws IOException;
    }

    private final Map<String, Handler> handlers = new HashMap<>();
    private final AgentLog log;
    private final MediaCommands media;

    public Session(Phone phone, CommandReader reader, AgentLog log) {
        this.log = log;
        new PersonalCommands(phone).register(handlers);
        media = new MediaCommands(phone.media, reader);
        media.register(handlers);
        new AppCommands(phone.apps).register(handlers);
    }

    /** The reply body for one command (without its ";"). */
    public byte[] handle(String command) throws BrokenFraming {
        int colon = command.indexOf(':');
        String verb = colon < 0 ? command : command.substring(0, colon);
        String args = colon < 0 ? "" : command.substring(colon + 1);
        Handler handler = handlers.get(verb);
        if (handler == null) {
            log.line("unknown command " + shorten(verb));
            return Replies.int32(-1);
        }
        try {
            return handler.handle(args);
        } catch (BrokenFraming e) {
            throw e;
        } catch (IOException | RuntimeException e) {
            // The phone refused (provider error, full storage, revoked
            // permission): the desktop sees a failed write or an empty read.
            log.line(verb + " failed: " + e);
            return Replies.int32(-1);
        }
    }

    /** Drops unfinished uploads of this connection. */
    @Override
    public void close() {
        media.discardAll();
    }

    private static String shorten(String text) {
        return text.length() > 64 ? text.substring(0, 64) + "..." : text;
    }
}
