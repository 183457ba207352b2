package com.quellfin.kestrova.host;

import java.io.IOException;
import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.sql.Statement;

/**
 * The virtual phone's DIR/store.db, shared with the lab's own agent, its
 * fixture generator and its dump: the same tables, written the same way
 * (absent texts are empty strings). One connection, used by one thread at a
 * time: every caller synchronises on this object.
 */
final class LabStore implements AutoCloseable {
    private static final String[] SCHEMA = {
        "CREATE TABLE IF NOT EXISTS contacts(id INTEGER PRIMARY KEY AUTOINCREMENT, name, last_name,"
                + " nickname, mobile, home_number, work_number, homepage, home_email, birthday, group_name,"
                + " note, organization, department, home_address, work_address, home_fax, work_fax, work_email)",
        "CREATE TABLE IF NOT EXISTS threads(id INTEGER PRIMARY KEY AUTOINCREMENT, address_key UNIQUE)",
        "CREATE TABLE IF NOT EXISTS messages(id INTEGER PRIMARY KEY AUTOINCREMENT, thread_id, address,"
                + " person, body, date, type, read)",
        "CREATE TABLE IF NOT EXISTS calls(id INTEGER PRIMARY KEY AUTOINCREMENT, name, number, date, type,"
                + " duration)",
        "CREATE TABLE IF NOT EXISTS events(id INTEGER PRIMARY KEY AUTOINCREMENT, calendar_id, title,"
                + " dtstart, dtend, location, timezone, description, has_alarm, alarm_minutes, rrule)",
        "CREATE TABLE IF NOT EXISTS media(id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER,"
                + " path UNIQUE, size INTEGER, mtime INTEGER, ctime INTEGER, title, album, artist,"
                + " album_id INTEGER, duration INTEGER)",
        "CREATE TABLE IF NOT EXISTS settings(key PRIMARY KEY, value)",
    };

    private final Connection db;
    private final java.util.Map<String, PreparedStatement> prepared = new java.util.HashMap<>();

    LabStore(String phoneDir) throws IOException {
        try {
            db = DriverManager.getConnection("jdbc:sqlite:" + phoneDir + "/store.db");
            try (Statement s = db.createStatement()) {
                s.execute("PRAGMA busy_timeout=30000");
                s.execute("PRAGMA journal_mode=WAL");
                s.execute("PRAGMA synchronous=NORMAL");
                for (String sql : SCHEMA)
                    s.execute(sql);
            }
        } catch (SQLException e) {
            throw new IOException("cannot open the store of " + phoneDir + ": " + e.getMessage(), e);
        }
    }

    Connection connection() {
        return db;
    }

    /**
     * A statement compiled once and kept: paging runs the same few queries
     * thousands of times. The caller holds the store and must not close it.
     */
    synchronized PreparedStatement prepared(String sql) throws SQLException {
        PreparedStatement s = prepared.get(sql);
        if (s == null) {
            s = db.prepareStatement(sql);
            prepared.put(sql, s);
        }
        return s;
    }

    /** Changes whenever another connection commits to the file. */
    synchronized long dataVersion() throws SQLException {
        try (ResultSet r = prepared("PRAGMA data_version").executeQuery()) {
            return r.next() ? r.getLong(1) : 0;
        }
    }

    synchronized String setting(String key) throws SQLException {
        try (PreparedStatement s = db.prepareStatement("SELECT value FROM settings WHERE key = ?")) {
            s.setString(1, key);
            try (ResultSet r = s.executeQuery()) {
                return r.next() && r.getString(1) != null ? r.getString(1) : "";
            }
        }
    }

    synchronized void setSetting(String key, String value) throws SQLException {
        try (PreparedStatement s = db.prepareStatement("INSERT OR REPLACE INTO settings(key, value) VALUES(?, ?)")) {
            s.setString(1, key);
            s.setString(2, value);
            s.executeUpdate();
        }
    }

    static IOException failed(String what, SQLException e) {
        return new IOException(what + ": " + e.getMessage(), e);
    }

    @Override
    public synchronized void close() {
        try {
            db.close();
        } catch (SQLException ignored) {
            // closing at exit
        }
    }
}
