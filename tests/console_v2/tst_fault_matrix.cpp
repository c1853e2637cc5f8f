// The fault matrix: the window of telvar_v210 against the device simulator
// while a reply, the port or the line goes wrong. Every case ends with its
// closing line in the traffic log, keeps the event loop answering, puts on
// the line only the requests the user caused, and is followed by a good
// status read.
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QtTest>

#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "tests/console_v2/sim_line.h"

using namespace telvar;
using namespace v2test;

namespace {

const QString kReadStatus1 = QStringLiteral("01 03 00 00 00 1E C5 C2");
const QString kSoundReset1 = QStringLiteral("01 06 00 16 A5 5A 93 65");
const QStringList kDevice{QStringLiteral("--device"), QStringLiteral("1:20")};
// In place of a fault: the line is not there when the case begins.
const QStringList kNotPlugged{QStringLiteral("not plugged")};
// The longest the event loop may go unanswered while a fault plays: well
// below the write time-out (over a second) and the close's two-second bound,
// well above a slow scheduler on a loaded machine.
constexpr qint64 kMaxPauseMs = 400;
constexpr int kClosingLineMs = 3000;
// How long the line must stay quiet after a case: one poll period and more.
constexpr int kQuietMs = 700;
constexpr int kPollPeriodMs = 500;

// Ticks on the UI thread and keeps the longest pause between two ticks.
class Heartbeat {
 public:
  Heartbeat() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { longest_ = std::max(longest_, since_.restart()); });
    since_.start();
    timer_.start();
  }
  // After a wait of the test's own (a process started or stopped).
  void Resync() { since_.restart(); }
  qint64 LongestMs() const { return longest_; }

 private:
  QTimer timer_;
  QElapsedTimer since_;
  qint64 longest_ = 0;
};

// Takes CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH out of this thread's
// effective set while it lives, so that file modes hold even for root.
class WithoutFileOverride {
 public:
  WithoutFileOverride() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
    dropped[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    active_ = syscall(SYS_capset, &header_, dropped) == 0;
  }
  ~WithoutFileOverride() {
    if (active_) syscall(SYS_capset, &header_, saved_);
  }
  bool Active() const { return active_; }

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool active_ = false;
};

// The window on a simulator line that the case may unplug and plug in again.
struct Matrix {
  explicit Matrix(const QStringList& faultArgs) : window(sim.link(), QFileInfo(sim.link()).path()) {
    window.form.Connection().TeSpinEdit1->setValue(1);
    if (faultArgs != kNotPlugged) Plug(faultArgs);
  }
  // Starts the simulator on the link (again); a fault only for its first run.
  void Plug(const QStringList& faultArgs = {}) {
    sim.process().waitForFinished(2000);  // a run that unplugged itself
    plugged = sim.start(kDevice + faultArgs);
    heartbeat.Resync();
  }
  void Unplug() {
    sim.stop();
    heartbeat.Resync();
  }
  void Click(const char* name) { QTest::mouseClick(window.Button(name), Qt::LeftButton); }
  QString Closing() { return window.Memo().last(); }
  // The requests on the line, without the noise that nobody asked for.
  QStringList Requests() const {
    QStringList requests;
    for (const SimLogLine& line : sim.log())
      if (line.outcome != QLatin1String("noise")) requests << line.request;
    return requests;
  }
  // The reply bytes that the traffic log shows, upper-case hex.
  QString LoggedReply() {
    QStringList bytes;
    for (const QString& line : window.Memo().mid(1)) {
      if (line.startsWith(kReplyPrefix) || line.startsWith(QStringLiteral("     ")))
        bytes += line.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return bytes.join(QLatin1Char(' '));
  }

  SimProcess sim;
  Window window;
  Heartbeat heartbeat;
  bool plugged = false;
  bool skipped = false;  // the case cannot be played here
};

// Plays the fault up to its closing line and mends the line afterwards.
struct Play {
  std::function<void(Matrix&)> fault;
  std::function<void(Matrix&)> mend = [](Matrix&) {};
};

// A single status request; done when its transaction has ended.
void ReadOnce(Matrix& m) {
  m.Click("TeButton5");
  QVERIFY(m.window.WaitForEnds(1));
}

// A request that fails at the port: no transaction follows.
void ReadOnceIntoPortFailure(Matrix& m) {
  m.Click("TeButton5");
  QVERIFY(!m.window.Link().TransactionOutstanding());
}

}  // namespace

Q_DECLARE_METATYPE(Play)

class TestFaultMatrix : public QObject {
  Q_OBJECT
 private slots:
  void faultMatrix_data();
  void faultMatrix();

 private:
  Dialogs dialogs_;
};

