// SPDX-License-Identifier: MIT
#include "app/analysis/match_page.hpp"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <thread>

#include "analysis/number_text.hpp"
#include "app/analysis/analysis_session.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/check_page.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/plural.hpp"
#include "app/error_box.hpp"
#include "app/qt_text.hpp"
#include "data/error.hpp"
#include "files/atomic_write.hpp"
#include "matching/matching_messages.hpp"
#include "matching/set_messages.hpp"
#include "records/aks_text.hpp"
#include "records/scan.hpp"

namespace accelspec {

namespace {

QString u8(const char* s) { return QString::fromUtf8(s); }
QString num(double v, int digits = 4) { return qs(analysis::formatNumber(v, digits)); }

double positiveNumber(const QString& text, const char* field) {
  QString t = text.trimmed();
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  double v = 0;
  if (!analysis::parseNumber(t.toStdString(), v) || !(v > 0))
    throw AppError(std::string(field) + ": ожидается число больше нуля");
  return v;
}

const QColor kLow(0x1f, 0x4e, 0xa0), kHigh(0xc0, 0x6a, 0x00), kBand(0xc0, 0x1c, 0x1c);

// The components' colours on the set's spectrum: H1, H2, V.
const QColor kAxes[3] = {QColor(0x1f, 0x4e, 0xa0), QColor(0x2a, 0x8a, 0x3e),
                         QColor(0x80, 0x3c, 0xa0)};

QTableWidgetItem* cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

}  // namespace

MatchPage::MatchPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session), choice_(ruleChoice(session)) {
  setObjectName(QStringLiteral("MatchPage"));
  task_ = new BackgroundTask(this);

  QWidget* side = buildSide();
  QWidget* plots = buildPlots();
  // The controls of a set make the column taller than the window's least height: it scrolls
  // rather than forcing the window to grow.
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("MatchControls"));
  scroll->setWidget(side);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setFixedWidth(side->maximumWidth() + scroll->verticalScrollBar()->sizeHint().width());
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(scroll);
  layout->addWidget(plots, 1);
  loadSettings();
  connectControls();
  showChoice();
  showOutcome();
}

// The source: the sweep with its duration and step, or the selected record.
QGroupBox* MatchPage::buildSourceBox(QWidget* parent) {
  auto* sourceBox = new QGroupBox(u8("Исходная запись"), parent);
  sweep_ = new QRadioButton(u8("Синусоидальная развёртка"), sourceBox);
  sweep_->setObjectName(QStringLiteral("RadioSweep"));
  seed_ = new QRadioButton(u8("Выбранные записи"), sourceBox);
  seed_->setObjectName(QStringLiteral("RadioSeed"));
  noise_ = new QRadioButton(u8("Шум"), sourceBox);
  noise_->setObjectName(QStringLiteral("RadioNoise"));
  auto* group = new QButtonGroup(sourceBox);
  group->addButton(sweep_);
  group->addButton(seed_);
  group->addButton(noise_);
  noiseNumber_ = new QLineEdit(QStringLiteral("1"), sourceBox);
  noiseNumber_->setObjectName(QStringLiteral("EditNoiseNumber"));
  envelope_ = new QComboBox(sourceBox);
  envelope_->setObjectName(QStringLiteral("ComboEnvelope"));
  envelope_->addItems({u8("трапеция (Дженнингс, Хаузнер, Цай)"), u8("Сарагони — Харт")});
  strong_ = new QLineEdit(QStringLiteral("10"), sourceBox);
  strong_->setObjectName(QStringLiteral("EditStrong"));
  noiseStep_ = new QLineEdit(QStringLiteral("0.005"), sourceBox);
  noiseStep_->setObjectName(QStringLiteral("EditNoiseStep"));
  duration_ = new QLineEdit(QStringLiteral("20"), sourceBox);
  duration_->setObjectName(QStringLiteral("EditSweepDuration"));
  step_ = new QLineEdit(QStringLiteral("0.005"), sourceBox);
  step_->setObjectName(QStringLiteral("EditSweepStep"));
  seedName_ = new QLabel(sourceBox);
  seedName_->setObjectName(QStringLiteral("LabelSeed"));
  seedName_->setWordWrap(true);
  auto* sourceForm = new QFormLayout(sourceBox);
  sourceForm->addRow(sweep_);
  sourceForm->addRow(u8("Длительность, с"), duration_);
  sourceForm->addRow(u8("Шаг, с"), step_);
  sourceForm->addRow(seed_);
  sourceForm->addRow(seedName_);
  sourceForm->addRow(noise_);
  sourceForm->addRow(u8("Число генератора"), noiseNumber_);
  sourceForm->addRow(u8("Огибающая"), envelope_);
  sourceForm->addRow(u8("Сильная фаза, с"), strong_);
  sourceForm->addRow(u8("Шаг шума, с"), noiseStep_);
  return sourceBox;
}

