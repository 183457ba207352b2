// The worker thread the window and the driver run their background work on:
// what its owner may rely on once finished() arrives or wait() returns.
#include "joinable_thread.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

class Gate : public kestrova::JoinableThread {
  public:
    ~Gate() override { wait(); }
    std::atomic<bool> open{false};
    std::atomic<int> runs{0};
    int lastWritten = 0; // written by the thread, read by the owner after wait()

  protected:
    void run() override {
        while (!open)
            std::this_thread::yield();
        lastWritten = ++runs;
    }
};

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "joinable_thread_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

bool pumpUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        app().processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The window restarts a check from the slot of its finished(): the slot must
// already see the thread as ended, and the new start must run again.
TEST(JoinableThread, FinishedArrivesQueuedAfterTheEndAndTheThreadStartsAgainFromIt) {
    app();
    Gate gate;
    std::vector<bool> runningInSlot;
    QObject::connect(&gate, &kestrova::JoinableThread::finished, &gate, [&] {
        runningInSlot.push_back(gate.isRunning());
        if (gate.runs < 3)
            gate.start();
    });
    gate.open = true;
    gate.start();
    ASSERT_TRUE(pumpUntil([&] { return runningInSlot.size() == 3; }));
    EXPECT_EQ(runningInSlot, std::vector<bool>({false, false, false}));
    EXPECT_TRUE(gate.wait(0));
    EXPECT_EQ(gate.lastWritten, 3);
}

// The driver polls with a bounded wait; a start while running is ignored.
TEST(JoinableThread, BoundedWaitsReportARunningThreadAndASecondStartIsIgnored) {
    auto gate = std::make_unique<Gate>();
    EXPECT_TRUE(gate->wait(0)); // never started
    gate->start();
    EXPECT_TRUE(gate->isRunning());
    EXPECT_FALSE(gate->wait(20));
    gate->start();
    gate->open = true;
    EXPECT_TRUE(gate->wait());
    EXPECT_FALSE(gate->isRunning());
    EXPECT_EQ(gate->runs, 1);
    // Deleting it right after another start waits for that run.
    gate->start();
    gate.reset();
}

} // namespace
