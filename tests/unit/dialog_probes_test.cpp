// The settings dialog's probes: answers arrive from their threads, and a probe
// that fails, throws or does not answer in time counts as failed, without
// holding up the waiter beyond its bound. Also run under ThreadSanitizer.
#include "hardware/hardware_probe.h"
#include "platform/background_task.h"
#include "settings/dialogs/dialog_probes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A gate that probes wait at until the test opens it. Gates are never
// destroyed: a probe's thread may still wait at one when the program ends.
class Gate {
  public:
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
    }
    void Open() {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

TEST(BackgroundTask, GivesTheValueOrNothingByTheDeadline) {
    const auto answered = platform::BackgroundTask<int>::Start([] { return 42; });
    const int* value = answered.WaitUntil(Clock::now() + seconds(10));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, 42);
    EXPECT_EQ(answered.WaitUntil(Clock::now()), value) << "the value stays for later calls";

    const auto throwing = platform::BackgroundTask<int>::Start([]() -> int { throw std::runtime_error("probe"); });
    EXPECT_EQ(throwing.WaitUntil(Clock::now() + seconds(10)), nullptr);
    EXPECT_TRUE(throwing.Done());

    static Gate& gate = *new Gate;
    const auto late = platform::BackgroundTask<int>::Start([] {
        gate.Wait();
        return 7;
    });
    const auto before = Clock::now();
    EXPECT_EQ(late.WaitUntil(before + milliseconds(50)), nullptr);
    EXPECT_GE(Clock::now() - before, milliseconds(50));
    EXPECT_FALSE(late.Done());
    gate.Open();
    ASSERT_NE(late.WaitUntil(Clock::now() + seconds(10)), nullptr) << "an answer after the deadline still arrives";
    EXPECT_EQ(*late.WaitUntil(Clock::now()), 7);

    EXPECT_EQ(platform::BackgroundTask<int>().WaitUntil(Clock::now() + seconds(10)), nullptr) << "never started";
}

// Marks its thread's end: a thread-local object's destructor runs as the thread ends.
struct ThreadEndMark {
    std::atomic<bool>* ended = nullptr;
    ~ThreadEndMark() {
        if (ended) *ended = true;
    }
};

int MarkThreadEnd(std::atomic<bool>& ended, int value) {
    thread_local ThreadEndMark mark;
    mark.ended = &ended;
    return value;
}

TEST(BackgroundTask, AThreadMadeToStayHandsOverItsValueAndOutlivesOneThatReturns) {
    static std::atomic<bool> stayingEnded{false}, returningEnded{false};
    const auto staying = platform::BackgroundTask<int>::Start([] { return MarkThreadEnd(stayingEnded, 1); },
                                                              platform::ThreadEnd::StaysUntilProcessEnds);
    ASSERT_NE(staying.WaitUntil(Clock::now() + seconds(10)), nullptr);
    EXPECT_TRUE(staying.Done());
    const auto returning = platform::BackgroundTask<int>::Start([] { return MarkThreadEnd(returningEnded, 2); });
    ASSERT_NE(returning.WaitUntil(Clock::now() + seconds(10)), nullptr);
    const auto deadline = Clock::now() + seconds(10);
    while (!returningEnded && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(1));
    EXPECT_TRUE(returningEnded) << "a thread that returns ends";
    EXPECT_FALSE(stayingEnded) << "the thread made to stay ended, although it handed over its value first";
}

class FakeDisplay final : public DisplayProbe {
  public:
    explicit FakeDisplay(Gate* gate) : gate_(gate) {}
    bool EnumerateAdapters(AdapterEnumeration& found, const DeviceModeApproval& approve) override {
        if (gate_) gate_->Wait();
        approved = approve(D3DCAPS9{}, 0x40, D3DFMT_X8R8G8B8);
        found.adapterCount = found.monitorCount = 1;
        return true;
    }
    std::vector<int> SupportedSampleCounts() override {
        if (gate_) gate_->Wait();
        return {2, 4, 8};
    }
    std::atomic<bool> approved{false};

  private:
    Gate* gate_;
};

TEST(DialogProbes, AnswersArriveFromTheirThreads) {
    static FakeDisplay display(nullptr);
    static FixedHardware hardware(512u << 20, 2500, 1017);
    ScopedDisplayProbe useDisplay(display);
    ScopedHardware useHardware(hardware);
    DialogProbes probes;
    probes.StartDisplayProbes([](const D3DCAPS9&, DWORD, D3DFORMAT) { return true; });
    probes.StartHardwareFacts();
    AdapterEnumeration found{};
    EXPECT_TRUE(probes.Adapters(found));
    EXPECT_EQ(found.monitorCount, 1u);
    EXPECT_TRUE(display.approved) << "the approval reached the enumeration's thread";
    EXPECT_EQ(probes.SampleCounts(), (std::vector<int>{2, 4, 8}));
    const HardwareFacts facts = probes.Facts();
    EXPECT_EQ(facts.videoMemoryBytes, 512u << 20);
    EXPECT_EQ(facts.clockMhz, 2500);
    EXPECT_EQ(facts.screenHeight, 1017);
    EXPECT_TRUE(probes.AllAnswered());
}

// Probes that never answer: each wait ends at its bound, counted from the
// probe's start, with what a failed probe gives.
TEST(DialogProbes, ProbesThatDoNotAnswerCountAsFailedAtTheirBound) {
    // Never destroyed: its threads wait in it for good.
    static FakeDisplay& display = *new FakeDisplay(new Gate);
    ScopedDisplayProbe useDisplay(display);
    DialogProbes probes(DialogProbes::Bounds{milliseconds(100), milliseconds(200)});
    const auto started = Clock::now();
    probes.StartDisplayProbes([](const D3DCAPS9&, DWORD, D3DFORMAT) { return true; });
    AdapterEnumeration found{};
    found.adapterCount = found.monitorCount = 3;
    EXPECT_FALSE(probes.Adapters(found));
    EXPECT_EQ(found.monitorCount, 0u);
    EXPECT_EQ(found.adapterCount, 0u);
    EXPECT_TRUE(probes.SampleCounts().empty());
    const auto waited = Clock::now() - started;
    EXPECT_GE(waited, milliseconds(100));
    EXPECT_LT(waited, seconds(10)) << "the second wait must not add a bound of its own";
    EXPECT_FALSE(probes.AllAnswered());
    EXPECT_FALSE(probes.HardwareFactsStarted());
}

// The facts are measured once, when first asked for if not before; every
// later answer is that one.
TEST(DialogProbes, FactsAreMeasuredOnceWhenFirstNeeded) {
    static FixedHardware hardware(512u << 20, 2500, 1017);
    ScopedHardware useHardware(hardware);
    DialogProbes probes;
    EXPECT_FALSE(probes.HardwareFactsStarted());
    EXPECT_EQ(probes.Facts().clockMhz, 2500);
    EXPECT_TRUE(probes.HardwareFactsStarted());
    probes.StartHardwareFacts();
    EXPECT_EQ(probes.Facts().videoMemoryBytes, 512u << 20);
    EXPECT_EQ(hardware.Queries(), 3) << "one measurement: video memory, clock and height, once each";
}

} // namespace
