// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace accelspec {
struct Store;
}

namespace accelspec::check {

/// What a target spectrum is made from.
enum class TargetKind { File, Ec8, Rg160 };

/// A design (target) spectrum of pseudo-acceleration, m/s², as a function of oscillator
/// frequency and damping. Built by parseTarget; every member is read-only after that.
struct Target {
  TargetKind kind = TargetKind::File;
  std::string text;  ///< the --target text it was made from

  /// File: the points in ascending frequency (Hz) with their values (m/s², > 0).
  std::vector<double> frequencies, values;

  /// Ec8: type (1 or 2), ground ('A'…'E'), ag (m/s²) and the table's S, TB, TC, TD (s).
  int ec8Type = 0;
  char ground = 0;
  double ag = 0, soil = 0, tb = 0, tc = 0, td = 0;

  /// Rg160: the peak ground acceleration it is anchored at, m/s².
  double pga = 0;

  /// The factor every value is multiplied by: 1, or the R of a text "T*R" (a vertical target as
  /// a share of the horizontal one).
  double scale = 1;

  /// The target at `frequency` (Hz, > 0) for the damping ratio `damping` (0.05 = 5 %), m/s².
  /// File: log–log interpolation, constant beyond the ends, the damping ignored (the file is
  /// the target of the damping the check uses). Ec8: scaled by η = √(10/(5+ξ)) ≥ 0.55.
  /// Rg160: 5 % only. Throws AppError for a damping the target cannot give.
  double valueAt(double frequency, double damping = 0.05) const;

  /// The zero-period value (m/s²): a file's value at its highest frequency, ag·S, the PGA.
  double zeroPeriodValue() const;

  /// The frequencies (Hz) the target has values at: a file's first and last point; the whole
  /// axis (0, ∞) for the design spectra. Beyond a file's span valueAt only repeats an end value.
  double lowestFrequency() const;
  double highestFrequency() const;

  /// Whether valueAt can give `damping` (false: rg160 at other than 5 %).
  bool supportsDamping(double damping) const;

 private:
  double unscaledValueAt(double frequency, double damping) const;
};

/// The target that `text` names: a path to a *.spv file (frequency Hz, acceleration m/s²; at
/// least one point, frequencies strictly ascending, values > 0), ec8:TYPE:GROUND:AG (TYPE 1|2,
/// GROUND A…E, AG m/s² > 0) or rg160:PGA (PGA in g, > 0), any of them optionally followed by
/// "*R": the spectrum times R (a number or a fraction A/B, > 0), e.g. "rg160:0.3*2/3". Throws
/// AppError naming the target and what was expected; reads nothing but the file.
Target parseTarget(const std::string& text);

/// `target` times the factor `factor` ("0.5", "2/3": a number or a fraction A/B, > 0), its text
/// "TEXT*FACTOR" as parseTarget reads it back. Throws AppError msg::badTarget(TEXT*FACTOR,
/// msg::kTargetFactor) for a factor that is no such number.
Target scaledTarget(const Target& target, const std::string& factor);

/// The window's input spectrum table (SpF, SpA at 1 … N: Hz, m/s²) as a target of kind File,
/// the one a *.spv file of the same points would give, named `name` (its text). Throws
/// AppError "NAME: why" for no points, frequencies not strictly ascending or not above zero,
/// values not above zero, or N beyond the table; reads the store only.
Target tableTarget(const Store& store, const std::string& name);
/// The same for a table given as its points (Hz, m/s²); also refuses lists of unequal length.
Target tableTarget(const std::vector<double>& frequencies, const std::vector<double>& values,
                   const std::string& name);

/// A short human description: "ec8, тип 1, грунт B, ag 2.943 м/с²", "rg160, PGA 0.3 g", the path;
/// with " ×R" appended when the target is scaled.
std::string describeTarget(const Target& target);

}  // namespace accelspec::check
