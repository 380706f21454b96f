// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QCommandLineParser>
#include <cstring>

#include "accelspec_version.hpp"
#include "app/startup.hpp"
#include "app/tforma.hpp"
#include "app/translations.hpp"
#include "app/treport.hpp"
#include "data/store.hpp"

namespace {

// --help or --version among the options (before a "--"): asked on a console, maybe with no
// display at all, so they are answered without the window system.
bool asksForText(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    for (const char* option : {"--help", "-h", "--version", "-v"})
      if (std::strcmp(argv[i], option) == 0) return true;
  }
  return false;
}

void parse(QCoreApplication& app, QCommandLineParser& parser) {
  QCoreApplication::setApplicationVersion(QString::fromLatin1(accelspec::kVersion));
  accelspec::describeStartOptions(parser);
  // --help and --version print and end the program here; so does an unknown option.
  parser.process(app);
}

}  // namespace

int main(int argc, char** argv) {
  if (asksForText(argc, argv)) {
    QCoreApplication console(argc, argv);
    QCommandLineParser parser;
    parse(console, parser);
    return 0;
  }
  QApplication app(argc, argv);
  accelspec::installQtTranslations(app);
  QCommandLineParser parser;
  parse(app, parser);
  const accelspec::StartOptions options = accelspec::startOptions(parser);

  auto store = accelspec::makeStore();
  accelspec::TReport report;
  accelspec::TForma forma(*store, report);
  forma.setConfigLocation(accelspec::configLocation(options));
  forma.openAtStart(options.files);
  forma.show();
  return app.exec();
}