void TestFaultMatrix::faultMatrix_data() {
  QTest::addColumn<QStringList>("faultArgs");  // the first run's fault, or kNotPlugged
  QTest::addColumn<Play>("play");
  QTest::addColumn<QString>("closing");       // %1: the port
  QTest::addColumn<int>("replyBytes");        // bytes the log shows as the reply
  QTest::addColumn<QStringList>("requests");  // what the line saw, the good read included

  const QStringList twoReads{kReadStatus1, kReadStatus1};
  const Play readOnce{ReadOnce};
  const auto once = [](const QStringList& fault) { return fault + QStringList{"--fault-count", "1:1"}; };

  // Reply faults: a single status request while idle. A reply shorter than
  // asked for is taken with the bytes that came; one longer is cut at the
  // length asked for; of a reply in two parts only the first is read.
  QTest::newRow("reply: none") << once({"--fault", "1:no-reply"}) << readOnce << kLineTimeOut << 0 << twoReads;
  QTest::newRow("reply: bad CRC") << once({"--fault", "1:bad-crc"}) << readOnce << kLineCrcError << 65 << twoReads;
  QTest::newRow("reply: exception") << once({"--fault", "1:exception"}) << readOnce << kLineError << 5 << twoReads;
  QTest::newRow("reply: short, good CRC")
      << once({"--fault", "1:short"}) << readOnce << kLineBadLength << 63 << twoReads;
  QTest::newRow("reply: long") << once({"--fault", "1:long"}) << readOnce << kLineCrcError << 65 << twoReads;
  QTest::newRow("reply: whole, then surplus bytes")
      << once({"--fault", "1:extra"}) << readOnce << kLineOk << 65 << twoReads;
  // Its second part comes to a closed port and is lost.
  const Play readOnceThenWait{[](Matrix& m) {
    ReadOnce(m);
    QTest::qWait(500);
  }};
  QTest::newRow("reply: split by 300 ms")
      << once({"--fault", "1:split:300"}) << readOnceThenWait << kLineCrcError << 32 << twoReads;
  // The echo of a sound reset comes 350 ms after its time-out, to a closed
  // port, and is lost: the status read after it takes its own reply only.
  QTest::newRow("reply: late") << once({"--fault", "1:late:700"}) << Play{[](Matrix& m) {
    m.Click("TeButton4");
    QVERIFY(m.window.WaitForEnds(1));
    QTest::qWait(500);
  }} << kLineTimeOut << 0 << QStringList{kSoundReset1, kReadStatus1};
  QTest::newRow("garbage while a reply is awaited")
      << once({"--fault", "1:garbage"}) << readOnce << kLineCrcError << 8 << twoReads;
  // Noise while the port is closed never reaches a transaction.
  QTest::newRow("garbage while idle") << QStringList{"--noise", "100:40"} << Play{[](Matrix& m) {
    QTRY_COMPARE(m.sim.log().size(), 1);
    QCOMPARE(m.sim.log().first().outcome, QStringLiteral("noise"));
    QCOMPARE(m.window.Memo(), (QStringList{"TX :", "RX :"}));
    ReadOnce(m);
  }} << kLineOk << 65 << twoReads;

  // Port faults: the request never reaches the line; the transaction
  // after the port is mended is the first the device sees.
  const QString portError = kLinePortError + QStringLiteral("%1");
  QTest::newRow("port: missing") << kNotPlugged << Play{ReadOnceIntoPortFailure, [](Matrix& m) { m.Plug(); }}
                                 << portError << 0 << QStringList{kReadStatus1};
  auto holder = std::make_shared<TComPort>();
  QTest::newRow("port: busy") << QStringList{}
                              << Play{[holder](Matrix& m) {
                                        holder->SetPort(m.sim.link().toStdString());
                                        try {
                                          holder->OpenPort();
                                        } catch (const EComPort& e) {
                                          QFAIL(e.what());
                                        }
                                        m.heartbeat.Resync();
                                        ReadOnceIntoPortFailure(m);
                                      },
                                      [holder](Matrix&) { holder->ClosePort(); }}
                              << portError << 0 << QStringList{kReadStatus1};
  auto mode = std::make_shared<mode_t>(0);
  QTest::newRow("port: no permission")
      << QStringList{}
      << Play{[mode](Matrix& m) {
                const QByteArray tty = QFileInfo(m.sim.link()).canonicalFilePath().toLocal8Bit();
                struct stat st {};
                QVERIFY(stat(tty.constData(), &st) == 0);
                *mode = st.st_mode & 07777;
                QVERIFY(chmod(tty.constData(), 0) == 0);
                WithoutFileOverride guard;
                if (!guard.Active()) {
                  QVERIFY(chmod(tty.constData(), *mode) == 0);
                  m.skipped = true;
                  QSKIP("cannot take CAP_DAC_OVERRIDE out of the effective set: file modes do not bind root");
                }
                ReadOnceIntoPortFailure(m);
              },
              [mode](Matrix& m) {
                const QByteArray tty = QFileInfo(m.sim.link()).canonicalFilePath().toLocal8Bit();
                QVERIFY(chmod(tty.constData(), *mode) == 0);
              }}
      << portError << 0 << QStringList{kReadStatus1};

  // The line gone. In mid-reply (at 1200 baud, after 30 of its 65 bytes):
  // the bytes that came are judged by their CRC.
  QTest::newRow("line: unplugged in mid-reply") << QStringList{"--baud", "1200", "--fault", "1:unplug:30"}
                                                << Play{[](Matrix& m) {
                                                          ReadOnce(m);
                                                          QTRY_COMPARE(m.sim.process().state(), QProcess::NotRunning);
                                                          QVERIFY(!QFileInfo::exists(m.sim.link()));
                                                        },
                                                        [](Matrix& m) { m.Plug(); }}
                                                << kLineCrcError << 30 << twoReads;
  // During the cyclic poll: the request after the unplug fails at the port
  // and the poll halts, still "СТОП"; plugged in again it stays halted until
  // a command's transaction ends, and 500 ms after that it polls again.
  QTest::newRow("line: unplugged and plugged in during the poll")
      << QStringList{}
      << Play{[](Matrix& m) {
                BusLink& link = m.window.Link();
                m.Click("A0_CBox");
                m.Click("TeButton5");
                QVERIFY(m.window.WaitForEnds(2));
                QCOMPARE(m.Closing(), kLineOk);
                m.Unplug();
                QTRY_VERIFY_WITH_TIMEOUT(m.Closing().startsWith(kLinePortError), kClosingLineMs);
                QVERIFY(!link.TransactionOutstanding() && !link.Timer_Programm.isActive());
                QCOMPARE(link.sequencingState, uint8_t(kStateCyclicPoll));
                QCOMPARE(m.window.Button("TeButton5")->text(), QStringLiteral("СТОП"));
              },
              [](Matrix& m) {
                BusLink& link = m.window.Link();
                m.Plug();
                QVERIFY(m.plugged);
                QTest::qWait(kQuietMs + kPollPeriodMs);
                QCOMPARE(m.Requests().size(), 2);
                QVERIFY(m.Closing().startsWith(kLinePortError));
                m.Click("TeButton4");
                QVERIFY(m.window.WaitForEnds(1));
                QCOMPARE(m.Closing(), kLineOk);
                QElapsedTimer pause;
                pause.start();
                QVERIFY(m.window.WaitForEnds(1));
                QVERIFY2(pause.elapsed() >= kPollPeriodMs, qPrintable(QString::number(pause.elapsed())));
                QCOMPARE(m.Closing(), kLineOk);
                m.Click("TeButton5");  // stops the poll in its pause
                QCOMPARE(link.sequencingState, uint8_t(kStateIdle));
                m.Click("A0_CBox");  // the next press reads once
                QVERIFY(!m.window.Find<QCheckBox>("A0_CBox")->isChecked());
              }}
      << kLinePortError + QStringLiteral("%1") << 0
      << QStringList{kReadStatus1, kReadStatus1, kSoundReset1, kReadStatus1, kReadStatus1};
}

