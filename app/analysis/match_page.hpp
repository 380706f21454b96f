#pragma once

#include <QWidget>

namespace accelspec {

class AnalysisSession;

/// The analysis window's page "Подбор".
class MatchPage : public QWidget {
  Q_OBJECT

 public:
  MatchPage(AnalysisSession& session, QWidget* parent = nullptr);

 private:
  AnalysisSession& session_;
};

}  // namespace accelspec