// How many components and motions, the vertical target and the correlation allowed.
QGroupBox* MatchPage::buildSetBox(QWidget* parent) {
  auto* box = new QGroupBox(u8("Набор"), parent);
  box->setObjectName(QStringLiteral("GroupSet"));
  components_ = new QSpinBox(box);
  components_->setObjectName(QStringLiteral("SpinComponents"));
  components_->setRange(1, 3);
  motions_ = new QSpinBox(box);
  motions_->setObjectName(QStringLiteral("SpinMotions"));
  motions_->setRange(1, matching::kMaxMotions);
  verticalKind_ = new QComboBox(box);
  verticalKind_->setObjectName(QStringLiteral("ComboVertical"));
  verticalKind_->addItems({u8("доля горизонтальной"), u8("своя цель")});
  vertical_ = new QLineEdit(QStringLiteral("2/3"), box);
  vertical_->setObjectName(QStringLiteral("EditVertical"));
  vertical_->setToolTip(
      u8("Доля: число или дробь A/B (2/3 — РБ-006-98 п. 4.4.1). Своя цель: ec8:TYPE:GROUND:AG, "
         "rg160:PGA или путь к файлу *.spv."));
  maxCorrelation_ = new QLineEdit(QStringLiteral("0.16"), box);
  maxCorrelation_->setObjectName(QStringLiteral("EditMaxCorrelation"));
  auto* form = new QFormLayout(box);
  form->addRow(u8("Компонент"), components_);
  form->addRow(u8("Движений"), motions_);
  form->addRow(u8("Вертикальная цель"), verticalKind_);
  form->addRow(vertical_);
  form->addRow(u8("Наибольший |r|"), maxCorrelation_);
  return box;
}

// The target and rule chosen on the check page, and the iterations allowed.
QGroupBox* MatchPage::buildGoalBox(QWidget* parent) {
  auto* goalBox = new QGroupBox(u8("Цель и правило"), parent);
  choiceText_ = new QLabel(goalBox);
  choiceText_->setObjectName(QStringLiteral("LabelMatchChoice"));
  choiceText_->setWordWrap(true);
  auto* goalNote = new QLabel(u8("Задаются на странице «Совместимость»."), goalBox);
  goalNote->setEnabled(false);
  iterations_ = new QSpinBox(goalBox);
  iterations_->setObjectName(QStringLiteral("SpinIterations"));
  iterations_->setRange(1, matching::kMaxIterations);
  iterations_->setValue(matching::kDefaultIterations);
  auto* goalForm = new QFormLayout(goalBox);
  goalForm->addRow(choiceText_);
  goalForm->addRow(goalNote);
  goalForm->addRow(u8("Итераций не более"), iterations_);
  return goalBox;
}

// The controls' column: source, goal, the run and what to do with its result.
QWidget* MatchPage::buildSide() {
  auto* side = new QWidget(this);
  side->setMaximumWidth(330);
  QGroupBox* sourceBox = buildSourceBox(side);
  QGroupBox* goalBox = buildGoalBox(side);
  QGroupBox* setBox = buildSetBox(side);
  match_ = new QPushButton(u8("Подобрать"), side);
  match_->setObjectName(QStringLiteral("ButtonMatch"));
  auto* progress = new TaskProgress(*task_, side);
  result_ = new QLabel(side);
  result_->setObjectName(QStringLiteral("LabelMatchResult"));
  result_->setWordWrap(true);
  save_ = new QPushButton(u8("Сохранить как *.aks…"), side);
  save_->setObjectName(QStringLiteral("ButtonSaveAks"));
  send_ = new QPushButton(u8("Отправить в главное окно"), side);
  send_->setObjectName(QStringLiteral("ButtonSendMain"));
  add_ = new QPushButton(u8("Добавить в записи"), side);
  add_->setObjectName(QStringLiteral("ButtonAddRecord"));
  saveSet_ = new QPushButton(u8("Сохранить набор…"), side);
  saveSet_->setObjectName(QStringLiteral("ButtonSaveSet"));

  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(0, 0, 0, 0);
  sideLayout->addWidget(sourceBox);
  sideLayout->addWidget(goalBox);
  sideLayout->addWidget(setBox);
  sideLayout->addWidget(match_);
  sideLayout->addWidget(progress);
  sideLayout->addWidget(result_);
  sideLayout->addWidget(save_);
  sideLayout->addWidget(send_);
  sideLayout->addWidget(add_);
  sideLayout->addWidget(saveSet_);
  sideLayout->addStretch(1);
  return side;
}

