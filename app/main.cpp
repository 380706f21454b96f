#include <QApplication>

#include "app/tforma.hpp"
#include "app/treport.hpp"
#include "data/store.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  auto store = accelspec::makeStore();
  accelspec::TReport report;
  accelspec::TForma forma(*store, report);
  forma.show();
  return app.exec();
}
