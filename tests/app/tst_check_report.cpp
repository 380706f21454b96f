// The PDF of the compatibility check: one page, the verdicts readable as text.

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/check_report.hpp"
#include "check/check.hpp"
#include "check/target.hpp"
#include "data/error.hpp"

using namespace accelspec;

namespace {

check::CheckResult handMade(std::size_t dip) {
  const check::Target target = check::parseTarget("ec8:1:B:3");
  const auto grid = check::checkGrid(0.01);
  check::CheckRecord r;
  r.name = "seed_a";
  r.dt = 0.01;
  r.samples = 2500;
  r.zeroPeriod = target.zeroPeriodValue();
  for (std::size_t j = 0; j < grid.size(); ++j)
    r.spectrum.push_back(target.valueAt(grid[j].frequency) * (j == dip ? 0.85 : 1.05));
  check::RuleParameters p;
  p.rule = check::Rule::Srp;
  return check::evaluateRule(target, p, grid, {r});
}

QString run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(60000)) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

class TstCheckReport : public QObject {
  Q_OBJECT

 private slots:
  void onePageWithTheVerdicts_data() {
    QTest::addColumn<int>("dip");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("found");
    QTest::newRow("pass") << -1 << "PASS"
                          << "lowest 1.05 at 0.1 Hz (10 s)";
    QTest::newRow("fail") << 140 << "FAIL"
                          << "lowest 0.85 at 2.51189 Hz (0.398107 s)";
  }
  void onePageWithTheVerdicts() {
    QFETCH(int, dip);
    QFETCH(QString, verdict);
    QFETCH(QString, found);
    QTemporaryDir dir;
    const QString path = dir.filePath("check.pdf");
    writeCheckReport(path.toStdString(), handMade(static_cast<std::size_t>(dip)));
    QVERIFY(run("pdfinfo", {path}).contains(QRegularExpression("Pages:\\s+1\\n")));
    const QString text = run("pdftotext", {"-layout", path, "-"});
    QVERIFY2(text.contains(verdict), qPrintable(text));
    QVERIFY(text.contains("Target: ec8 type 1 ground B, ag 3 m/s2"));
    QVERIFY(text.contains("every ratio >= 0.9"));
    QVERIFY(text.contains("at most 9 adjacent points below 1.0"));
    QVERIFY(text.contains("seed_a"));
    QVERIFY2(text.contains(found), qPrintable(text));
  }

  void unwritablePathLeavesNothing() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("missing/folder/check.pdf").toStdString();
    try {
      writeCheckReport(path, handMade(0));
      QFAIL("no error");
    } catch (const AppError& e) {
      QCOMPARE(QString::fromUtf8(e.what()),
               QString::fromStdString(path + ": не удаётся записать файл"));
    }
    QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
  }
};

QTEST_MAIN(TstCheckReport)
#include "tst_check_report.moc"