// The run's progress above; below, the matched spectrum and the records in time.
QWidget* MatchPage::buildPlots() {
  progress_ = new Plot(this);
  progress_->setObjectName(QStringLiteral("PlotMatchProgress"));
  spectrum_ = new Plot(this);
  spectrum_->setObjectName(QStringLiteral("PlotMatchSpectrum"));
  for (Plot* p : {progress_, spectrum_})
    p->setExportFolder([this] { return session_.lastFolder(); },
                       [this](const QString& f) { session_.setLastFolder(f); });
  auto* histories = new QWidget(this);
  auto* grid = new QGridLayout(histories);
  grid->setContentsMargins(0, 0, 0, 0);
  const char* rows[3][3] = {{"Acceleration", "Ускорение", "a, м/с²"},
                            {"Velocity", "Скорость", "v, м/с"},
                            {"Displacement", "Смещение", "d, м"}};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 2; ++k) {
      Plot* p = new Plot(histories);
      p->setObjectName(
          QStringLiteral("Plot%1%2")
              .arg(QLatin1String(k == 0 ? "Seed" : "Matched"), QLatin1String(rows[i][0])));
      p->setTitle(u8(rows[i][1]) + (k == 0 ? u8(": исходная") : u8(": подобранная")));
      p->setAxes(u8("t, с"), false, u8(rows[i][2]), false);
      p->chart()->legend()->hide();
      p->setExportFolder([this] { return session_.lastFolder(); },
                         [this](const QString& f) { session_.setLastFolder(f); });
      grid->addWidget(p, i, k);
      histories_[i][k] = p;
    }
  auto* results = new QTabWidget(this);
  results_ = results;
  results->setObjectName(QStringLiteral("MatchPlots"));
  results->addTab(spectrum_, u8("Спектр"));
  results->addTab(histories, u8("Запись во времени"));
  auto* setPage = new QWidget(this);
  setTable_ = new QTableWidget(0, 6, setPage);
  setTable_->setObjectName(QStringLiteral("TableSet"));
  setTable_->setHorizontalHeaderLabels({u8("Компонента"), u8("Основа"), u8("Попыток"),
                                        u8("Итераций"), u8("Отношения от"), u8("до")});
  correlationTable_ = new QTableWidget(0, 0, setPage);
  correlationTable_->setObjectName(QStringLiteral("TableCorrelation"));
  for (QTableWidget* t : {setTable_, correlationTable_}) {
    t->verticalHeader()->hide();
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  }
  auto* setLayout = new QVBoxLayout(setPage);
  setLayout->addWidget(setTable_, 2);
  setLayout->addWidget(new QLabel(u8("Корреляция ускорений компонент (Пирсон)"), setPage));
  setLayout->addWidget(correlationTable_, 1);
  results->addTab(setPage, u8("Набор"));
  axis_ = axisChoice(QStringLiteral("ComboMatchAxis"), results);
  axis_->setCurrentIndex(session_.settings().value(QStringLiteral("match/byPeriod")).toBool());
  results->setCornerWidget(axis_->parentWidget());
  connect(axis_, &QComboBox::currentIndexChanged, this, [this](int index) {
    session_.settings().setValue(QStringLiteral("match/byPeriod"), index == 1);
    drawSpectrum();
  });
  connect(results, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == 1 && !historiesDrawn_) drawHistories();
  });
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(progress_);
  split->addWidget(results);
  // The progress reads at a glance in a third of the height; the results take the rest.
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 2);
  split->setSizes({260, 520});
  return split;
}

// The source and the iterations as the user last ran them.
void MatchPage::loadSettings() {
  QSettings& s = session_.settings();
  const bool fromSeed = s.value(QStringLiteral("match/seed"), false).toBool();
  (fromSeed ? seed_ : sweep_)->setChecked(true);
  duration_->setText(s.value(QStringLiteral("match/duration"), duration_->text()).toString());
  step_->setText(s.value(QStringLiteral("match/step"), step_->text()).toString());
  // A key of its own since the number became a cap: the fixed 40 an earlier version kept would
  // otherwise cut every run short of the command line's result.
  iterations_->setValue(
      s.value(QStringLiteral("match/iterationCap"), matching::kDefaultIterations).toInt());
  if (s.value(QStringLiteral("match/noise"), false).toBool()) noise_->setChecked(true);
  noiseNumber_->setText(
      s.value(QStringLiteral("match/noiseNumber"), noiseNumber_->text()).toString());
  envelope_->setCurrentIndex(s.value(QStringLiteral("match/envelope"), 0).toInt() == 1 ? 1 : 0);
  strong_->setText(s.value(QStringLiteral("match/strong"), strong_->text()).toString());
  noiseStep_->setText(s.value(QStringLiteral("match/noiseStep"), noiseStep_->text()).toString());
  components_->setValue(s.value(QStringLiteral("match/components"), 1).toInt());
  motions_->setValue(s.value(QStringLiteral("match/motions"), 1).toInt());
  verticalKind_->setCurrentIndex(s.value(QStringLiteral("match/verticalOwn"), false).toBool());
  vertical_->setText(s.value(QStringLiteral("match/vertical"), vertical_->text()).toString());
  maxCorrelation_->setText(
      s.value(QStringLiteral("match/maxCorrelation"), maxCorrelation_->text()).toString());
}

bool MatchPage::setMode() const {
  return noise_->isChecked() || components_->value() > 1 || motions_->value() > 1;
}

