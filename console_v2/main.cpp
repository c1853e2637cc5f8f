// telvar_v210: the service program for second-generation ТЕЛВАР devices.
#include <QApplication>

#include "console_v2/main_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  telvar::v2::TForm1 form;
  form.show();
  return QApplication::exec();
}
