// SPDX-License-Identifier: MIT
// The PDF of the compatibility check: one page, the verdicts readable as text.

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "app/check_report.hpp"
#include "check/check.hpp"
#include "check/target.hpp"
#include "data/error.hpp"

using namespace accelspec;

namespace {

check::CheckResult handMade(std::size_t dip, const std::string& name = "seed_a") {
  const check::Target target = check::parseTarget("ec8:1:B:3");
  const auto grid = check::checkGrid(0.01);
  check::CheckRecord r;
  r.name = name;
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
    QTest::newRow("pass") << -1 << "ПРОХОДИТ"
                          << "наименьшее 1.05 при 0.1 Гц (10 с)";
    QTest::newRow("fail") << 140 << "НЕ ПРОХОДИТ"
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
    // The verdict in words, on a line of its own; the command's PASS/FAIL is not on the page.
    QVERIFY2(text.contains(QRegularExpression("(^|\\n)\\s*" + verdict + "\\s*(\\n|$)")),
             qPrintable(text));
    QVERIFY(!text.contains("PASS") && !text.contains("FAIL"));
    QVERIFY(text.contains("Цель: ec8, тип 1, грунт B, ag 3 м/с²"));
    QVERIFY(text.contains("все отношения ≥ 0.9"));
    QVERIFY(text.contains("не более 9 соседних точек ниже 1.0"));
    QVERIFY(text.contains("seed_a"));
    QVERIFY2(text.contains(found), qPrintable(text));
  }

  // A record's name is its file's: a long one shrinks the table instead of running off the page.
  void longNamesStayOnThePage_data() {
    QTest::addColumn<int>("length");
    QTest::newRow("short") << 6;
    QTest::newRow("long") << 90;
  }
  void longNamesStayOnThePage() {
    QFETCH(int, length);
    QTemporaryDir dir;
    const QString path = dir.filePath("check.pdf");
    const std::string name = "r" + std::string(static_cast<std::size_t>(length - 1), 'w');
    writeCheckReport(path.toStdString(), handMade(140, name));
    const QString boxes = run("pdftotext", {"-bbox", path, "-"});
    const auto page = QRegularExpression("<page width=\"([0-9.]+)\"").match(boxes);
    QVERIFY(page.hasMatch());
    double right = 0;
    for (const auto& m : QRegularExpression("xMax=\"([0-9.]+)\"").globalMatch(boxes))
      right = std::max(right, m.captured(1).toDouble());
    // The page's right margin is 12 mm, 34 pt.
    QVERIFY2(right <= page.captured(1).toDouble() - 30, qPrintable(QString::number(right)));
    QVERIFY(boxes.contains(QString::fromStdString(name)));
    QVERIFY(boxes.contains(QStringLiteral("(0.398107")));
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

  // A link another user planted in a shared sticky folder does not redirect the report.
  void plantedLinkIsNotFollowed() {
    if (::geteuid() != 0) QSKIP("links of another user can be made only by root (lchown)");
    QTemporaryDir home, shared;
    const std::string victim = home.filePath("mine.pdf").toStdString();
    const std::string link = shared.filePath("report.pdf").toStdString();
    QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
    {
      QFile file(QString::fromStdString(victim));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("the user's own data");
    }
    QVERIFY(::symlink(victim.c_str(), link.c_str()) == 0);
    QVERIFY(::lchown(link.c_str(), 65534, 65534) == 0);
    try {
      writeCheckReport(link, handMade(-1));
      QFAIL("no error");
    } catch (const AppError& e) {
      QCOMPARE(QString::fromUtf8(e.what()),
               QString::fromStdString(link +
                                      ": не удаётся записать файл: запись через "
                                      "символьную ссылку " +
                                      link +
                                      " запрещена: ссылка лежит в общей папке (с битом sticky, "
                                      "открытой всем на запись) и принадлежит другому "
                                      "пользователю"));
    }
    QFile file(QString::fromStdString(victim));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("the user's own data"));
  }
};

QTEST_MAIN(TstCheckReport)
#include "tst_check_report.moc"
