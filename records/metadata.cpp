// SPDX-License-Identifier: MIT
// What the record formats' headers say about the recording: event, date, station, component,
// magnitude and distance, read without ever refusing a file (the values are a description; the
// record's reading does not depend on them).

#include <cmath>
#include <cstdio>

#include "records/readers.hpp"

namespace accelspec::records {

namespace {

bool isDigitChar(char c) { return c >= '0' && c <= '9'; }

// The digits of `text` as a number, or -1 when it is not 1 … `maxDigits` digits.
long digitsValue(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return -1;
  long v = 0;
  for (char c : text) {
    if (!isDigitChar(c)) return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string twoDigits(long v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02ld", v);
  return buf;
}

std::string isoOf(long y, long m, long d) {
  if (y < 1000 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return {};
  return std::to_string(y) + "-" + twoDigits(m) + "-" + twoDigits(d);
}

// "hh:mm:ss[.f]" as "hh:mm:ss"; empty when it is not a time of day.
std::string isoTime(std::string_view text) {
  text = trim(text);
  if (text.size() < 8 || text[2] != ':' || text[5] != ':') return {};
  const long h = digitsValue(text.substr(0, 2), 2), m = digitsValue(text.substr(3, 2), 2),
             s = digitsValue(text.substr(6, 2), 2);
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 60) return {};
  return std::string(text.substr(0, 8));
}

// A number of the header, or unset for a missing one and COSMOS's "unknown" value -999.
std::optional<double> known(std::string_view text) {
  double v = 0;
  if (!parseNumber(trim(text), v) || !std::isfinite(v)) return std::nullopt;
  if (std::fabs(v + 999) < 0.5) return std::nullopt;
  return v;
}

std::optional<double> knownValue(const std::vector<double>& values, std::size_t oneBased) {
  if (oneBased == 0 || oneBased > values.size()) return std::nullopt;
  const double v = values[oneBased - 1];
  if (!std::isfinite(v) || std::fabs(v + 999) < 0.5) return std::nullopt;
  return v;
}

// An azimuth given in degrees, brought into [0, 360).
std::optional<double> azimuthOf(std::string_view text) {
  const auto v = known(text);
  if (!v || *v < -360 || *v > 720) return std::nullopt;
  double a = std::fmod(*v, 360.0);
  if (a < 0) a += 360;
  return a;
}

bool verticalWord(std::string_view text) {
  for (std::string_view w : {"UP", "DWN", "DOWN", "V", "VER", "VERT", "VERTICAL", "Z", "U-D", "UD"})
    if (text.size() == w.size() && startsWithNoCase(text, w)) return true;
  return false;
}

// Great-circle distance between two points given in degrees, km, on a sphere of the Earth's
// mean radius 6371.0 km (IUGG, Moritz 1980, "Geodetic Reference System 1980", mean radius R1).
double greatCircleKm(double lat1, double lon1, double lat2, double lon2) {
  constexpr double kEarthRadiusKm = 6371.0;
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  const double dlat = (lat2 - lat1) * kRad, dlon = (lon2 - lon1) * kRad;
  const double h =
      std::sin(dlat / 2) * std::sin(dlat / 2) +
      std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * std::sin(dlon / 2) * std::sin(dlon / 2);
  return 2 * kEarthRadiusKm * std::asin(std::sqrt(std::min(1.0, h)));
}

}  // namespace

std::string headerText(std::string_view text) {
  text = trim(text);
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size() && out.size() < 200) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
      ++i;
      continue;
    }
    // A whole UTF-8 sequence (no overlong forms, no surrogates), else one "?" for the byte.
    std::size_t len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    bool ok = len > 0 && c < 0xF5 && i + len <= text.size();
    for (std::size_t k = 1; ok && k < len; ++k)
      ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (ok && len == 3) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
    }
    if (ok && len == 4) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      ok = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    if (out.size() + len > 200) break;
    out.append(text.substr(i, len));
    i += len;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string isoDate(std::string_view text) {
  text = trim(text);
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i)
    if (i == text.size() || text[i] == '/' || text[i] == '-') {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  if (parts.size() != 3) return {};
  if (parts[0].size() == 4) {  // YYYY/MM/DD
    return isoOf(digitsValue(parts[0], 4), digitsValue(parts[1], 2), digitsValue(parts[2], 2));
  }
  const long m = digitsValue(parts[0], 2), d = digitsValue(parts[1], 2);
  long y = -1;
  if (parts[2].size() == 4) {
    y = digitsValue(parts[2], 4);
  } else if (parts[2].size() == 2) {
    // The older PEER files write two-digit years; their records start in the 1930s.
    y = digitsValue(parts[2], 2);
    if (y >= 0) y += y >= 30 ? 1900 : 2000;
  }
  return isoOf(y, m, d);
}

Metadata at2Metadata(std::string_view line2) {
  Metadata m;
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= line2.size(); ++i)
    if (i == line2.size() || line2[i] == ',') {
      parts.push_back(trim(line2.substr(start, i - start)));
      start = i + 1;
    }
  std::string_view component;
  if (parts.size() >= 4) {
    // NGA-West2: "14383980, 7/29/2008, Anaheim - Lakeview & Riverdale, 90"; a station name
    // with commas keeps them.
    m.event = headerText(parts[0]);
    m.date = isoDate(parts[1]);
    std::string station;
    for (std::size_t i = 2; i + 1 < parts.size(); ++i)
      station += (i > 2 ? ", " : "") + std::string(parts[i]);
    m.station = headerText(station);
    component = parts.back();
  } else if (parts.size() == 3) {
    // The older "IMPERIAL VALLEY 10/15/79 2315, EL CENTRO ARRAY #6, 230".
    const auto words = splitBlanks(parts[0]);
    std::size_t dateWord = words.size();
    for (std::size_t i = 0; i < words.size(); ++i)
      if (!isoDate(words[i]).empty()) {
        dateWord = i;
        break;
      }
    if (dateWord < words.size()) {
      m.date = isoDate(words[dateWord]);
      m.event = headerText(
          parts[0].substr(0, static_cast<std::size_t>(words[dateWord].data() - parts[0].data())));
    } else {
      m.event = headerText(parts[0]);
    }
    m.station = headerText(parts[1]);
    component = parts[2];
  } else {
    return m;
  }
  m.component = headerText(component);
  if (verticalWord(component)) {
    m.vertical = true;
  } else {
    m.azimuth = azimuthOf(component);
  }
  return m;
}

