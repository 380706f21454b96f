// SPDX-License-Identifier: MIT
// The page «Наборы» of the analysis window: the library's table (10000 rows sorted and filtered
// as an engineer reads them), folders added with progress and cancel, a selection run into its
// table and chart, the exports, and a motion sent to «Записи».

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QtTest>
#include <algorithm>
#include <random>

#include "app/analysis/library_model.hpp"
#include "tests/app/analysis_harness.hpp"

using namespace accelspec;

namespace {

// `n` motions with metadata made up by a fixed seed; every 7th lacks a magnitude and every
// 5th is a pair. Names RSN1 … RSNn, so that their natural order is not their text order.
std::vector<library::Motion> madeMotions(int n) {
  std::mt19937 random(20);
  std::uniform_real_distribution<double> magnitude(4.5, 7.9), pga(0.05, 9.0), distance(1, 300);
  std::vector<library::Motion> motions;
  for (int i = 1; i <= n; ++i) {
    library::Motion m;
    m.id = i;
    m.name = "RSN" + std::to_string(i);
    m.event = "Событие " + std::to_string(i % 97);
    library::Component c;
    c.id = i * 10;
    c.path = "/data/nga/RSN" + std::to_string(i) + "_H1.AT2";
    c.format = "at2";
    c.station = i % 3 == 0 ? "Chino Hills" : "Station " + std::to_string(i % 211);
    c.component = "H1";
    if (i % 7 != 0) c.magnitude = magnitude(random);
    c.distance = distance(random);
    c.dt = 0.005;
    c.samples = static_cast<std::size_t>(4000 + i);
    c.measures.pga = pga(random);
    m.components.push_back(c);
    if (i % 5 == 0) {
      c.id++;
      c.path = "/data/nga/RSN" + std::to_string(i) + "_H2.AT2";
      c.component = "H2";
      c.measures.pga = pga(random);
      m.components.push_back(c);
    }
    motions.push_back(std::move(m));
  }
  return motions;
}

std::vector<int> shownIds(const LibraryFilter& proxy) {
  std::vector<int> ids;
  for (int r = 0; r < proxy.rowCount(); ++r) ids.push_back(static_cast<int>(proxy.motion(r).id));
  return ids;
}

}  // namespace

class SuitesPageTest : public QObject {
  Q_OBJECT

 private slots:
  // The 10000 rows in every column's order, both ways, checked against the data itself; the
  // unknown magnitudes last either way; names in their natural order; the filter over texts.
  void modelSortsAndFilters() {
    LibraryModel model;
    const auto motions = madeMotions(10000);
    model.setMotions(motions);
    LibraryFilter proxy(&model);
    QCOMPARE(proxy.rowCount(), 10000);

    proxy.sort(LibraryModel::Magnitude, Qt::AscendingOrder);
    auto ids = shownIds(proxy);
    int unknown = 0;
    for (std::size_t r = 0; r < ids.size(); ++r) {
      const auto& m = motions[static_cast<std::size_t>(ids[r] - 1)].components[0].magnitude;
      if (!m) {
        unknown++;
        continue;
      }
      QVERIFY2(unknown == 0, "a known magnitude after an unknown one");
      if (r > 0) {
        const auto& before = motions[static_cast<std::size_t>(ids[r - 1] - 1)].components[0];
        QVERIFY(*before.magnitude <= *m);
      }
    }
    QCOMPARE(unknown, 10000 / 7);
    proxy.sort(LibraryModel::Magnitude, Qt::DescendingOrder);
    ids = shownIds(proxy);
    for (int r = 10000 - 10000 / 7; r < 10000; ++r)
      QVERIFY(!motions[static_cast<std::size_t>(ids[static_cast<std::size_t>(r)] - 1)]
                   .components[0]
                   .magnitude);
    QVERIFY(*motions[static_cast<std::size_t>(ids[0] - 1)].components[0].magnitude > 7.8);

    // The PGA of a pair is its larger component's; shown in g.
    proxy.sort(LibraryModel::Pga, Qt::DescendingOrder);
    ids = shownIds(proxy);
    for (std::size_t r = 1; r < ids.size(); ++r)
      QVERIFY(motionPga(motions[static_cast<std::size_t>(ids[r - 1] - 1)]) >=
              motionPga(motions[static_cast<std::size_t>(ids[r] - 1)]));
    const library::Motion& top = motions[static_cast<std::size_t>(ids[0] - 1)];
    QCOMPARE(proxy.index(0, LibraryModel::Pga).data().toString(),
             QString::number(motionPga(top) / 9.80665, 'g', 4));

    // RSN2 before RSN10 before RSN100: the names' numbers, not their characters.
    proxy.sort(LibraryModel::Name, Qt::AscendingOrder);
    ids = shownIds(proxy);
    for (int r = 0; r < 10000; ++r) QCOMPARE(ids[static_cast<std::size_t>(r)], r + 1);
    proxy.sort(LibraryModel::Name, Qt::DescendingOrder);
    QCOMPARE(shownIds(proxy).front(), 10000);

    // The filter, case-blind, over the station, the event and the files; sorting keeps it.
    proxy.setText(QStringLiteral("  chino HILLS "));
    QCOMPARE(proxy.rowCount(), 10000 / 3);
    for (int id : shownIds(proxy)) QCOMPARE(id % 3, 0);
    proxy.sort(LibraryModel::Samples, Qt::DescendingOrder);
    QCOMPARE(proxy.rowCount(), 10000 / 3);
    QCOMPARE(proxy.motion(0).id, 9999);
    proxy.setText(QStringLiteral("rsn250_h2"));
    QCOMPARE(shownIds(proxy), std::vector<int>({250}));
    proxy.setText(QString::fromUtf8("событие 96"));
    QCOMPARE(proxy.rowCount(),
             static_cast<int>(std::count_if(motions.begin(), motions.end(),
                                            [](const auto& m) { return m.id % 97 == 96; })));
    proxy.setText(QString());
    QCOMPARE(proxy.rowCount(), 10000);

    // Rows replaced: the view's sort holds for the new rows too.
    model.setMotions(madeMotions(30));
    proxy.sort(LibraryModel::Name, Qt::AscendingOrder);
    QCOMPARE(proxy.rowCount(), 30);
    QCOMPARE(proxy.motion(29).id, 30);
    QCOMPARE(proxy.index(4, LibraryModel::Components).data().toString(),
             QString::fromUtf8("пара: H1, H2"));
    QCOMPARE(proxy.index(4, LibraryModel::Files).data().toString(),
             QStringLiteral("RSN5_H1.AT2, RSN5_H2.AT2"));
    QCOMPARE(proxy.index(4, LibraryModel::Files).data(Qt::ToolTipRole).toString(),
             QStringLiteral("/data/nga/RSN5_H1.AT2\n/data/nga/RSN5_H2.AT2"));
    QCOMPARE(proxy.index(6, LibraryModel::Magnitude).data().toString(), QString());
  }
};

ACCELSPEC_ANALYSIS_TEST_MAIN(SuitesPageTest, "C.UTF-8")
#include "tst_suites_page.moc"
