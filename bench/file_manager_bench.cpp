// The file manager's selection against a real file manager, started by file_manager_bench.sh
// with its view focused on a folder of photos: for each press of the arrow key, the delay from
// the file manager's first event to the new selection being readable by the tick (reported on
// this, the UI, thread), and this process's CPU per change (the reader's thread and QtDBus's,
// plus this benchmark's own listener, a small share). Needs DISPLAY, the accessibility bus and
// QUILLORY_BENCH_MANAGER (the program's name) and QUILLORY_BENCH_KEY (the key that moves on).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "platform/selection/accessibility_bus.h"
#include "platform/selection/file_manager_selection.h"

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The moment the file manager's first event of a change reaches the bus: what the reader hears of.
class EventClock final : public QObject {
    Q_OBJECT

public:
    explicit EventClock(const QString& address)
        : bus_(QDBusConnection::connectToBus(address, "bench-clock")) {
        for (const char* member :
             {"SelectionChanged", "StateChanged", "PropertyChange", "ActiveDescendantChanged"})
            bus_.connect(QString(), QString(), "org.a11y.atspi.Event.Object", member, this, SLOT(heard()));
    }
    void reset() { first_.reset(); }
    std::optional<qint64> first() const { return first_; }
    QElapsedTimer clock;

public Q_SLOTS:
    void heard() {
        if (!first_) first_ = clock.nsecsElapsed();
    }

private:
    QDBusConnection bus_;
    std::optional<qint64> first_;
};

void selectionChange(benchmark::State& state) {
    const QString key = qEnvironmentVariable("QUILLORY_BENCH_KEY", "Right");
    std::string why;
    const std::optional<QString> address =
        quillory::selection::accessibilityBusAddress(std::chrono::seconds(2), &why);
    if (!address) return state.SkipWithError(why.c_str());
    EventClock events(*address);
    events.clock.start();
    std::optional<qint64> reported;
    quillory::selection::FileManagerSelection reader([&](std::vector<std::string>) {
        if (!reported) reported = events.clock.nsecsElapsed();
    });
    reader.start();
    QTest::qWait(3000);  // the reader finds the file manager and its window once
    double cpu = 0;
    std::vector<double> delays;
    const std::uint64_t questions = reader.counters().questions;
    for (auto _ : state) {
        events.reset();
        reported.reset();
        const double before = processCpuSeconds();
        QProcess::execute("xdotool", {"key", key});
        if (!QTest::qWaitFor([&] { return reported.has_value() && events.first().has_value(); }, 10000))
            return state.SkipWithError("no selection came");
        cpu += processCpuSeconds() - before;
        delays.push_back(static_cast<double>(*reported - *events.first()) * 1e-9);
        state.SetIterationTime(delays.back());
        QTest::qWait(300);  // the file manager's own follow-up events are not the next change's
    }
    const auto changes = static_cast<double>(delays.size());
    std::sort(delays.begin(), delays.end());
    state.counters["median_ms"] = delays[delays.size() / 2] * 1000;
    state.counters["max_ms"] = delays.back() * 1000;
    state.counters["cpu_ms_per_change"] = cpu * 1000 / changes;
    state.counters["questions_per_change"] =
        static_cast<double>(reader.counters().questions - questions) / changes;
}
BENCHMARK(selectionChange)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "file_manager_bench.moc"