Metadata knetMetadata(const std::string_view (&header)[17]) {
  // Values start in column 19; labels as NIED's "About K-NET ASCII format" gives them.
  const auto value = [&](int lineNo) -> std::string_view {
    const std::string_view l = header[lineNo - 1];
    return l.size() > 18 ? trim(l.substr(18)) : std::string_view{};
  };
  Metadata m;
  const std::string_view origin = value(1);
  const auto pieces = splitBlanks(origin);
  if (!pieces.empty()) {
    m.date = isoDate(pieces[0]);
    if (!m.date.empty() && pieces.size() > 1) {
      const std::string time = isoTime(pieces[1]);
      if (!time.empty()) m.date += " " + time;
    }
  }
  // K-NET gives no event id: the origin time names the event.
  m.event = m.date;
  m.magnitude = known(value(5));
  m.station = headerText(value(6));
  const auto lat = known(value(2)), lon = known(value(3));
  const auto slat = known(value(7)), slon = known(value(8));
  if (lat && lon && slat && slon && std::fabs(*lat) <= 90 && std::fabs(*slat) <= 90 &&
      std::fabs(*lon) <= 360 && std::fabs(*slon) <= 360)
    m.distance = greatCircleKm(*lat, *lon, *slat, *slon);
  // "N-S", "E-W", "U-D"; KiK-net numbers its six channels: 1–3 borehole, 4–6 surface, each
  // N-S, E-W, U-D.
  std::string_view dir = value(13);
  static constexpr const char* kKikChannels[] = {"N-S", "E-W", "U-D"};
  const long number = digitsValue(dir, 1);
  if (number >= 1 && number <= 6) dir = kKikChannels[(number - 1) % 3];
  m.component = headerText(dir);
  if (startsWithNoCase(dir, "N-S") && dir.size() == 3) m.azimuth = 0.0;
  if (startsWithNoCase(dir, "E-W") && dir.size() == 3) m.azimuth = 90.0;
  if (startsWithNoCase(dir, "U-D") && dir.size() == 3) m.vertical = true;
  return m;
}

