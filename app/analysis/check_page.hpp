#pragma once

#include <QWidget>

namespace accelspec {

class AnalysisSession;

/// The analysis window's page "Совместимость".
class CheckPage : public QWidget {
  Q_OBJECT

 public:
  CheckPage(AnalysisSession& session, QWidget* parent = nullptr);

 private:
  AnalysisSession& session_;
};

}  // namespace accelspec
