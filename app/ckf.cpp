#include "app/ckf.h"

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) { setWindowTitle(QStringLiteral("Brondel 2")); }