void MatchPage::connectControls() {
  const auto sweepFields = [this](bool on) {
    duration_->setEnabled(on);
    step_->setEnabled(on);
  };
  connect(sweep_, &QRadioButton::toggled, this, sweepFields);
  sweepFields(sweep_->isChecked());
  const auto noiseFields = [this](bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{noiseNumber_, envelope_, strong_, noiseStep_})
      w->setEnabled(on);
  };
  connect(noise_, &QRadioButton::toggled, this, noiseFields);
  noiseFields(noise_->isChecked());
  const auto verticalFields = [this] {
    verticalKind_->setEnabled(components_->value() == 3);
    vertical_->setEnabled(components_->value() == 3);
  };
  connect(components_, &QSpinBox::valueChanged, this, verticalFields);
  verticalFields();
  connect(saveSet_, &QPushButton::clicked, this, &MatchPage::saveSetClicked);
  connect(noise_, &QRadioButton::toggled, this, &MatchPage::showFreshness);
  for (QLineEdit* e : {noiseNumber_, strong_, noiseStep_, vertical_, maxCorrelation_})
    connect(e, &QLineEdit::textChanged, this, &MatchPage::showFreshness);
  for (QSpinBox* b : {components_, motions_})
    connect(b, &QSpinBox::valueChanged, this, &MatchPage::showFreshness);
  for (QComboBox* c : {envelope_, verticalKind_})
    connect(c, &QComboBox::currentIndexChanged, this, &MatchPage::showFreshness);
  connect(match_, &QPushButton::clicked, this, &MatchPage::runMatch);
  connect(save_, &QPushButton::clicked, this, &MatchPage::saveClicked);
  connect(send_, &QPushButton::clicked, this, &MatchPage::sendToMain);
  connect(add_, &QPushButton::clicked, this, &MatchPage::addToRecords);
  connect(&choice_, &RuleChoice::changed, this, &MatchPage::showChoice);
  connect(&session_, &AnalysisSession::selectionChanged, this, &MatchPage::showChoice);
  connect(&session_, &AnalysisSession::recordsChanged, this, &MatchPage::showChoice);
  connect(sweep_, &QRadioButton::toggled, this, &MatchPage::showFreshness);
  for (QLineEdit* e : {duration_, step_})
    connect(e, &QLineEdit::textChanged, this, &MatchPage::showFreshness);
  connect(iterations_, &QSpinBox::valueChanged, this, &MatchPage::showFreshness);
  connect(task_, &BackgroundTask::started, this, [this] {
    match_->setEnabled(false);
    for (QPushButton* b : {save_, send_, add_, saveSet_}) b->setEnabled(false);
  });
  connect(task_, &BackgroundTask::progress, this, [this] {
    if (!live_) return;
    std::vector<MatchStep> steps;
    {
      const std::lock_guard lock(live_->mutex);
      steps = live_->steps;
    }
    showSteps(steps, liveIterations_);
  });
  // Whatever the end, the page shows the last finished outcome: a cancelled or failed run
  // leaves it as it was.
  connect(task_, &BackgroundTask::finished, this, [this] {
    live_.reset();
    match_->setEnabled(true);
    showOutcome();
  });
}

void MatchPage::showChoice() {
  choiceText_->setText(choice_.summary());
  const LoadedRecord* current = session_.current();
  seedName_->setText(current ? qs(current->record.name) : u8("(не выбрана: страница «Записи»)"));
  showFreshness();
}

QString MatchPage::inputsKey() const {
  QString key = choice_.fingerprint(session_) + QLatin1Char('|') +
                QString::number(iterations_->value()) + QLatin1Char('|');
  if (setMode()) {
    key += QStringLiteral("set %1 %2 %3 %4|%5|")
               .arg(components_->value())
               .arg(motions_->value())
               .arg(verticalKind_->currentIndex())
               .arg(vertical_->text(), maxCorrelation_->text());
    if (noise_->isChecked())
      return key + QStringLiteral("noise %1|%2|%3|%4")
                       .arg(noiseNumber_->text())
                       .arg(envelope_->currentIndex())
                       .arg(strong_->text(), noiseStep_->text());
  }
  if (sweep_->isChecked()) return key + duration_->text() + QLatin1Char('|') + step_->text();
  if (setMode()) {
    for (std::size_t i : session_.selection())
      key += QStringLiteral("seed %1 ").arg(session_.at(i).id);
    return key;
  }
  const LoadedRecord* current = session_.current();
  std::uint64_t id = current ? current->id : 0;
  // The result added to the records and selected by that is still the same seed's result.
  if (id != 0 && id == addedId_) id = seedId_;
  return key + QStringLiteral("seed %1").arg(id);
}

bool MatchPage::stale() const { return (outcome_ || setOutcome_) && inputsKey() != outcomeKey_; }

bool MatchPage::usable() const { return outcome_ && outcome_->passed && !stale(); }

bool MatchPage::setUsable() const { return setOutcome_ && setOutcome_->result.passed && !stale(); }

void MatchPage::showFreshness() {
  if ((!outcome_ && !setOutcome_) || task_->busy()) return;
  const bool old = stale();
  for (QPushButton* b : {save_, send_, add_}) b->setEnabled(usable());
  saveSet_->setEnabled(setUsable());
  const bool passed = outcome_ ? outcome_->passed : setOutcome_->result.passed;
  QString text = result_->text();
  const QString mark = u8(" (устарело — пересчитайте)");
  if (text.endsWith(mark)) text.chop(mark.size());
  result_->setText(old ? text + mark : text);
  result_->setStyleSheet(QStringLiteral("color: %1")
                             .arg(old      ? QStringLiteral("#808080")
                                  : passed ? QStringLiteral("#1b7f2a")
                                           : kBand.name()));
}

void MatchPage::showEvent(QShowEvent* event) {
  // The main window's table may have changed while another page was in front.
  showFreshness();
  QWidget::showEvent(event);
}

