// "kestrova --screenshots DIR", as the headless demo runs it: against a lab
// with two phones and a backup in the standard folder, the program fills its
// panes, copies Contacts and Photos through its own windows, photographs each
// screen and quits with 0.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>

#include "lab_session.h"

TEST(ScreenshotTour, ProgramPhotographsEveryScreenAndQuits) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    LabSession lab({"--android", "2"});
    ASSERT_TRUE(lab.ready()) << lab.startError().toStdString();
    const QString home = lab.environment("HOME");
    ASSERT_FALSE(home.isEmpty());
    ASSERT_EQ(lab.run("kestrova-backupfixture",
                      {"--format", "db", "--ios", "14", "--seed", "7", "--count", "5", "--out",
                       home + "/.local/share/MobileSync/Backup"})
                  .exitCode,
              0);
    // Two people's phones: each its own contacts (the same ones would already
    // be there, and the copy would rightly add nothing).
    for (const char* phone : {"0", "1"})
        ASSERT_EQ(
            lab.lab("fill", {"--phone", phone, "--records", "10", "--seed", QString("20") + phone})
                .exitCode,
            0);
    const QString shots = lab.dir() + "/shots";
    const ProgramRun tour = lab.run("kestrova", {"--screenshots", shots}, 240000);
    ASSERT_EQ(tour.exitCode, 0) << tour.err.toStdString();
    const QSize window(1000, 650);
    for (const char* name : {"1-phones", "2-usbDebugPage", "2-authorisationPage", "3-progress",
                             "4-completion", "5-backup-mode"}) {
        const QImage picture(shots + "/" + name + ".png");
        EXPECT_FALSE(picture.isNull()) << name;
        // The main window's pictures have its size; dialogs have their own.
        const char first = name[0];
        if (first == '1' || first == '2' || first == '5') {
            EXPECT_EQ(picture.size(), window) << name;
        }
        // The program lists what it saved, one path a line.
        EXPECT_TRUE(tour.out.contains(QString(name) + ".png")) << name;
    }
    // The copy made from the window arrived: whichever phone the window took
    // as the destination now holds its own ten contacts and the source's ten.
    QList<qsizetype> counts{projectedRecords(lab.dump(0), "contacts").size(),
                            projectedRecords(lab.dump(1), "contacts").size()};
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, (QList<qsizetype>{10, 20}));
}
