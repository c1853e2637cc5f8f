// telvar_105: the service program for first-generation ТЕЛВАР devices.
#include <QApplication>

#include "console_v1/main_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  telvar::v1::TForm1 form;
  form.show();
  return QApplication::exec();
}