namespace {

// What a run left, as the page keeps it: the record named after its source, and the rule's
// verdict on it; the closest record of a failed run is checked too, so that the page shows
// where it fell short.
MatchOutcome outcomeOf(const matching::RuleMatch& m, const check::Target& target,
                       const check::RuleParameters& parameters, const matching::MatchSource& source,
                       int iterations, unsigned threads) {
  MatchOutcome out;
  out.passed = m.match.passed;
  out.iterations = iterations;
  out.lowestRatio = m.match.lowestRatio;
  out.highestRatio = m.match.highestRatio;
  out.record.name = (source.seed ? source.seed->name : std::string("sweep")) + "-match";
  out.record.format = "aks";
  out.record.units = "m/s2";
  out.record.dt = m.dt;
  out.record.accel = m.match.accel;
  out.seed = source.seed;
  out.check = m.check ? *m.check : check::checkRecords(target, parameters, {out.record}, threads);
  return out;
}

}  // namespace

void MatchPage::runMatch() {
  check::Target target;
  check::RuleParameters parameters;
  matching::MatchSource source;
  if (setMode()) {
    try {
      target = choice_.target(session_);
      parameters = choice_.parameters(target);
    } catch (...) {
      showErrorBox(this, userMessage(std::current_exception()));
      return;
    }
    runSet(target, parameters);
    return;
  }
  try {
    target = choice_.target(session_);
    parameters = choice_.parameters(target);
    if (seed_->isChecked()) {
      const LoadedRecord* current = session_.current();
      if (!current)
        throw AppError("не выбрана запись для подбора: выберите её на странице «Записи»");
      source.seed = current->record;
    } else {
      source.duration = positiveNumber(duration_->text(), "Длительность");
      source.step = positiveNumber(step_->text(), "Шаг");
    }
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return;
  }
  saveSettings();

  const QString key = inputsKey();
  const std::uint64_t seedId = source.seed ? session_.current()->id : 0;
  const int iterations = iterations_->value();
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  auto live = std::make_shared<Live>();
  live_ = live;
  liveIterations_ = iterations;
  showSteps({}, iterations);
  task_->start<MatchOutcome>(
      [target, parameters, source = std::move(source), iterations, threads,
       live](const TaskControl& c) {
        const auto progress = [&](int i, double lo, double hi) {
          {
            const std::lock_guard lock(live->mutex);
            live->steps.push_back({i, lo, hi});
          }
          c.report(std::min(100, 100 * i / iterations),
                   QString::fromUtf8("итерация %1: %2–%3").arg(i).arg(num(lo), num(hi)));
        };
        const matching::RuleMatch m = matching::matchToRule(target, parameters, source, iterations,
                                                            threads, progress, c.stopToken());
        MatchOutcome out = outcomeOf(m, target, parameters, source, iterations, threads);
        const std::lock_guard lock(live->mutex);
        out.steps = live->steps;
        return out;
      },
      [this, key, seedId](MatchOutcome& o) {
        outcome_ = std::move(o);
        setOutcome_.reset();
        outcomeKey_ = key;
        seedId_ = seedId;
        addedId_ = 0;
      });
}

void MatchPage::saveSettings() {
  QSettings& s = session_.settings();
  s.setValue(QStringLiteral("match/seed"), seed_->isChecked());
  s.setValue(QStringLiteral("match/noise"), noise_->isChecked());
  s.setValue(QStringLiteral("match/duration"), duration_->text());
  s.setValue(QStringLiteral("match/step"), step_->text());
  s.setValue(QStringLiteral("match/iterationCap"), iterations_->value());
  s.setValue(QStringLiteral("match/noiseNumber"), noiseNumber_->text());
  s.setValue(QStringLiteral("match/envelope"), envelope_->currentIndex());
  s.setValue(QStringLiteral("match/strong"), strong_->text());
  s.setValue(QStringLiteral("match/noiseStep"), noiseStep_->text());
  s.setValue(QStringLiteral("match/components"), components_->value());
  s.setValue(QStringLiteral("match/motions"), motions_->value());
  s.setValue(QStringLiteral("match/verticalOwn"), verticalKind_->currentIndex() == 1);
  s.setValue(QStringLiteral("match/vertical"), vertical_->text());
  s.setValue(QStringLiteral("match/maxCorrelation"), maxCorrelation_->text());
}

