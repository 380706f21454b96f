#pragma once

#include <QWidget>

namespace accelspec {

class AnalysisSession;

/// The analysis window's page "Спектры".
class SpectraPage : public QWidget {
  Q_OBJECT

 public:
  SpectraPage(AnalysisSession& session, QWidget* parent = nullptr);

 private:
  AnalysisSession& session_;
};

}  // namespace accelspec
