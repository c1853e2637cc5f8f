#include "link/traffic_log.h"

#include <QPalette>
#include <QPlainTextEdit>

#include "link/frame.h"

namespace telvar {

QStringList ByteLines(const QString& prefix, const uint8_t* bytes, int count) {
  QStringList lines;
  for (int first = 0; first < count; first += kBytesPerLine) {
    QString line = first == 0 ? prefix : QString(5, QLatin1Char(' '));
    const int last = std::min(count, first + kBytesPerLine);
    for (int i = first; i < last; ++i) {
      line += ByteToHex(bytes[i]);
      line += QLatin1Char(' ');
    }
    lines << line;
  }
  return lines;
}

TrafficLog::TrafficLog(QPlainTextEdit* view) : view_(view) {
  lines_ << QStringLiteral("TX :") << kPlaceholder;
  if (view_) {
    view_->setReadOnly(true);
    SetColor(color_);
    Show();
  }
}

void TrafficLog::LogRequest(const uint8_t* bytes, int count) {
  color_ = kLogRed;
  lines_ = ByteLines(kRequestPrefix, bytes, count);
  lines_ << kPlaceholder;
  if (view_) SetColor(color_);
  Show();
}

void TrafficLog::SetColor(const QColor& color) {
  color_ = color;
  if (!view_) return;
  QPalette palette = view_->palette();
  palette.setColor(QPalette::Text, color);
  palette.setColor(QPalette::Disabled, QPalette::Text, color);
  view_->setPalette(palette);
}

void TrafficLog::Clear() {
  lines_.clear();
  Show();
}

void TrafficLog::AddLine(const QString& line) {
  lines_ << line;
  Show();
}

void TrafficLog::AddLines(const QStringList& lines) {
  lines_ << lines;
  Show();
}

void TrafficLog::DeleteLastLine() {
  if (!lines_.isEmpty()) lines_.removeLast();
  Show();
}

void TrafficLog::Show() {
  if (view_) view_->setPlainText(lines_.join(QLatin1Char('\n')));
}

}  // namespace telvar