// A set of independent components with the page's settings, in the background: the progress
// shows every match's iterations one after another.
void MatchPage::runSet(const check::Target& target, const check::RuleParameters& parameters) {
  matching::SetRequest request;
  try {
    request.horizontal = target;
    request.parameters = parameters;
    request.components = components_->value();
    request.count = motions_->value();
    request.iterations = iterations_->value();
    request.threads = std::max(1u, std::thread::hardware_concurrency());
    request.maxCorrelation = positiveNumber(maxCorrelation_->text(), "Наибольший |r|");
    if (request.components == 3) {
      const std::string v = vertical_->text().trimmed().toStdString();
      if (verticalKind_->currentIndex() == 0) {
        request.vertical = check::scaledTarget(target, v);
      } else {
        request.vertical = check::parseTarget(v);
        if (!request.vertical->supportsDamping(parameters.damping))
          throw AppError(msg::badTarget(v, msg::kRg160Damping));
      }
    }
    if (noise_->isChecked()) {
      request.seedKind = matching::SeedKind::Noise;
      long long number = 0;
      if (!records::parseInteger(noiseNumber_->text().trimmed().toStdString(), number) ||
          number < 0)
        throw AppError("Число генератора: ожидается целое число не меньше 0");
      request.noise.number = static_cast<std::uint64_t>(number);
      request.noise.envelope = envelope_->currentIndex() == 1 ? matching::Envelope::SaragoniHart
                                                              : matching::Envelope::Trapezoid;
      request.noise.strong = positiveNumber(strong_->text(), "Сильная фаза");
      request.noise.dt = positiveNumber(noiseStep_->text(), "Шаг шума");
    } else if (seed_->isChecked()) {
      request.seedKind = matching::SeedKind::Records;
      for (std::size_t i : session_.selection()) request.records.push_back(session_.at(i).record);
    } else {
      request.seedKind = matching::SeedKind::Sweep;
      request.sweepDuration = positiveNumber(duration_->text(), "Длительность");
      request.sweepStep = positiveNumber(step_->text(), "Шаг");
    }
    matching::validateSetRequest(request);
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return;
  }
  saveSettings();
  const QString key = inputsKey();
  const int iterations = iterations_->value();
  auto live = std::make_shared<Live>();
  live_ = live;
  liveIterations_ = iterations;
  showSteps({}, iterations);
  task_->start<SetOutcome>(
      [request = std::move(request), iterations, live](const TaskControl& c) {
        const int total = request.components * request.count;
        int offset = 0, last = 0;
        const auto progress = [&](int motion, matching::Axis axis, int attempt, int i, double lo,
                                  double hi) {
          if (i <= last) offset += last;
          last = i;
          {
            const std::lock_guard lock(live->mutex);
            live->steps.push_back({offset + i, lo, hi});
          }
          const int done = (motion - 1) * request.components + static_cast<int>(axis);
          c.report(std::min(99, 100 * done / total),
                   QString::fromUtf8("%1, попытка %2, итерация %3: %4–%5")
                       .arg(qs(msg::setComponent(motion, matching::axisName(axis))))
                       .arg(attempt)
                       .arg(i)
                       .arg(num(lo), num(hi)));
        };
        SetOutcome out;
        out.result = matching::matchSet(request, progress, c.stopToken());
        out.iterations = iterations;
        out.parameters = request.parameters;
        out.components = request.components;
        out.maxCorrelation = request.maxCorrelation;
        const std::lock_guard lock(live->mutex);
        out.steps = live->steps;
        return out;
      },
      [this, key](SetOutcome& o) {
        setOutcome_ = std::move(o);
        outcome_.reset();
        outcomeKey_ = key;
        addedId_ = 0;
      });
}

void MatchPage::showSteps(const std::vector<MatchStep>& steps, int iterations) {
  progress_->clear();
  progress_->setAxes(u8("Итерация"), false, u8("Отношение к цели"), false);
  std::vector<QPointF> lo, hi;
  for (const MatchStep& s : steps) {
    lo.emplace_back(s.iteration, s.lowest);
    hi.emplace_back(s.iteration, s.highest);
  }
  progress_->addSeries(u8("наименьшее"), std::move(lo), kLow);
  progress_->addSeries(u8("наибольшее"), std::move(hi), kHigh);
  progress_->addBand(1.0, u8("цель"), QColor(Qt::gray));
  double top = 1.3, bottom = 0.7;
  for (const MatchStep& s : steps) {
    top = std::max(top, std::min(s.highest, 5.0) * 1.05);
    bottom = std::min(bottom, std::max(s.lowest, 0.0) * 0.95);
  }
  // The axis grows with the run rather than spanning the iterations allowed: most runs end in a
  // handful, which a scale of 40 would squeeze against the left edge.
  const int last = steps.empty() ? 0 : steps.back().iteration;
  progress_->setRanges(0, std::min(std::max(iterations, 1), std::max(10, last + 1)), bottom, top);
  progress_->refresh();
}

void MatchPage::showOutcome() {
  for (QPushButton* b : {save_, send_, add_}) b->setEnabled(usable());
  saveSet_->setEnabled(setUsable());
  showSetTables();
  drawSpectrum();
  // Six plots of a long record cost the window tens of milliseconds: they are drawn when their
  // tab is seen, not at every run's end.
  historiesDrawn_ = false;
  if (results_->currentIndex() == 1) drawHistories();
  if (setOutcome_) {
    const SetOutcome& o = *setOutcome_;
    const int used = o.steps.empty() ? 0 : o.steps.back().iteration;
    showSteps(o.steps, std::max(1, used));
    const std::string rule = check::ruleName(o.parameters.rule);
    const auto text = [](double v) { return analysis::formatNumber(v, 4); };
    if (o.result.passed) {
      double lo = INFINITY, hi = 0, r = 0;
      for (const auto& c : o.result.components) {
        lo = std::min(lo, c.match.lowestRatio);
        hi = std::max(hi, c.match.highestRatio);
      }
      for (const auto& row : o.result.correlations)
        for (double x : row) r = std::max(r, std::fabs(x));
      QString line = u8("Набор подобран: %1; проверку %2 прошла каждая; отношения от %3 до %4")
                         .arg(russianCount(static_cast<long long>(o.result.components.size()),
                                           "компонента", "компоненты", "компонент"),
                              QString::fromLatin1(rule.c_str()), num(lo), num(hi));
      if (o.components > 1) line += u8("; наибольший |r| %1").arg(num(r));
      result_->setText(line + QLatin1Char('.'));
    } else {
      const matching::SetFailure& f = *o.result.failure;
      const std::string component = msg::setComponent(f.motion, matching::axisName(f.axis));
      std::string why;
      if (f.tries == 0)
        why = "компонента " + component + ": " + std::string(msg::kSetSeedsExhausted);
      else if (f.correlation)
        why = msg::setCorrelationFailed(component,
                                        msg::setComponent(f.motion, matching::axisName(f.other)),
                                        f.tries, text(f.correlationValue), text(o.maxCorrelation));
      else
        why = msg::setRuleFailed(component, rule, f.tries, text(f.lowest), text(f.highest));
      result_->setText(qs(why));
    }
    showFreshness();
    return;
  }
  if (!outcome_) {
    result_->setText(u8("Подбора ещё не было."));
    showSteps({}, iterations_->value());
    return;
  }
  const MatchOutcome& o = *outcome_;
  showSteps(o.steps, o.iterations);
  const int used = o.steps.empty() ? 0 : o.steps.back().iteration;
  result_->setText((o.passed
                        ? u8("Подобрано за %1: проверка %2 пройдена; отношения от %3 до %4.")
                        : u8("За %1 запись, проходящая проверку %2, не подобрана; ближе всего: "
                             "отношения от %3 до %4."))
                       .arg(russianCount(used, "итерацию", "итерации", "итераций"))
                       .arg(QString::fromLatin1(check::ruleName(o.check.parameters.rule)),
                            num(o.lowestRatio), num(o.highestRatio)));
  showFreshness();
}

