// SPDX-License-Identifier: MIT
// The program's start: where config.cfg lives for a start from the menu or from a terminal, and
// files named on the command line, which open as the Open command opens them.

#include <QCommandLineParser>

#include "accelspec_version.hpp"
#include "app/startup.hpp"
#include "tests/app/window_harness.hpp"

using namespace accelspec;
using namespace accelspec::testing;

namespace {

const QByteArray kSpectrum =
    " 2.00000000000000E+0000  1.00000000000000E+0000\r\n"
    " 1.00000000000000E+0001  3.00000000000000E+0000\r\n"
    " 3.00000000000000E+0001  2.00000000000000E+0000\r\n";

StartOptions parse(const QStringList& arguments) {
  QCommandLineParser parser;
  describeStartOptions(parser);
  if (!parser.parse(QStringList{"accelspec"} + arguments)) return {};
  return startOptions(parser);
}

}  // namespace

class Startup : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    work_ = std::make_unique<QTemporaryDir>();
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid() && home_->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_->filePath("xdg")));
  }
  void cleanup() {
    work_.reset();
    home_.reset();
  }

  void theMenuOptionAndFilesAreRead() {
    const StartOptions options = parse({"--user-config", "a.spv", "b.aks"});
    QVERIFY(options.userConfig);
    QCOMPARE(options.files, (QStringList{"a.spv", "b.aks"}));
    QVERIFY(!parse({"a.spv"}).userConfig);
    QCOMPARE(configLocation(parse({})).path, std::string("config.cfg"));
    QVERIFY(!configLocation(parse({})).userFolder);
  }

  void theUserFolderFollowsXdgConfigHome() {
    QCOMPARE(userConfigPath(), home_->filePath("xdg/accelspec/config.cfg"));
    // The XDG rules: an unset or relative XDG_CONFIG_HOME means ~/.config.
    qputenv("XDG_CONFIG_HOME", "relative/dir");
    QCOMPARE(userConfigPath(), QDir::homePath() + "/.config/accelspec/config.cfg");
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(userConfigPath(), QDir::homePath() + "/.config/accelspec/config.cfg");
  }

  void aFirstMenuStartShowsNoErrorAndKeepsTheConfigurationInTheUserFolder() {
    const QString config = home_->filePath("xdg/accelspec/config.cfg");
    {
      Session s(work_->path());
      s.forma->setConfigLocation(configLocation(parse({"--user-config"})));
      QVERIFY(s.show());
      QCOMPARE(s.boxes.take(), QStringList());
      // The window is ready as after any load: the grids have their headers.
      QVERIFY(!s.grid("StringGridSpv")->cellText(0, 0).isEmpty());
      s.type("EditFbeg", "3");
      QVERIFY(s.close());
      QCOMPARE(s.boxes.take(), QStringList());
    }
    QVERIFY(QFile::exists(config));
    QVERIFY(!QFile::exists(work_->filePath("config.cfg")));
    // The next menu start reads it back, from whatever working folder.
    QTemporaryDir elsewhere;
    Session s(elsewhere.path());
    s.forma->setConfigLocation(configLocation(parse({"--user-config"})));
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.edit("EditFbeg")->text(), QString("3"));
  }

  void aTerminalStartKeepsTheWorkingFolder() {
    Session s(work_->path());
    s.forma->setConfigLocation(configLocation(parse({})));
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList{"File not found."});
    QVERIFY(s.close());
    QVERIFY(QFile::exists(work_->filePath("config.cfg")));
    QVERIFY(!QFile::exists(home_->filePath("xdg")));
  }

  void aFileOnTheCommandLineOpensAsTheOpenCommandOpensIt() {
    QVERIFY(writeFile(work_->filePath("design.SPV"), kSpectrum));
    QVERIFY(writeFile(work_->filePath("config.cfg"), configWithStart("2")));
    QList<QPointF> opened;
    {
      Session s(work_->path());
      s.answers.push_back({true, "design.SPV", 1});
      QVERIFY(s.show());
      s.press("SpeedButtonOpen");
      opened = s.graph(0);
      QCOMPARE(s.store->Mode, kModeInputSpectrum);
    }
    Session s(work_->path());
    s.forma->openAtStart({"design.SPV"});
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList());
    QCOMPARE(s.unexpectedDialogs, 0);
    QCOMPARE(s.store->Mode, kModeInputSpectrum);
    QCOMPARE(s.graph(0), opened);
    QCOMPARE(s.forma->openDialogFileName(),
             QDir(work_->path()).absoluteFilePath("design.SPV").toStdString());
    // Opened once: a later activation does not open it again.
    s.type("EditN", "1");
    QVERIFY(s.activate());
    QCOMPARE(s.store->Mode, kModeInputSpectrum);
    QCOMPARE(s.forma->openDialogFileName(),
             QDir(work_->path()).absoluteFilePath("design.SPV").toStdString());
  }

  void aMissingFileOnTheCommandLineSaysSoAsOpenWould() {
    QVERIFY(writeFile(work_->filePath("config.cfg"), configWithStart("2")));
    Session s(work_->path());
    s.forma->openAtStart({"nothere.aks"});
    QVERIFY(s.show());
    QCOMPARE(s.boxes.take(), QStringList{"File not found."});
  }

  void theAboutBoxNamesTheVersionAndTheLicence() {
    QVERIFY(writeFile(work_->filePath("config.cfg"), configWithStart("2")));
    Session s(work_->path());
    QVERIFY(s.show());
    auto* about = s.find<QToolButton>("SpeedButtonAbout");
    QVERIFY(about);
    // In the free part of the tool bar, right of the help button.
    QVERIFY(about->geometry().left() > s.find<QToolButton>("SpeedButtonHelp")->geometry().right());
    s.press("SpeedButtonAbout");
    const QStringList texts = s.boxes.take();
    QCOMPARE(texts.size(), 1);
    QVERIFY(texts[0].contains(QString("accelspec ") + kVersion));
    QVERIFY(texts[0].contains("MIT"));
  }

 private:
  std::unique_ptr<QTemporaryDir> work_;
  std::unique_ptr<QTemporaryDir> home_;
};

ACCELSPEC_WINDOW_TEST_MAIN(Startup, "C")
#include "tst_startup.moc"
