#include "process_set.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sys/prctl.h>
#include <csignal>

namespace quillory::e2e {

namespace {

void configure(QProcess& process, const QProcessEnvironment& env) {
    process.setProcessEnvironment(env);
    // If the driver is killed (a ctest timeout), the X server and the rest go with it.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, int ms, int stepMs) {
    QElapsedTimer clock;
    clock.start();
    while (true) {
        QCoreApplication::processEvents();
        if (condition()) return true;
        if (clock.elapsed() > ms) return false;
        QThread::msleep(static_cast<unsigned long>(stepMs));
    }
}

void Child::pump() {
    out += process.readAllStandardOutput();
    err += process.readAllStandardError();
}

int Child::errLines(const QByteArray& line) {
    pump();
    int count = 0;
    for (const QByteArray& each : err.split('\n')) count += each == line ? 1 : 0;
    return count;
}

ProcessSet::~ProcessSet() {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        Child& child = **it;
        if (child.running() && !signalAndWait(child, SIGTERM, 3000)) signalAndWait(child, SIGKILL, 3000);
    }
}

Child& ProcessSet::start(const QString& name, const QString& program, const QStringList& args,
                         const QProcessEnvironment& env) {
    auto& child = *children_.emplace_back(std::make_unique<Child>());
    child.name = name;
    configure(child.process, env);
    child.process.start(program, args);
    child.process.waitForStarted(5000);
    return child;
}

bool ProcessSet::signalAndWait(Child& child, int signal, int ms) {
    if (!child.running()) return true;
    ::kill(static_cast<pid_t>(child.process.processId()), signal);
    const bool ended = waitUntil([&] { return !child.running(); }, ms);
    child.pump();
    return ended;
}

int ProcessSet::run(const QString& program, const QStringList& args, const QProcessEnvironment& env, int ms,
                    QByteArray* err) {
    QProcess process;
    configure(process, env);
    process.start(program, args);
    if (!process.waitForStarted(5000)) return -1;
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, ms)) {
        process.kill();
        process.waitForFinished(3000);
        return -1;
    }
    if (err != nullptr) *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace quillory::e2e