// The matched spectrum against the target and the rule's bands, along the frequency or the
// period as the axis choice says.
void MatchPage::drawSpectrum() {
  const bool byPeriod = axis_->currentIndex() == 1;
  spectrum_->clear();
  spectrum_->setAxes(byPeriod ? u8("Период, с") : u8("Частота, Гц"), true, u8("Ускорение, м/с²"),
                     true);
  if (setOutcome_ && setOutcome_->result.passed) {
    bool targetShown[2] = {false, false};
    for (const matching::SetComponent& k : setOutcome_->result.components) {
      const bool v = k.axis == matching::Axis::V;
      std::vector<QPointF> target, matched, lower;
      for (const auto& p : k.check.points) {
        const double x = byPeriod ? p.period : p.frequency;
        target.emplace_back(x, p.target);
        matched.emplace_back(x, p.computed);
        if (p.judged) lower.emplace_back(x, p.target * k.check.lowerBand);
      }
      if (!targetShown[v]) {
        targetShown[v] = true;
        spectrum_->addSeries(v ? u8("цель V") : u8("цель"), std::move(target),
                             v ? QColor(0x60, 0x60, 0x60) : QColor(Qt::black));
        spectrum_->addGuide(std::move(lower), kBand,
                            v ? u8("нижняя граница V") : u8("нижняя граница"));
      }
      spectrum_->addSeries(qs(msg::setComponent(k.motion, matching::axisName(k.axis))),
                           std::move(matched), kAxes[static_cast<int>(k.axis)]);
    }
  } else if (outcome_) {
    const check::CheckResult& c = outcome_->check;
    std::vector<QPointF> target, matched, lower, upper;
    for (const auto& p : c.points) {
      const double x = byPeriod ? p.period : p.frequency;
      target.emplace_back(x, p.target);
      matched.emplace_back(x, p.computed);
      if (p.judged) {
        lower.emplace_back(x, p.target * c.lowerBand);
        if (c.upperBand > 0) upper.emplace_back(x, p.target * c.upperBand);
      }
    }
    spectrum_->addSeries(u8("цель"), std::move(target), QColor(Qt::black));
    spectrum_->addSeries(u8("подобранная запись"), std::move(matched), kLow);
    spectrum_->addGuide(std::move(lower), kBand, u8("нижняя граница"));
    if (!upper.empty()) spectrum_->addGuide(std::move(upper), kBand, u8("верхняя граница"));
  }
  spectrum_->refresh();
}

// The seed's and the matched record's a, v and d side by side, each row on one scale so that
// the columns compare at a glance; the sweep, made inside the run, leaves its column empty.
void MatchPage::drawHistories() {
  historiesDrawn_ = true;
  std::vector<double> motion[2][3];
  double dt[2] = {0, 0};
  if (setOutcome_ && !setOutcome_->result.components.empty()) {
    // A set shows its first component; its seed (noise or a record) is not kept.
    const matching::SetComponent& k = setOutcome_->result.components.front();
    dt[1] = k.dt;
    motion[1][0] = k.match.accel;
    motionFromRest(motion[1][0], dt[1], motion[1][1], motion[1][2]);
  } else if (outcome_) {
    const records::Record* records[2] = {outcome_->seed ? &*outcome_->seed : nullptr,
                                         &outcome_->record};
    for (int k = 0; k < 2; ++k) {
      if (!records[k]) continue;
      dt[k] = records[k]->dt;
      motion[k][0] = records[k]->accel;
      motionFromRest(motion[k][0], dt[k], motion[k][1], motion[k][2]);
    }
  }
  for (int i = 0; i < 3; ++i) {
    double peak = 0, end = 0;
    for (int k = 0; k < 2; ++k) {
      for (double v : motion[k][i]) peak = std::max(peak, std::fabs(v));
      end = std::max(end, static_cast<double>(motion[k][i].size()) * dt[k]);
    }
    for (int k = 0; k < 2; ++k) {
      Plot* p = histories_[i][k];
      p->clear();
      if (!motion[k][i].empty())
        p->addSeries(k == 0 ? u8("исходная") : u8("подобранная"), timeHistory(motion[k][i], dt[k]),
                     k == 0 ? QColor(0x55, 0x55, 0x55) : kLow);
      if (peak > 0 && end > 0) p->setRanges(0, end, -peak * 1.05, peak * 1.05);
      p->refresh();
    }
  }
}

