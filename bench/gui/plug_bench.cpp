// From plugging an Android phone in to the window's pane showing it ready,
// against how long adb itself takes to list the phone after the same plug,
// in the same run. The real main window runs offscreen on the virtual lab;
// the phone is pulled out and put back with the lab's unplug and plug.
// Prints the median of the rounds; not a test.
//
//   bench_gui_plug [ROUNDS]
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "gui_support.h"
#include "kestrovaMainWidget.h"
#include "lab_window.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Both panes hold a phone that is ready for a copy.
bool bothReady(LabWindow& t) {
    return t.visible("sourceConnectedPane") && t.visible("destinationConnectedPane") &&
           t.window()->sourceId()[0] != 0 && t.window()->destinationId()[0] != 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    LabWindow t({"--android", "2", "--scenario", "modern"}, "bench-plug");
    if (!t.ready()) {
        std::fprintf(stderr, "the lab did not start: %s\n", qPrintable(t.error()));
        return 1;
    }
    t.open();
    if (!guitest::waitFor([&] { return bothReady(t); }, 120000)) {
        std::fprintf(stderr, "the phones never became ready\n");
        return 1;
    }
    const QString serial = t.lab().environment("KESTROVA_LAB_SERIAL_1");
    std::vector<double> pane, listed;
    for (int round = 0; round < rounds; ++round) {
        if (!(t.lab().lab("unplug", {"--phone", "1"}).exitCode == 0) ||
            !guitest::waitFor([&] { return !bothReady(t); }, 30000)) {
            std::fprintf(stderr, "round %d: the unplug was not seen\n", round);
            return 1;
        }
        // Settle, so the plug does not land on a check already under way.
        guitest::waitFor([] { return false; }, 1500);
        QElapsedTimer clock;
        clock.start();
        if (!(t.lab().lab("plug", {"--phone", "1"}).exitCode == 0)) {
            std::fprintf(stderr, "round %d: the plug failed\n", round);
            return 1;
        }
        // adb's own view, in parallel with the window's.
        QProcess adb;
        adb.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        adb.start(QStringLiteral("adb"), {"-s", serial, "wait-for-device"});
        double adbSeconds = -1;
        const bool ready = guitest::waitFor(
            [&] {
                if (adbSeconds < 0 && adb.state() == QProcess::NotRunning)
                    adbSeconds = clock.elapsed() / 1000.0;
                return bothReady(t);
            },
            30000);
        const double paneSeconds = clock.elapsed() / 1000.0;
        adb.waitForFinished(30000);
        if (adbSeconds < 0)
            adbSeconds = clock.elapsed() / 1000.0;
        if (!ready) {
            std::fprintf(stderr, "round %d: the pane never showed the phone ready\n", round);
            return 1;
        }
        pane.push_back(paneSeconds);
        listed.push_back(adbSeconds);
        std::printf("round %d: adb lists it after %.2f s, the pane shows it ready after %.2f s\n",
                    round, adbSeconds, paneSeconds);
    }
    const double p = median(pane), a = median(listed);
    std::printf("median of %d rounds: adb %.2f s, pane ready %.2f s (%.1fx adb; bound 3 s: %s)\n",
                rounds, a, p, a > 0 ? p / a : 0.0, p <= 3.0 ? "within" : "ABOVE");
    return 0;
}
