// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/chart.hpp"
#include "data/store.hpp"

namespace accelspec {

/// What the printed report page shows; filled by fillReport, drawn by the report window.
struct ReportPage {
  bool labelEnabled = false;  ///< QRLabel, the heading
  bool chartEnabled = false;  ///< QRChart, the chart frame
  std::string heading = "QRLabel";
  std::string chartTitle = "СПЕКТР ОТВЕТОВ";   ///< design text of QRDBChart's title
  std::vector<std::string> frequencyLines;     ///< QRMemoFrequency
  std::vector<std::string> accelerationLines;  ///< QRMemoAcseleration
  Series series;                               ///< the one black line of QRDBChart
  char decimalSeparator = '.';                 ///< of the last fill, also used by the axis labels
};

/// SpeedButtonReportClick: fills the page from the input spectrum (Mode 1) or the response
/// spectrum (Mode 3); in any other Mode only clears the columns and the series. `sep` is the
/// decimal separator of the number texts. Counts beyond the arrays are cut at the last element.
/// Throws "Floating point overflow" only for a point beyond the double range; the lines and
/// points before it stay on the page.
void fillReport(const Store& store, ReportPage& page, char sep);

/// A rectangle in millimetres.
struct RectMm {
  double left, top, width, height;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

/// The page layout in millimetres. Parts of a band are placed from the band's top-left corner.
namespace layout {
inline constexpr double kPageWidth = 210.0;
inline constexpr double kPageHeight = 297.0;
inline constexpr double kMargin = 10.0;
inline constexpr RectMm kTitleBand{kMargin, kMargin, 190.0, 10.6};                ///< QRBand1
inline constexpr RectMm kDetailBand{kMargin, kMargin + 10.6, 190.0, 265.4};       ///< QRBand2
inline constexpr double kLabelLeft = 59.8, kLabelTop = 2.1, kLabelHeight = 6.35;  ///< QRLabel
inline constexpr RectMm kChart{0.0, 0.0, 190.0, 97.6};                            ///< QRChart
inline constexpr RectMm kFrequencyMemo{0.0, 95.25, 31.0, 169.6};      ///< QRMemoFrequency
inline constexpr RectMm kAccelerationMemo{40.2, 95.25, 33.9, 169.6};  ///< QRMemoAcseleration
/// Line pitch of the 10 pt report font: ascent, descent and line gap of 1.1499 em.
inline constexpr double kMemoLineHeight = 10.0 * 1.1499 * 25.4 / 72.0;
inline constexpr double kMmPerPoint = 25.4 / 72.0;
/// The chart's fonts are sized in screen pixels of 1/96 inch.
inline constexpr double kMmPerScreenPixel = 25.4 / 96.0;

/// `part` moved from its band's corner to the page's.
constexpr RectMm onPage(const RectMm& band, const RectMm& part) {
  return {band.left + part.left, band.top + part.top, part.width, part.height};
}
}  // namespace layout

/// How many whole lines of `lineHeight` fit into `height` (both mm); 0 for a non-positive
/// height or line. A line that ends within a micrometre of the bottom still counts as whole.
int linesThatFit(double height, double lineHeight);

/// The smallest of 1, 2, 5 and 10 times a power of ten that is not below `raw` (> 0, finite):
/// the step of every axis of the program, on the screen and on paper.
double niceStep(double raw);

/// The scale of a chart axis: labelled values from `min` to `max` in steps of `step`.
struct AxisScale {
  double min = 0, max = 1, step = 1;
  std::vector<double> ticks;
};

/// Ticks at 1, 2 or 5 times a power of ten with at most `maxTicks` steps, the range widened
/// outward to whole steps. Non-finite bounds are ignored (no finite bound gives 0 … 1); equal
/// bounds are spread by one unit of their magnitude. Never throws, never returns a non-finite
/// value or more than maxTicks + 1 ticks.
AxisScale niceScale(double lo, double hi, int maxTicks);

/// Axis value text in the pattern "#,##0.###…" with `decimals` (0 … 15) optional decimals:
/// rounded half away from zero, trailing zeros dropped, `groupSep` between groups of three
/// integer digits, `sep` as decimal separator. Values of magnitude 1e15 or more, and
/// non-finite ones, take the general format of realToText. Never throws.
std::string axisLabelText(double v, int decimals, char sep, std::string_view groupSep);

}  // namespace accelspec