void TestFaultMatrix::faultMatrix() {
  QFETCH(QStringList, faultArgs);
  QFETCH(Play, play);
  QFETCH(QString, closing);
  QFETCH(int, replyBytes);
  QFETCH(QStringList, requests);

  Matrix m(faultArgs);
  QVERIFY2(m.plugged || faultArgs == kNotPlugged, qPrintable(m.sim.error()));
  play.fault(m);
  if (QTest::currentTestFailed() || m.skipped) return;

  // The closing line, the reply as far as it came, and the event loop
  // answering all the while.
  const QString expected = closing.contains(QLatin1String("%1")) ? closing.arg(m.sim.link()) : closing;
  QTRY_COMPARE_WITH_TIMEOUT(m.Closing(), expected, kClosingLineMs);
  QCOMPARE(m.LoggedReply().split(QLatin1Char(' '), Qt::SkipEmptyParts).size(), replyBytes);
  QVERIFY2(m.heartbeat.LongestMs() <= kMaxPauseMs, qPrintable(QString::number(m.heartbeat.LongestMs())));
  QVERIFY(!m.window.Link().TransactionOutstanding());

  // Mended, the next status read is good: the reply the device sent, whole.
  play.mend(m);
  if (QTest::currentTestFailed()) return;
  QVERIFY2(m.plugged, qPrintable(m.sim.error()));
  ReadOnce(m);
  QCOMPARE(m.Closing(), kLineOk);
  QCOMPARE(m.LoggedReply(), m.sim.log().last().reply);
  QVERIFY2(m.heartbeat.LongestMs() <= kMaxPauseMs, qPrintable(QString::number(m.heartbeat.LongestMs())));

  // Nothing went out that the user did not cause, then or later.
  QTest::qWait(kQuietMs);
  QCOMPARE(m.Requests().join(QLatin1Char('|')), requests.join(QLatin1Char('|')));
}

QTEST_MAIN(TestFaultMatrix)
#include "tst_fault_matrix.moc"
