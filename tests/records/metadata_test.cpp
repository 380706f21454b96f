// SPDX-License-Identifier: MIT
// The header metadata each reader finds, on the public records and on headers written for the
// cases real files show (older layouts, vertical components, broken text).

#include <gtest/gtest.h>

#include <string>

#include "records/readers.hpp"
#include "records/record.hpp"

namespace {

using namespace accelspec::records;

std::string recordsData(const std::string& name) {
  return std::string(ACCELSPEC_TEST_DATA) + "/records/data/" + name;
}
std::string analysisData(const std::string& name) {
  return std::string(ACCELSPEC_TEST_DATA) + "/analysis/data/" + name;
}

TEST(RecordMetadata, PeerFilesGiveEventDateStationAndAzimuth) {
  const Metadata m = readRecord(analysisData("RSN8883_14383980_13849090.AT2")).metadata;
  EXPECT_EQ(m.event, "14383980");
  EXPECT_EQ(m.date, "2008-07-29");
  EXPECT_EQ(m.station, "Anaheim - Lakeview & Riverdale");
  EXPECT_EQ(m.component, "90");
  ASSERT_TRUE(m.azimuth);
  EXPECT_EQ(*m.azimuth, 90.0);
  EXPECT_FALSE(m.vertical);
  EXPECT_FALSE(m.magnitude);  // the PEER files leave magnitude, distance and Vs30 to the flatfile
  EXPECT_FALSE(m.distance);
  EXPECT_FALSE(m.vs30);
  // 360 is north.
  EXPECT_EQ(readRecord(analysisData("RSN8884_14383980_13873360.AT2")).metadata.azimuth, 0.0);

  // The older layout: event, two-digit year and time in one field.
  const Metadata old = at2Metadata("IMPERIAL VALLEY 10/15/79 2315, EL CENTRO ARRAY #6, 230");
  EXPECT_EQ(old.event, "IMPERIAL VALLEY");
  EXPECT_EQ(old.date, "1979-10-15");
  EXPECT_EQ(old.station, "EL CENTRO ARRAY #6");
  EXPECT_EQ(old.azimuth, 230.0);
  EXPECT_EQ(readRecord(recordsData("old_layout.at2")).metadata.date, "2000-01-01");
  // A station name with a comma keeps it; "UP" and "DWN" are vertical, without an azimuth.
  const Metadata up = at2Metadata("Chi-Chi, 9/20/1999, TCU052, Taiwan, UP");
  EXPECT_EQ(up.station, "TCU052, Taiwan");
  EXPECT_TRUE(up.vertical);
  EXPECT_FALSE(up.azimuth);
  EXPECT_TRUE(at2Metadata("E, 1/2/2003, S, DWN").vertical);
  // Nothing that cannot be read is made up.
  const Metadata bare = at2Metadata("just a title");
  EXPECT_TRUE(bare.event.empty() && bare.date.empty() && bare.station.empty());
  EXPECT_EQ(at2Metadata("E, 13/45/2003, S, 90").date, "");
}

TEST(RecordMetadata, KnetAndKiknetHeaders) {
  const Metadata ew = readRecord(recordsData("CHB0031412312349.EW")).metadata;
  EXPECT_EQ(ew.event, "2014-12-31 23:49:00");
  EXPECT_EQ(ew.date, "2014-12-31 23:49:00");
  EXPECT_EQ(ew.station, "CHB003");
  EXPECT_EQ(ew.component, "E-W");
  EXPECT_EQ(ew.azimuth, 90.0);
  EXPECT_EQ(ew.magnitude, 4.2);
  // Epicentre 35.785 N 139.887 E, station 35.7943 N 140.0564 E: 15.3 km on the sphere.
  ASSERT_TRUE(ew.distance);
  EXPECT_NEAR(*ew.distance, 15.31, 0.01);
  EXPECT_EQ(readRecord(recordsData("CHB0031412312349.NS")).metadata.azimuth, 0.0);
  EXPECT_TRUE(readRecord(recordsData("CHB0031412312349.UD")).metadata.vertical);
  // KiK-net numbers its channels: 2 is the borehole E-W, 4 the surface N-S.
  const Metadata hole = readRecord(recordsData("NGNH311106302345.EW1")).metadata;
  EXPECT_EQ(hole.component, "E-W");
  EXPECT_EQ(hole.azimuth, 90.0);
  EXPECT_EQ(hole.station, "NGNH31");
  EXPECT_EQ(hole.magnitude, 2.4);
  EXPECT_EQ(readRecord(recordsData("NGNH311106302345.NS2")).metadata.component, "N-S");
}

TEST(RecordMetadata, CosmosChannels) {
  const Metadata m = readRecord(recordsData("Cosmos12TimeSeriesTest2.v1")).metadata;
  EXPECT_EQ(m.event, "Somewhere in Los Angeles, CA");
  EXPECT_EQ(m.date, "2005-06-16 20:53:26");
  EXPECT_EQ(m.station, "CI-J2236");
  EXPECT_EQ(m.component, "340");
  EXPECT_EQ(m.azimuth, 340.0);
  EXPECT_EQ(m.magnitude, 4.8);  // Mw first, not ML 4.9
  EXPECT_EQ(m.distance, 45.03);
  // Each channel has its own orientation.
  Reading second;
  second.channel = 2;
  const Metadata c1 = readRecord(recordsData("two_channels.V2")).metadata;
  const Metadata c2 = readRecord(recordsData("two_channels.V2"), second).metadata;
  EXPECT_EQ(c1.azimuth, 90.0);
  EXPECT_EQ(c1.station, "XX-TEST");
  EXPECT_EQ(c1.date, "2000-01-01 00:00:00");
  EXPECT_FALSE(c1.magnitude);  // -999 is "unknown"
  EXPECT_NE(c2.component, "");
}

TEST(RecordMetadata, HeaderTextIsCleanAndDatesAreChecked) {
  EXPECT_EQ(headerText("  a\x1b[31mb\t "), "a?[31mb");
  EXPECT_EQ(headerText("\xff\xfe ok"), "?? ok");
  EXPECT_EQ(headerText("Станция"), "Станция");
  EXPECT_EQ(headerText("\xd0"), "?");  // a cut character
  EXPECT_EQ(headerText(std::string(300, 'x')).size(), 200u);
  EXPECT_EQ(headerText(std::string(199, 'x') + "ж").size(), 199u);  // never half a character
  EXPECT_EQ(isoDate("7/5/2019"), "2019-07-05");
  EXPECT_EQ(isoDate("2014/12/31"), "2014-12-31");
  EXPECT_EQ(isoDate("01/01/29"), "2029-01-01");
  EXPECT_EQ(isoDate("01/01/30"), "1930-01-01");
  EXPECT_EQ(isoDate("0/1/2000"), "");
  EXPECT_EQ(isoDate("1/1"), "");
  EXPECT_EQ(isoDate("a/b/cccc"), "");
}

TEST(RecordMetadata, FormatsWithoutAHeaderCarryNone) {
  for (const char* f : {"motion.txt", "three.aks", "four.brl", "two_columns.csv"}) {
    SCOPED_TRACE(f);
    const Metadata m = readRecord(recordsData(f)).metadata;
    EXPECT_TRUE(m.event.empty() && m.station.empty() && !m.azimuth && !m.magnitude);
  }
}

}  // namespace
