#include <QApplication>

#include "app/ckf.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TForm1 form;
  form.show();
  return QApplication::exec();
}