bool MatchPage::saveAks(const QString& path) {
  if (!usable()) return false;
  try {
    records::Record r = outcome_->record;
    r.path = path.toStdString();
    const std::string text = records::aksText(r);
    try {
      replaceFile(r.path, text);
    } catch (const IoError& e) {
      records::failFile(r.path, records::ioMessage(e));
    }
    return true;
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return false;
  }
}

void MatchPage::saveClicked() {
  showFreshness();
  if (!usable()) return;
  QString path = QFileDialog::getSaveFileName(this, u8("Сохранить подобранную запись"),
                                              session_.lastFolder(), u8("Акселерограммы (*.aks)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".aks");
  session_.setLastFolder(QFileInfo(path).absolutePath());
  if (saveAks(path)) {
    outcome_->record.path = path.toStdString();
    outcome_->record.name = QFileInfo(path).completeBaseName().toStdString();
  }
}

// Every component's seed, tries, iterations and ratio range, and each motion's correlations;
// empty tables when the last run was not a set.
void MatchPage::showSetTables() {
  setTable_->setRowCount(0);
  correlationTable_->setRowCount(0);
  correlationTable_->setColumnCount(0);
  if (!setOutcome_) return;
  const SetOutcome& o = *setOutcome_;
  for (const matching::SetComponent& k : o.result.components) {
    const int row = setTable_->rowCount();
    setTable_->insertRow(row);
    setTable_->setItem(row, 0, cell(qs(msg::setComponent(k.motion, matching::axisName(k.axis)))));
    setTable_->setItem(row, 1, cell(qs(k.seed)));
    setTable_->setItem(row, 2, cell(QString::number(k.tries)));
    setTable_->setItem(row, 3, cell(QString::number(k.match.iterations)));
    setTable_->setItem(row, 4, cell(num(k.match.lowestRatio)));
    setTable_->setItem(row, 5, cell(num(k.match.highestRatio)));
  }
  const auto pairs = matching::componentPairs(o.components);
  if (pairs.empty()) return;
  QStringList header = {u8("Движение")};
  for (const auto& [a, b] : pairs)
    header << QString::fromLatin1(matching::axisName(a)) + u8("–") +
                  QString::fromLatin1(matching::axisName(b));
  correlationTable_->setColumnCount(static_cast<int>(header.size()));
  correlationTable_->setHorizontalHeaderLabels(header);
  for (std::size_t m = 0; m < o.result.correlations.size(); ++m) {
    const int row = correlationTable_->rowCount();
    correlationTable_->insertRow(row);
    correlationTable_->setItem(row, 0, cell(QString::number(m + 1)));
    for (std::size_t i = 0; i < o.result.correlations[m].size(); ++i)
      correlationTable_->setItem(row, static_cast<int>(i) + 1,
                                 cell(num(o.result.correlations[m][i])));
  }
}

bool MatchPage::saveSet(const QString& prefix) {
  if (!setUsable()) return false;
  try {
    const std::string base = prefix.toStdString();
    std::vector<std::string> names, texts;
    for (const matching::SetComponent& k : setOutcome_->result.components) {
      records::Record r;
      r.dt = k.dt;
      r.accel = k.match.accel;
      names.push_back(matching::setFileName(base, k.motion, k.axis));
      texts.push_back(records::aksText(r));
    }
    std::vector<std::pair<std::string, std::string_view>> files;
    for (std::size_t i = 0; i < names.size(); ++i) files.emplace_back(names[i], texts[i]);
    std::size_t failed = 0;
    try {
      replaceFiles(files, failed);
    } catch (const IoError& e) {
      records::failFile(names[failed], records::ioMessage(e));
    }
    return true;
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return false;
  }
}

void MatchPage::saveSetClicked() {
  showFreshness();
  if (!setUsable()) return;
  QString path = QFileDialog::getSaveFileName(
      this, u8("Сохранить набор: начало имён файлов (к нему добавится _<движение>_<H1|H2|V>.aks)"),
      session_.lastFolder(), u8("Акселерограммы (*.aks)"));
  if (path.isEmpty()) return;
  if (path.endsWith(QStringLiteral(".aks"), Qt::CaseInsensitive)) path.chop(4);
  session_.setLastFolder(QFileInfo(path).absolutePath());
  saveSet(path);
}

bool MatchPage::addToRecords() {
  if (!usable()) return false;
  const std::size_t index = session_.add(outcome_->record);
  addedId_ = session_.at(index).id;
  showFreshness();
  return true;
}

bool MatchPage::sendToMain() {
  if (!usable()) return false;
  return session_.sendToMain(outcome_->record, this);
}

}  // namespace accelspec
