// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "data/form.hpp"
#include "data/store.hpp"
#include "files/config.hpp"

namespace accelspec {

/// Where the configuration lives. A start from a terminal keeps config.cfg in the working
/// folder, and a missing file is reported as any other. A start from the desktop menu keeps it
/// in the user's configuration folder: there a missing file is a first start (the window keeps
/// its defaults, no error), and the folder is made when the file is first written.
struct ConfigLocation {
  std::string path = kConfigFileName;
  bool userFolder = false;
};

/// The main window's life cycle: the configuration loaded at each activation and written at
/// close. It remembers, from one handler to the next, what a close needs so as never to write a
/// configuration that the next start could not read, nor one that drops the memory list of a
/// file that failed to load.
class FormLifecycle {
 public:
  explicit FormLifecycle(ConfigLocation location = {});

  /// FormActivate: readConfiguration on config.cfg, Mode := 0, showMemoryList, grid headers.
  /// Throws the errors of readConfiguration; what was read before the failure stays applied,
  /// and the later steps do not run.
  void formActivate(Store& store, Form& form);

  /// FormClose: writes config.cfg. A parameter field whose text would not read back is written
  /// with its last good text (the one last loaded, or the window's default); the returned notice
  /// names those fields ("" when none). After a load that failed, while the memory list is as
  /// that load left it, the file's own memory lines are written again byte for byte. Throws
  /// input/output errors, leaving config.cfg as it was.
  std::string formClose(const Store& store, const Form& form);

 private:
  // The memory list as a failed load left it: a close writes the file's lines unless it changed.
  struct MemoryState {
    std::int32_t count = 0;
    std::vector<std::string> cells;
    std::vector<long double> freq, accel;
    bool operator==(const MemoryState&) const = default;
  };
  static MemoryState memoryState(const Store& store, const Form& form);
  // The steps after a successful load (or a first start): Mode, memory list, grid headers.
  void finishActivation(Store& store, Form& form);

  ConfigLocation location_;
  ParameterTexts lastGood_;
  bool loadFailed_ = false;
  std::string unreadMemoryLines_;  // line 8 onward of the file that failed to load
  MemoryState afterFailedLoad_;
};

}  // namespace accelspec
