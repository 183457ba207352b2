// Android phone to Android phone, end to end in the virtual lab: the real adb,
// the virtual phones and their agents, the libraries and the job, driven
// through the headless driver; the destination's store is then compared
// with the source's, record by record and file by file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QJsonArray>

#include "lab_session.h"

namespace {

void expectSameData(const QJsonObject& source, const QJsonObject& destination) {
    for (const QString kind : {"contacts", "messages", "calls", "calendar"}) {
        EXPECT_FALSE(projectedRecords(source, kind).isEmpty()) << kind.toStdString();
        EXPECT_EQ(projectedRecords(destination, kind), projectedRecords(source, kind))
            << kind.toStdString();
    }
    for (const QString media : {"photo", "video", "music"}) {
        EXPECT_FALSE(fileContents(source, media).isEmpty()) << media.toStdString();
        EXPECT_EQ(fileContents(destination, media), fileContents(source, media))
            << media.toStdString();
    }
    EXPECT_EQ(appPackages(destination), appPackages(source));
}

void expectAllSucceeded(const QJsonObject& report, const ProgramRun& run) {
    ASSERT_FALSE(report.isEmpty()) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(report.value("success").toBool()) << run.out.toStdString();
    const QJsonObject kinds = report.value("kinds").toObject();
    EXPECT_EQ(kinds.size(), 8);
    for (auto it = kinds.begin(); it != kinds.end(); ++it)
        EXPECT_EQ(it.value().toObject().value("outcome").toString(), "success")
            << it.key().toStdString() << ": "
            << it.value().toObject().value("text").toString().toStdString();
    EXPECT_EQ(run.exitCode, 0);
}

class AndroidToAndroid : public ::testing::TestWithParam<std::pair<int, int>> {};

// The default lab has phone 0 below Android 4.4 (no SMS prompt) and phone 1
// at Android 10 or later (the prompt, accepted after a moment).
TEST_P(AndroidToAndroid, EveryKindArrivesWhole) {
    const auto [source, destination] = GetParam();
    LabSession lab({"--android", "2", "--seed", "7"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    ASSERT_EQ(lab.lab("fill", {"--phone", QString::number(source), "--records", "12"}).exitCode, 0);

    ProgramRun run;
    const QJsonObject report = lab.transfer(
        {"--from", lab.androidPhone(source), "--to", lab.androidPhone(destination), "--all"}, &run);
    expectAllSucceeded(report, run);
    expectSameData(lab.dump(source), lab.dump(destination));
}

// Runs SQL on a virtual phone's store, with one text bound as given (it may
// hold a NUL byte).
bool onStore(const QString& phoneDir, const char* sql, const std::string& text = {}) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open((phoneDir + "/store.db").toUtf8().constData(), &db) == SQLITE_OK;
    sqlite3_stmt* statement = nullptr;
    ok = ok && sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK;
    if (ok && sqlite3_bind_parameter_count(statement) > 0)
        sqlite3_bind_text(statement, 1, text.data(), int(text.size()), SQLITE_TRANSIENT);
    ok = ok && sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return ok;
}

QJsonObject kindReport(const QJsonObject& report, const char* kind) {
    return report.value("kinds").toObject().value(kind).toObject();
}

// What a phone keeps apart arrives apart: given and family name, the name a
// call was shown with; a text with a NUL byte arrives whole, the NUL replaced
// and said so.
TEST(AndroidToAndroid, NamePartsCallNamesAndATextWithANulArrive) {
    LabSession lab({"--android", "2", "--seed", "7"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    const QString source = lab.phoneDir(0);
    // An empty store with its tables; the records below are all it holds.
    ASSERT_EQ(
        lab.run("kestrova-android-fixture", {"fill", "--dir", source, "--records", "0", "--photos",
                                             "0", "--videos", "0", "--music", "0", "--apps", "0"})
            .exitCode,
        0);
    ASSERT_TRUE(onStore(source, "INSERT INTO contacts(name, last_name, mobile) VALUES"
                                "('Anna', 'Berg', '+49 30 1234567'), ('', 'Curie', '+33 1 2345'),"
                                "('Grace Hopper', '', '+1 555 0100')"));
    ASSERT_TRUE(onStore(source, "INSERT INTO calls(name, number, date, type, duration) VALUES"
                                "('Anna Berg', '+49 30 1234567', '1700000000000', '1', '42'),"
                                "('', '+1 555 0199', '1700000100000', '3', '0')"));
    ASSERT_TRUE(onStore(source, "INSERT INTO threads(address_key) VALUES('+4930999')"));
    ASSERT_TRUE(onStore(source,
                        "INSERT INTO messages(thread_id, address, person, body, date, type, read)"
                        " VALUES((SELECT id FROM threads), '+49 30 999', '', ?, '1700000000000',"
                        " '1', '1')",
                        std::string("before\0after", 12)));

    ProgramRun run;
    const QJsonObject report =
        lab.transfer({"--from", lab.androidPhone(0), "--to", lab.androidPhone(1), "--kinds",
                      "contacts,sms,calllogs"},
                     &run);
    ASSERT_FALSE(report.isEmpty()) << run.out.toStdString() << run.err.toStdString();
    for (const char* kind : {"contacts", "sms", "calllogs"})
        EXPECT_EQ(kindReport(report, kind).value("outcome").toString(), "success") << kind;
    EXPECT_EQ(kindReport(report, "sms").value("changed").toInt(), 1);
    EXPECT_EQ(kindReport(report, "sms").value("text").toString(),
              "Success (1 text held a NUL byte, replaced)");
    EXPECT_EQ(kindReport(report, "contacts").value("changed").toInt(), 0);

    const QJsonObject from = lab.dump(0), to = lab.dump(1);
    EXPECT_EQ(projectedRecords(to, "contacts"), projectedRecords(from, "contacts"));
    EXPECT_EQ(projectedRecords(to, "calls"), projectedRecords(from, "calls"));
    const QJsonArray messages = to.value("messages").toArray();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.at(0).toObject().value("body").toString(),
              QString::fromUtf8("before\xEF\xBF\xBD"
                                "after"));
}

INSTANTIATE_TEST_SUITE_P(Destinations, AndroidToAndroid,
                         ::testing::Values(std::make_pair(1, 0), std::make_pair(0, 1)),
                         [](const auto& param_info) {
                             return param_info.param.second == 0 ? std::string("ToAndroidBelow44")
                                                                 : std::string("ToAndroid10");
                         });

} // namespace
