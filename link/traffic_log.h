// The traffic log: one transaction's request and reply as hexadecimal bytes
// and the lines that tell how it ended. The line rules are plain functions;
// TrafficLog keeps the lines and their colour and shows them in a text box.
#pragma once

#include <cstdint>

#include <QColor>
#include <QString>
#include <QStringList>

class QPlainTextEdit;

namespace telvar {

inline const QString kRequestPrefix = QStringLiteral("TX : ");
inline const QString kReplyPrefix = QStringLiteral("RX : ");
inline const QString kPlaceholder = QStringLiteral("RX :");
inline const QString kStatusPrefix = QStringLiteral("   : ");

// Status lines of the bus link.
inline const QString kLineOk = QStringLiteral("   : ОК.");
inline const QString kLineError = QStringLiteral("   : ОШИБКА.");
inline const QString kLineCrcError = QStringLiteral("   : CRC ERROR.");
inline const QString kLineTimeOut = QStringLiteral("   : TIME OUT.");
inline const QString kLinePortError = QStringLiteral("   : ОШИБКА ОТКРЫТИЯ ПОРТА ");  // + port name
inline const QString kLineBadLength = QStringLiteral("   : НЕВЕРНАЯ ДЛИНА ОТВЕТА.");
inline const QString kLineBadId = QStringLiteral("   : НЕВЕРНЫЙ ID УСТРОЙСТВА.");

inline const QColor kLogNavy{0, 0, 128};
inline const QColor kLogRed{255, 0, 0};
inline const QColor kLogBlue{0, 0, 255};

constexpr int kBytesPerLine = 17;

// The lines for count bytes: 17 a line, each byte as two hex digits and a
// space, the first line after prefix, the others after five spaces.
QStringList ByteLines(const QString& prefix, const uint8_t* bytes, int count);

class TrafficLog {
 public:
  // view may be null (tests, benchmark): the lines are kept all the same.
  explicit TrafficLog(QPlainTextEdit* view = nullptr);

  // Red, cleared, the request's lines and the placeholder "RX :".
  void LogRequest(const uint8_t* bytes, int count);
  void SetColor(const QColor& color);
  void Clear();
  void AddLine(const QString& line);
  void AddLines(const QStringList& lines);
  void DeleteLastLine();

  const QStringList& Lines() const { return lines_; }
  QColor Color() const { return color_; }
  QPlainTextEdit* View() const { return view_; }

 private:
  void Show();
  QPlainTextEdit* view_;
  QStringList lines_;
  QColor color_ = kLogNavy;
};

}  // namespace telvar
