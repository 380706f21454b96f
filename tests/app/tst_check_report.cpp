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
                          << "наименьшее 1.05 при 0.1 Гц (10 с)";
    QTest::newRow("fail") << 140 << "FAIL"
                          << "наименьшее 0.85 при 2.51189 Гц (0.398107 с)";
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
    QVERIFY(text.contains("Цель: ec8, тип 1, грунт B, ag 3 м/с²"));
    QVERIFY(text.contains("все отношения ≥ 0.9"));
    QVERIFY(text.contains("не более 9 соседних точек ниже 1.0"));
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
