// telvar_v210: the service program for second-generation ТЕЛВАР devices.
#include <QApplication>
#include <QStyleFactory>

#include "console_v2/main_window.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  telvar::v2::TForm1 form;
  form.show();
  return application.exec();
}
