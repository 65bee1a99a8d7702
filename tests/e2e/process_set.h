#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace quillory::e2e {

// Polls `condition` every `stepMs` until it holds or `ms` have passed, handling events meanwhile.
// The deadline bounds the wait; it never decides the outcome by itself.
bool waitUntil(const std::function<bool()>& condition, int ms, int stepMs = 20);

// One child process with its output kept.
struct Child {
    QString name;
    QProcess process;
    QByteArray out;
    QByteArray err;

    // Collects what the child wrote so far.
    void pump();
    bool running() const { return process.state() != QProcess::NotRunning; }
    // Lines of standard error equal to `line`.
    int errLines(const QByteArray& line);
};

// Every process the test starts. Each one dies with the driver (even a killed driver), and the
// destructor ends the ones still running: SIGTERM, then SIGKILL.
class ProcessSet {
public:
    ProcessSet() = default;
    ProcessSet(const ProcessSet&) = delete;
    ProcessSet& operator=(const ProcessSet&) = delete;
    ~ProcessSet();

    Child& start(const QString& name, const QString& program, const QStringList& args,
                 const QProcessEnvironment& env);
    // Sends `signal`, waits up to `ms` for the end; true when it ended.
    static bool signalAndWait(Child& child, int signal, int ms);
    // Runs a short helper to its end (xdotool, a second quillory); its exit code, -1 on timeout.
    int run(const QString& program, const QStringList& args, const QProcessEnvironment& env, int ms,
            QByteArray* err = nullptr);

private:
    std::vector<std::unique_ptr<Child>> children_;
};

}  // namespace quillory::e2e