Metadata cosmosMetadata(const std::vector<std::string>& text, const std::vector<double>& real) {
  // The text header's lines and the real header's values as the COSMOS Strong Motion Data
  // Format, version 1.20 (COSMOS, 2001), lays them out.
  Metadata m;
  const auto line = [&](std::size_t oneBased) -> std::string_view {
    return oneBased <= text.size() ? std::string_view(text[oneBased - 1]) : std::string_view{};
  };
  // Line 2: the earthquake's name in columns 1–40.
  m.event = headerText(line(2).substr(0, std::min<std::size_t>(40, line(2).size())));
  // Line 4: "Origin: 06/16/2005, 20:53:26.1 UTC".
  if (std::string_view l = line(4); startsWithNoCase(trim(l), "Origin:")) {
    l = trim(trim(l).substr(7));
    const std::size_t comma = l.find(',');
    m.date = isoDate(l.substr(0, comma));
    if (!m.date.empty() && comma != std::string_view::npos) {
      const std::string time = isoTime(l.substr(comma + 1));
      if (!time.empty()) m.date += " " + time;
    }
  }
  // Line 5: "Statn No: 01-23075  Code:CI-J2236  CDMG Yucaipa - Bryant & Oak Glen".
  if (std::string_view l = line(5); !l.empty()) {
    const std::size_t code = findNoCase(l, "Code:");
    if (code != std::string_view::npos) {
      const auto words = splitBlanks(l.substr(code + 5));
      if (!words.empty()) m.station = headerText(words[0]);
    }
    const std::size_t number = findNoCase(l, "Statn No:");
    if (m.station.empty() && number != std::string_view::npos) {
      std::string_view rest = l.substr(number + 9);
      rest = rest.substr(0, std::min(rest.size(), findNoCase(rest, "Code:")));
      m.station = headerText(rest);
    }
  }
  // Line 9: "Sta Chan   1: 90 deg (Rcrdr Chan  1)" or "Sta Cha:  3: Up …".
  if (std::string_view l = line(9); startsWithNoCase(trim(l), "Sta Cha")) {
    l = trim(l);
    std::size_t colon = l.find(':');
    // "Sta Cha:  1: 340 deg": the first colon follows the label, the second the number.
    if (colon != std::string_view::npos && trim(l.substr(7, colon - 7)).empty() &&
        l.find(':', colon + 1) != std::string_view::npos)
      colon = l.find(':', colon + 1);
    if (colon != std::string_view::npos) {
      std::string_view orientation = l.substr(colon + 1);
      orientation = trim(orientation.substr(0, orientation.find('(')));
      const auto words = splitBlanks(orientation);
      if (!words.empty()) {
        m.component = headerText(words[0]);
        if (verticalWord(words[0])) {
          m.vertical = true;
        } else {
          m.azimuth = azimuthOf(words[0]);
        }
      }
    }
  }
  // Real header: 13 moment magnitude, 14 Ms, 15 ML, 16 another magnitude, 17 epicentral
  // distance (km).
  for (std::size_t k : {13, 15, 14, 16})
    if (!m.magnitude) m.magnitude = knownValue(real, k);
  m.distance = knownValue(real, 17);
  if (m.distance && *m.distance < 0) m.distance.reset();
  return m;
}

}  // namespace accelspec::records
