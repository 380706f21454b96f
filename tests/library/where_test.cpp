// SPDX-License-Identifier: MIT
// The --where grammar: what it selects, and the exact refusal of everything else.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "data/error.hpp"
#include "library/library.hpp"

namespace {

using namespace accelspec;
using namespace accelspec::library;

Motion single(const std::string& format, double pga, std::optional<double> magnitude) {
  Motion m;
  m.name = "m";
  Component c;
  c.path = "/data/ngaw2/RSN1_a.AT2";
  c.format = format;
  c.measures.pga = pga;
  c.magnitude = magnitude;
  c.event = "Chi-Chi";
  c.date = "1999-09-20";
  c.station = "TCU052";
  c.component = "90";
  c.azimuth = 90;
  c.dt = 0.005;
  c.samples = 1001;
  m.components = {c};
  return m;
}

bool keeps(const std::string& where, const Motion& m) { return parseWhere(where).matches(m); }

std::string refusal(const std::string& where) {
  try {
    parseWhere(where);
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

TEST(Where, ComparesNumbersTextsAndJoinsThem) {
  const Motion strong = single("at2", 2.0, 7.6), weak = single("knet", 0.5, 4.2);
  EXPECT_TRUE(keeps("pga>0.1g and magnitude>=6 and format=at2", strong));
  EXPECT_FALSE(keeps("pga>0.1g and magnitude>=6 and format=at2", weak));
  EXPECT_TRUE(keeps("pga > 1.5", strong));     // m/s² without a unit
  EXPECT_FALSE(keeps("pga > 0.21g", strong));  // 0.21 g = 2.0594 m/s²
  EXPECT_TRUE(keeps("pga > 0.2G", single("at2", 1.97, 1)));
  EXPECT_TRUE(keeps("format=AT2", strong));     // texts compare without case
  EXPECT_TRUE(keeps("FORMAT == at2", strong));  // nor do names and ==
  EXPECT_TRUE(keeps("format != knet", strong));
  EXPECT_TRUE(keeps("format <> knet", strong));
  EXPECT_TRUE(keeps("station~tcu", strong));
  EXPECT_TRUE(keeps("folder~ngaw2 and file=rsn1_a.at2", strong));
  EXPECT_TRUE(keeps("date>=1999-01-01 and date<2000-01-01", strong));
  EXPECT_TRUE(keeps("event=\"Chi-Chi\"", strong));
  EXPECT_TRUE(keeps("event='chi-chi'", strong));
  EXPECT_TRUE(keeps("duration=5 and samples=1001 and dt<=0.005", strong));
  EXPECT_TRUE(keeps("pair=0 and vertical=0 and azimuth=90", strong));
  // "and" binds before "or"; "not" and parentheses as usual.
  EXPECT_TRUE(keeps("format=knet or format=at2 and pga>1", strong));
  EXPECT_TRUE(keeps("format=knet or format=at2 and pga>1", weak));
  EXPECT_FALSE(keeps("(format=knet or format=at2) and pga>1", weak));
  EXPECT_TRUE(keeps("not format=knet", strong));
  EXPECT_FALSE(keeps("not (format=at2 or pga<0)", strong));
  EXPECT_TRUE(keeps("not not format=at2", strong));
  // A keyword is a whole word: "notes" would be a field, "andes" a value.
  EXPECT_TRUE(keeps("event!=andes", strong));
  // Empty: everything.
  EXPECT_TRUE(parseWhere("").empty());
  EXPECT_TRUE(parseWhere("  \t").empty());
  EXPECT_TRUE(keeps("", weak));
}

TEST(Where, AFieldTheHeaderLacksMatchesNoComparison) {
  const Motion none = single("eqsig", 1, std::nullopt);
  EXPECT_FALSE(keeps("magnitude>=0", none));
  EXPECT_FALSE(keeps("magnitude!=5", none));
  EXPECT_TRUE(keeps("not magnitude>=0", none));
  Motion quiet = single("eqsig", 0, 1);
  quiet.components[0].measures.d5_95 = std::nan("");  // a record with no energy
  EXPECT_FALSE(keeps("d5_95>=0", quiet));
  EXPECT_FALSE(keeps("d5_95<0", quiet));
  quiet.components[0].event.clear();
  EXPECT_FALSE(keeps("event!=x", quiet));
  EXPECT_FALSE(keeps("event~\"\"", quiet));
}

TEST(Where, APairMatchesWhenEachComponentDoes) {
  Motion pair = single("at2", 2.0, 7);
  pair.components.push_back(pair.components[0]);
  pair.components[1].measures.pga = 0.5;
  pair.components[1].azimuth = 0;
  pair.rotd50.assign(kSpectrumPoints, 1);
  pair.rotd100.assign(kSpectrumPoints, 1);
  EXPECT_TRUE(keeps("pair=1", pair));
  EXPECT_TRUE(keeps("pga>0.4", pair));
  EXPECT_FALSE(keeps("pga>1", pair));
  EXPECT_FALSE(keeps("azimuth=90", pair));
  EXPECT_TRUE(keeps("azimuth=90 or azimuth=0", pair));
}

TEST(Where, RefusesWithThePositionAndWhatWasExpected) {
  const std::string head = "неверное условие, позиция ";
  EXPECT_EQ(refusal("pga>"), head + "5: ожидается значение: число, слово или текст в кавычках");
  EXPECT_EQ(refusal("pga 0.1"), head + "5: ожидается сравнение: =, !=, <, <=, >, >= или ~");
  EXPECT_EQ(refusal("pga>0.1 format=at2"), head + "9: ожидается and, or или конец условия");
  EXPECT_EQ(refusal("pga>0.1 and"), head + "12: ожидается имя поля");
  EXPECT_EQ(refusal("(pga>1"), head + "7: ожидается «)»");
  EXPECT_EQ(refusal("pga>1)"), head + "6: ожидается and, or или конец условия");
  EXPECT_EQ(refusal("pga>fast"), head + "5: ожидается число (у pga — можно с g: 0.1g)");
  EXPECT_EQ(refusal("magnitude>6g"), head + "11: ожидается число");
  EXPECT_EQ(refusal("magnitude>inf"), head + "11: ожидается число");
  EXPECT_EQ(refusal("magnitude>1e999"), head + "11: ожидается число");
  EXPECT_EQ(refusal("pga~1"), head + "4: «~» (содержит) — только для текстовых полей");
  EXPECT_EQ(refusal("event='Chi"), head + "7: кавычка не закрыта");
  EXPECT_EQ(refusal("colour=red"),
            head +
                "1: неизвестное поле «colour»; поля: path, file, folder, name, format, event, "
                "date, station, component, channel, azimuth, magnitude, distance, vs30, dt, "
                "samples, duration, pga, pgv, pgd, arias, d5_75, d5_95, cav, cav_std, housner, "
                "pair, vertical");
  // Positions count characters, not bytes.
  EXPECT_EQ(refusal("event=Тайвань и pga>1"), head + "15: ожидается and, or или конец условия");
  EXPECT_EQ(refusal("pga>1 and станция=1").substr(0, head.size() + 3), head + "11:");
}

TEST(Where, TextMeantForSqlIsRefusedOrComparedAsAValue) {
  const std::string head = "неверное условие, позиция ";
  EXPECT_EQ(refusal("format=at2; DROP TABLE files"), head + "11: недопустимый знак «;»");
  EXPECT_EQ(refusal("format=at2' OR '1'='1"), head + "11: ожидается and, or или конец условия");
  EXPECT_EQ(refusal("format=at2 -- comment"), head + "12: ожидается and, or или конец условия");
  EXPECT_EQ(refusal("pga>0 /* x */"), head + "7: ожидается and, or или конец условия");
  EXPECT_EQ(refusal("format=x\x01"), head + "9: недопустимый знак «\\x01»");
  EXPECT_EQ(refusal("1=1"), head +
                                "1: неизвестное поле «1»; поля: path, file, folder, name, "
                                "format, event, date, station, component, channel, azimuth, "
                                "magnitude, distance, vs30, dt, samples, duration, pga, pgv, "
                                "pgd, arias, d5_75, d5_95, cav, cav_std, housner, pair, "
                                "vertical");
  // Inside quotes it is a value like any other.
  const Motion m = single("at2", 1, 1);
  EXPECT_FALSE(keeps("format=\"at2' OR '1'='1\"", m));
  EXPECT_FALSE(keeps("event=\"x); DROP TABLE files; --\"", m));
}

TEST(Where, LimitsKeepTheParserOnItsFeet) {
  const std::string head = "неверное условие, позиция ";
  EXPECT_EQ(refusal(std::string(200, '(') + "pga>1" + std::string(200, ')')),
            head + "66: слишком глубокая вложенность (более 64 уровней)");
  std::string nots;
  for (int i = 0; i < 100; ++i) nots += "not ";
  EXPECT_EQ(refusal(nots + "pga>1").substr(0, head.size()), head);
  EXPECT_EQ(refusal(std::string(5000, ' ')), head + "4097: условие длиннее 4096 знаков");
  EXPECT_EQ(refusal(std::string(4097, 'x')), head + "4097: условие длиннее 4096 знаков");
  EXPECT_EQ(refusal("event=" + std::string(4090, 'x')), "");
  // A long flat chain is no nesting.
  std::string chain = "pga>0";
  for (int i = 0; i < 300; ++i) chain += " or pga>" + std::to_string(i);
  EXPECT_TRUE(parseWhere(chain).matches(single("at2", 1, 1)));
}

}  // namespace
