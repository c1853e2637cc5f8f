// Runs the real telvar_sim on a link in a temporary folder, with a log, and
// stops it with SIGTERM at the end of the test. It may be started again on
// the same link once a run has ended (a line unplugged and plugged in again):
// each run writes a log of its own, and log() gives them all in order.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "tests/support/crc.h"

struct SimLogLine {
    QString time;
    QString request;
    QString reply;
    QString outcome;
};

class SimProcess {
public:
    SimProcess();
    ~SimProcess();

    // Starts telvar_sim with the arguments plus --link and --log, and waits
    // for its ready line. False (with the reason in error()) on failure, or
    // when a run is still going.
    bool start(const QStringList& args);
    bool stop(); // SIGTERM; true when it exited with status 0

    QString link() const { return dir_.filePath("tty"); }
    QString error() const { return error_; }
    // Writes a file in the temporary folder (a register file) and returns its path.
    QString writeFile(const QString& name, const QByteArray& text) const;

    QList<SimLogLine> log() const;
    // Waits until the log has at least n lines.
    QList<SimLogLine> waitForLog(int n, int timeoutMs = 2000) const;

    QProcess& process() { return process_; }

private:
    QString logPath(int run) const;

    QTemporaryDir dir_;
    QProcess process_;
    QString error_;
    int runs_ = 0;
};

// Upper-case hex with single spaces, as the log writes it.
QString hexText(const QByteArray& bytes);
// The frame with its CRC-16/MODBUS appended, low byte first.
using telvar::testing::BytesWithCrc;
QByteArray fromHex(const char* spaced);
