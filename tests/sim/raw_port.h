// The link opened as a plain raw serial port: write a frame, read what comes
// back with the time each byte arrived.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

class RawPort {
public:
    ~RawPort();
    bool open(const QString& path);
    void close();

    // Writes the frame and starts the clock of read().
    bool write(const QByteArray& frame);

    struct Received {
        QByteArray bytes;
        QList<qint64> atMs; // arrival of each byte, ms after write()
        // The longest pause between two received bytes, ms.
        qint64 longestGapMs() const;
    };
    // Reads until quietMs pass without a byte (or firstByteMs without any).
    Received read(int firstByteMs = 500, int quietMs = 100);

private:
    int fd_ = -1;
    QElapsedTimer clock_;
};
