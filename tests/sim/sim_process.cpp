#include "tests/sim/sim_process.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

SimProcess::SimProcess() = default;

SimProcess::~SimProcess()
{
    if (process_.state() != QProcess::NotRunning)
        stop();
}

QString SimProcess::logPath(int run) const
{
    return dir_.filePath(run == 0 ? QStringLiteral("log") : QStringLiteral("log.%1").arg(run));
}

bool SimProcess::start(const QStringList& args)
{
    if (process_.state() != QProcess::NotRunning) {
        error_ = QStringLiteral("the simulator is still running");
        return false;
    }
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    // A test that crashes takes its simulator with it.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(QStringLiteral(TELVAR_SIM_PATH),
        args + QStringList {"--link", link(), "--log", logPath(runs_++)});
    QByteArray out;
    QDeadlineTimer deadline(5000);
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (!process_.waitForReadyRead(int(deadline.remainingTime()))) {
            if (process_.state() == QProcess::NotRunning)
                break;
        }
        out += process_.readAllStandardOutput();
    }
    if (out.trimmed() != link().toUtf8()) {
        error_ =
            QString("no ready line; stdout '%1' stderr '%2'")
                .arg(QString::fromUtf8(out), QString::fromUtf8(process_.readAllStandardError()));
        return false;
    }
    return true;
}

bool SimProcess::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
        return false;
    }
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

QString SimProcess::writeFile(const QString& name, const QByteArray& text) const
{
    QFile f(dir_.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
}

QList<SimLogLine> SimProcess::log() const
{
    QList<SimLogLine> lines;
    for (int run = 0; run < runs_; ++run) {
        QFile f(logPath(run));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& raw : f.readAll().split('\n')) {
            if (raw.isEmpty())
                continue;
            const QStringList fields = QString::fromUtf8(raw).split('\t');
            if (fields.size() != 4) {
                lines.append({"?", QString::fromUtf8(raw), "?", "malformed"});
                continue;
            }
            lines.append({fields[0], fields[1], fields[2], fields[3]});
        }
    }
    return lines;
}

QList<SimLogLine> SimProcess::waitForLog(int n, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QList<SimLogLine> lines = log();
    while (lines.size() < n && !deadline.hasExpired()) {
        QThread::msleep(10);
        lines = log();
    }
    return lines;
}

QString hexText(const QByteArray& bytes)
{
    return bytes.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QByteArray fromHex(const char* spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}
