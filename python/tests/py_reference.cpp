// SPDX-License-Identifier: MIT
// The module's computations done through the C++ core directly, each number printed as a
// hexadecimal float (exact), one a line, for the Python tests to compare bit for bit:
//   py_reference spectra RECORD GRID DAMPINGS QUANTITIES PEAKS THREADS
//   py_reference rotd RECORD1 RECORD2 GRID DAMPINGS QUANTITIES PEAKS PERCENTILE
//   py_reference measures RECORD
//   py_reference check TARGET RULE T1|- RECORD...   (pass, then each point's f, target, mean,
//   ratio) py_reference baseline RECORD py_reference match TARGET RULE SEED ITERATIONS THREADS

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "analysis/grid.hpp"
#include "analysis/measures.hpp"
#include "analysis/spectra.hpp"
#include "check/check.hpp"
#include "check/target.hpp"
#include "matching/baseline.hpp"
#include "matching/match_to_rule.hpp"
#include "records/record.hpp"

using namespace accelspec;

namespace {

void print(double v) { std::printf("%a\n", v); }

analysis::SpectraRequest request(char** a) {
  analysis::SpectraRequest r;
  r.grid = analysis::parseGrid(a[0]);
  r.dampings = analysis::parseDampings(a[1]);
  r.quantities = analysis::parseQuantities(a[2]);
  r.peaks = std::string(a[3]) == "samples" ? analysis::Peaks::Samples : analysis::Peaks::Refined;
  return r;
}

int run(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "spectra" && argc == 8) {
    const records::Record rec = records::readRecord(argv[2]);
    analysis::SpectraRequest r = request(argv + 3);
    r.threads = static_cast<unsigned>(std::stoul(argv[7]));
    for (double v : analysis::computeSpectra(rec.accel, rec.dt, r).values) print(v);
  } else if (what == "rotd" && argc == 9) {
    const records::Record r1 = records::readRecord(argv[2]), r2 = records::readRecord(argv[3]);
    analysis::SpectraRequest r = request(argv + 4);
    r.rotd = std::stoi(argv[8]);
    for (double v : analysis::computeRotD(r1.accel, r2.accel, r1.dt, r2.dt, r).values) print(v);
  } else if (what == "measures" && argc == 3) {
    const records::Record rec = records::readRecord(argv[2]);
    const analysis::Measures m = analysis::computeMeasures(rec.accel, rec.dt);
    for (double v : {m.pga, m.pgv, m.pgd, m.arias, m.d5_75, m.d5_95, m.cav, m.cavStd, m.housner})
      print(v);
  } else if (what == "check" && argc >= 6) {
    const check::Target target = check::parseTarget(argv[2]);
    check::RuleParameters p;
    p.rule = check::parseRule(argv[3]);
    if (std::string(argv[4]) != "-") p.t1 = std::stod(argv[4]);
    std::vector<records::Record> recs;
    for (int i = 5; i < argc; ++i) recs.push_back(records::readRecord(argv[i]));
    const check::CheckResult res = check::checkRecords(target, p, recs, 2);
    std::printf("%d\n", res.pass ? 1 : 0);
    for (const check::CheckPoint& pt : res.points) {
      print(pt.frequency);
      print(pt.target);
      print(pt.computed);
      print(pt.ratio);
    }
  } else if (what == "baseline" && argc == 3) {
    records::Record rec = records::readRecord(argv[2]);
    matching::correctBaseline(rec.accel, rec.dt);
    for (double v : rec.accel) print(v);
  } else if (what == "match" && argc == 7) {
    const check::Target target = check::parseTarget(argv[2]);
    check::RuleParameters p;
    p.rule = check::parseRule(argv[3]);
    matching::MatchSource source;
    source.seed = records::readRecord(argv[4]);
    const matching::RuleMatch m = matching::matchToRule(target, p, source, std::stoi(argv[5]),
                                                        static_cast<unsigned>(std::stoul(argv[6])));
    std::printf("%d %d\n", m.match.passed ? 1 : 0, m.match.iterations);
    print(m.dt);
    for (double v : m.match.accel) print(v);
  } else {
    std::fputs("usage: see the comment at the top of py_reference.cpp\n", stderr);
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
