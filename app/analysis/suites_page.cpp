// SPDX-License-Identifier: MIT
#include "app/analysis/suites_page.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <thread>

#include "analysis/number_text.hpp"
#include "app/analysis/analysis_session.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/check_page.hpp"
#include "app/analysis/library_access.hpp"
#include "app/analysis/library_model.hpp"
#include "app/analysis/plot.hpp"
#include "app/analysis/plural.hpp"
#include "app/error_box.hpp"
#include "app/qt_text.hpp"
#include "data/error.hpp"
#include "files/atomic_write.hpp"
#include "matching/match_to_rule.hpp"
#include "records/aks_text.hpp"
#include "records/record.hpp"

namespace accelspec {

namespace {

QString u8(const char* s) { return QString::fromUtf8(s); }

QString num(double v, int digits = 4) { return qs(analysis::formatNumber(v, digits)); }

// A number as the user typed it (a comma taken for the point); empty: none.
std::optional<double> optionalNumber(const QString& text, const char* field) {
  QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  double v = 0;
  if (!analysis::parseNumber(t.toStdString(), v) || !std::isfinite(v))
    throw AppError(std::string(field) + ": ожидается число, например 0.5");
  return v;
}

double positiveNumber(const QString& text, const char* field) {
  const std::optional<double> v = optionalNumber(text, field);
  if (!v || !(*v > 0)) throw AppError(std::string(field) + ": ожидается число больше нуля");
  return *v;
}

QTableWidgetItem* cell(const QString& text, bool number = false) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QPushButton* button(const char* name, const char* text, QWidget* parent) {
  auto* b = new QPushButton(u8(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

const QColor kPass(0x1b, 0x7f, 0x2a), kFail(0xc0, 0x1c, 0x1c), kMean(0x1f, 0x4e, 0xa0),
    kMember(0xa0, 0xa8, 0xb8), kSpread(0x5a, 0x7f, 0xc0);

const char* const kGroup = "suites";

// The records of a motion's components as their files hold them.
std::vector<records::Record> readMotion(const library::Motion& motion) {
  std::vector<records::Record> out;
  for (const auto& c : motion.components) {
    records::Reading reading;
    if (!c.format.empty()) reading.format = c.format;
    reading.channel = c.channel;
    out.push_back(records::readRecord(c.path, reading));
  }
  return out;
}

}  // namespace

SuiteCurves suiteCurves(const check::CheckResult& check) {
  SuiteCurves c;
  const std::size_t n = check.spectra.size();
  for (std::size_t j = 0; j < check.points.size(); ++j) {
    long double sum = 0, logSum = 0;
    bool positive = true;
    for (const auto& s : check.spectra) {
      sum += s[j];
      if (!(s[j] > 0))
        positive = false;
      else
        logSum += std::log(static_cast<long double>(s[j]));
    }
    if (n == 0) break;
    c.frequency.push_back(check.points[j].frequency);
    c.mean.push_back(static_cast<double>(sum / static_cast<long double>(n)));
    if (!positive) {  // no logarithm: no spread to draw here
      c.lower.push_back(std::nan(""));
      c.upper.push_back(std::nan(""));
      continue;
    }
    const long double mu = logSum / static_cast<long double>(n);
    long double squares = 0;
    for (const auto& s : check.spectra) {
      const long double d = std::log(static_cast<long double>(s[j])) - mu;
      squares += d * d;
    }
    const long double sigma = n > 1 ? std::sqrt(squares / static_cast<long double>(n - 1)) : 0;
    c.lower.push_back(static_cast<double>(std::exp(mu - sigma)));
    c.upper.push_back(static_cast<double>(std::exp(mu + sigma)));
  }
  return c;
}

// ---------------------------------------------------------------------------------------------

SuitesPage::SuitesPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session), choice_(ruleChoice(session)) {
  setObjectName(QStringLiteral("SuitesPage"));
  libraryTask_ = new BackgroundTask(this);
  selectionTask_ = new BackgroundTask(this);
  loadTask_ = new BackgroundTask(this);
  model_ = new LibraryModel(this);
  filter_ = new LibraryFilter(model_, this);

  QWidget* side = buildSide();
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("SuitesTabs"));
  tabs_->addTab(buildLibraryTab(), u8("Библиотека"));
  tabs_->addTab(buildSuiteTab(), u8("Набор"));

  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(side);
  split->addWidget(tabs_);
  split->setStretchFactor(1, 1);
  split->setSizes({340, 760});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(split);

  source_ = libraryMotions;
  loadSettings();
  showRuleFields();
  // The target only: the rule of a suite is this page's own.
  const auto showTarget = [this] {
    target_->setText(choice_.summary().section(QStringLiteral("; "), 0, 0));
  };
  connect(&choice_, &RuleChoice::changed, this, [this, showTarget] {
    showTarget();
    showFreshness();
  });
  showTarget();
  showSelection();
}

SuitesPage::~SuitesPage() = default;

QWidget* SuitesPage::buildSide() {
  auto* side = new QWidget(this);
  side->setMaximumWidth(340);
  auto* layout = new QVBoxLayout(side);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(buildLibraryBox(side));
  layout->addWidget(buildParameters(side));
  select_ = button("ButtonSelectSuite", "Подобрать набор", side);
  layout->addWidget(select_);
  layout->addWidget(new TaskProgress(*selectionTask_, side));
  saveSuite_ = button("ButtonSaveSuite", "Сохранить набор…", side);
  exportRecords_ = button("ButtonExportSuiteRecords", "Экспорт записей…", side);
  report_ = button("ButtonSuiteReport", "Отчёт PDF…", side);
  saveSuite_->setToolTip(u8("Файл набора *.csv, который читают suite check и suite export"));
  exportRecords_->setToolTip(
      u8("Каждая масштабированная компонента — файл *.aks в выбранной папке"));
  for (QPushButton* b : {saveSuite_, exportRecords_, report_}) layout->addWidget(b);
  layout->addStretch(1);

  connect(select_, &QPushButton::clicked, this, &SuitesPage::runSelection);
  connect(saveSuite_, &QPushButton::clicked, this, [this] {
    const QStringList p = ask(QStringLiteral("suite"));
    if (!p.isEmpty()) saveSuite(p.front());
  });
  connect(exportRecords_, &QPushButton::clicked, this, [this] {
    const QStringList p = ask(QStringLiteral("records"));
    if (!p.isEmpty()) exportRecords(p.front());
  });
  connect(report_, &QPushButton::clicked, this, [this] {
    const QStringList p = ask(QStringLiteral("report"));
    if (!p.isEmpty()) writeReport(p.front());
  });
  connect(selectionTask_, &BackgroundTask::started, this, [this] {
    select_->setEnabled(false);
    for (QPushButton* b : {saveSuite_, exportRecords_, report_, suiteToRecords_})
      b->setEnabled(false);
  });
  connect(selectionTask_, &BackgroundTask::finished, this, [this] {
    select_->setEnabled(true);
    showFreshness();
  });
  return side;
}

// The library file, its size, and the adding of folders with progress and cancel.
QWidget* SuitesPage::buildLibraryBox(QWidget* parent) {
  auto* box = new QGroupBox(u8("Библиотека записей"), parent);
  libraryLabel_ = new QLabel(box);
  libraryLabel_->setObjectName(QStringLiteral("LabelLibrary"));
  libraryLabel_->setWordWrap(true);
  add_ = button("ButtonAddFolder", "Добавить папку…", box);
  add_->setToolTip(u8("Прочитать записи папки (со всеми вложенными) и внести их в библиотеку"));
  libraryFile_ = button("ButtonLibraryFile", "Другая библиотека…", box);
  addLabel_ = new QLabel(box);
  addLabel_->setObjectName(QStringLiteral("LabelAddOutcome"));
  addLabel_->setWordWrap(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(libraryFile_);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(libraryLabel_);
  layout->addLayout(buttons);
  layout->addWidget(new TaskProgress(*libraryTask_, box));
  layout->addWidget(addLabel_);

  connect(add_, &QPushButton::clicked, this, [this] {
    const QStringList p = ask(QStringLiteral("add"));
    if (!p.isEmpty()) addFolders(p);
  });
  connect(libraryFile_, &QPushButton::clicked, this, [this] {
    const QStringList p = ask(QStringLiteral("library"));
    if (!p.isEmpty()) setLibraryPath(p.front());
  });
  connect(libraryTask_, &BackgroundTask::started, this, [this] {
    add_->setEnabled(false);
    libraryFile_->setEnabled(false);
  });
  connect(libraryTask_, &BackgroundTask::finished, this, [this] {
    add_->setEnabled(true);
    libraryFile_->setEnabled(true);
  });
  // A cancelled add keeps every file it finished: the table shows them once its last file is
  // written, which may be after the run was let go.
  connect(libraryTask_, &BackgroundTask::workEnded, this, [this] {
    libraryVersion_++;
    showFreshness();
    reload();
  });
  return box;
}

// The selection's parameters; the target and its source are the page «Совместимость»'s.
QWidget* SuitesPage::buildParameters(QWidget* parent) {
  auto* box = new QGroupBox(u8("Подбор набора"), parent);
  target_ = new QLabel(box);
  target_->setObjectName(QStringLiteral("LabelSuiteTarget"));
  target_->setWordWrap(true);
  target_->setToolTip(u8("Цель задаётся на странице «Совместимость»"));
  rule_ = new QComboBox(box);
  rule_->setObjectName(QStringLiteral("ComboSuiteRule"));
  rule_->addItems({QStringLiteral("srp"), QStringLiteral("ec8"), QStringLiteral("asce7")});
  countEdit_ = new QSpinBox(box);
  countEdit_->setObjectName(QStringLiteral("SpinSuiteCount"));
  countEdit_->setRange(1, 1000);
  countEdit_->setValue(11);
  t1_ = new QLineEdit(box);
  t1_->setObjectName(QStringLiteral("EditSuiteT1"));
  t1Label_ = new QLabel(u8("T1, с"), box);
  tmin_ = new QLineEdit(box);
  tmin_->setObjectName(QStringLiteral("EditSuiteTmin"));
  tmax_ = new QLineEdit(box);
  tmax_->setObjectName(QStringLiteral("EditSuiteTmax"));
  tmin_->setPlaceholderText(u8("от"));
  tmax_->setPlaceholderText(u8("до"));
  auto* range = new QHBoxLayout;
  range->addWidget(tmin_);
  range->addWidget(new QLabel(QStringLiteral("–"), box));
  range->addWidget(tmax_);
  pairs_ = new QCheckBox(u8("пары горизонтальных компонент (RotD)"), box);
  pairs_->setObjectName(QStringLiteral("CheckSuitePairs"));
  scaleMin_ = new QLineEdit(QStringLiteral("0.25"), box);
  scaleMin_->setObjectName(QStringLiteral("EditScaleMin"));
  scaleMax_ = new QLineEdit(QStringLiteral("4"), box);
  scaleMax_->setObjectName(QStringLiteral("EditScaleMax"));
  auto* scale = new QHBoxLayout;
  scale->addWidget(scaleMin_);
  scale->addWidget(new QLabel(QStringLiteral("–"), box));
  scale->addWidget(scaleMax_);
  perEvent_ = new QSpinBox(box);
  perEvent_->setObjectName(QStringLiteral("SpinMaxPerEvent"));
  perEvent_->setRange(0, 1000);
  perEvent_->setSpecialValueText(u8("без предела"));
  auto* form = new QFormLayout(box);
  form->addRow(target_);
  form->addRow(u8("Правило"), rule_);
  form->addRow(u8("Движений"), countEdit_);
  form->addRow(t1Label_, t1_);
  form->addRow(u8("Диапазон T, с"), range);
  form->addRow(pairs_);
  form->addRow(u8("Множитель"), scale);
  form->addRow(u8("Не более от события"), perEvent_);

  connect(rule_, &QComboBox::currentIndexChanged, this, [this] {
    showRuleFields();
    saveSettings();
    showFreshness();
  });
  for (QLineEdit* e : {t1_, tmin_, tmax_, scaleMin_, scaleMax_})
    connect(e, &QLineEdit::textChanged, this, [this] {
      saveSettings();
      showFreshness();
    });
  for (QSpinBox* s : {countEdit_, perEvent_})
    connect(s, &QSpinBox::valueChanged, this, [this] {
      saveSettings();
      showFreshness();
    });
  connect(pairs_, &QCheckBox::toggled, this, [this] {
    saveSettings();
    showFreshness();
  });
  return box;
}

// The filter, the condition on stored fields, the table and the way to «Записи».
QWidget* SuitesPage::buildLibraryTab() {
  auto* tab = new QWidget(this);
  filterEdit_ = new QLineEdit(tab);
  filterEdit_->setObjectName(QStringLiteral("EditLibraryFilter"));
  filterEdit_->setPlaceholderText(u8("событие, станция, файл…"));
  filterEdit_->setClearButtonEnabled(true);
  where_ = new QLineEdit(tab);
  where_->setObjectName(QStringLiteral("EditWhere"));
  where_->setPlaceholderText(QStringLiteral("pga>0.1 and magnitude>=6"));
  where_->setToolTip(
      u8("Условие на сохранённые поля, как --where команды select; подбор берёт только "
         "движения, которые ему отвечают. Enter — применить"));
  count_ = new QLabel(tab);
  count_->setObjectName(QStringLiteral("LabelLibraryCount"));
  libraryToRecords_ = button("ButtonLibraryToRecords", "В записи", tab);
  libraryToRecords_->setToolTip(u8("Открыть компоненты выбранного движения на странице «Записи»"));
  table_ = new QTableView(tab);
  table_->setObjectName(QStringLiteral("LibraryTable"));
  table_->setModel(filter_);
  table_->setSortingEnabled(true);
  table_->sortByColumn(LibraryModel::Name, Qt::AscendingOrder);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideMiddle);
  table_->verticalHeader()->hide();
  // Rows of one height, columns of fixed widths: the view never measures 10000 rows' texts.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  table_->horizontalHeader()->setStretchLastSection(true);
  const int widths[LibraryModel::ColumnCount] = {110, 130, 80, 120, 40, 55, 70,
                                                 60,  110, 55, 60,  65, 150};
  for (int c = 0; c < LibraryModel::ColumnCount; ++c) table_->setColumnWidth(c, widths[c]);

  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(u8("Фильтр"), tab));
  row->addWidget(filterEdit_, 2);
  row->addWidget(new QLabel(u8("Условие"), tab));
  row->addWidget(where_, 2);
  row->addWidget(count_);
  row->addWidget(libraryToRecords_);
  auto* layout = new QVBoxLayout(tab);
  layout->addLayout(row);
  layout->addWidget(table_, 1);
  layout->addWidget(new TaskProgress(*loadTask_, tab));

  connect(filterEdit_, &QLineEdit::textChanged, this, [this](const QString& t) {
    filter_->setText(t);
    count_->setText(u8("%1 из %2").arg(filter_->rowCount()).arg(model_->rowCount()));
  });
  connect(where_, &QLineEdit::returnPressed, this, &SuitesPage::reload);
  connect(where_, &QLineEdit::textChanged, this, [this] {
    saveSettings();
    showFreshness();
  });
  connect(libraryToRecords_, &QPushButton::clicked, this, [this] {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    if (!rows.isEmpty()) sendLibraryMotion(rows.front().row());
  });
  connect(table_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& index) { sendLibraryMotion(index.row()); });
  return tab;
}

// The suite: verdict and summary, the chart and the table of members.
QWidget* SuitesPage::buildSuiteTab() {
  auto* tab = new QWidget(this);
  verdict_ = new QLabel(tab);
  verdict_->setObjectName(QStringLiteral("LabelSuiteVerdict"));
  QFont big = verdict_->font();
  big.setPointSize(big.pointSize() + 5);
  big.setBold(true);
  verdict_->setFont(big);
  summary_ = new QLabel(tab);
  summary_->setObjectName(QStringLiteral("LabelSuiteSummary"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  plot_ = new Plot(tab);
  plot_->setObjectName(QStringLiteral("PlotSuite"));
  plot_->setExportFolder([this] { return session_.lastFolder(); },
                         [this](const QString& f) { session_.setLastFolder(f); });
  axis_ = axisChoice(QStringLiteral("ComboSuiteAxisX"), tab);

  suite_ = new QTableWidget(0, 7, tab);
  suite_->setObjectName(QStringLiteral("SuiteTable"));
  suite_->setHorizontalHeaderLabels({u8("№"), u8("Движение"), u8("Событие"), u8("Файлы"),
                                     u8("Множитель"), u8("MSE"), u8("PGA масшт., g")});
  suite_->setSelectionBehavior(QAbstractItemView::SelectRows);
  suite_->setSelectionMode(QAbstractItemView::SingleSelection);
  suite_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  suite_->verticalHeader()->hide();
  suite_->setWordWrap(false);
  suite_->setTextElideMode(Qt::ElideMiddle);
  suite_->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
  suiteToRecords_ = button("ButtonSuiteToRecords", "Масштабированную в записи", tab);
  suiteToRecords_->setToolTip(
      u8("Открыть масштабированные компоненты выбранного движения на странице «Записи»"));

  auto* head = new QHBoxLayout;
  head->addWidget(verdict_);
  head->addWidget(summary_, 1);
  auto* tableBox = new QWidget(tab);
  auto* tableLayout = new QVBoxLayout(tableBox);
  tableLayout->setContentsMargins(0, 0, 0, 0);
  tableLayout->addWidget(suite_, 1);
  auto* tableButtons = new QHBoxLayout;
  tableButtons->addWidget(suiteToRecords_);
  tableButtons->addStretch(1);
  tableLayout->addLayout(tableButtons);
  auto* plotBox = new QWidget(tab);
  auto* plotLayout = new QVBoxLayout(plotBox);
  plotLayout->setContentsMargins(0, 0, 0, 0);
  plotLayout->addWidget(axis_->parentWidget());
  plotLayout->addWidget(plot_, 1);
  auto* split = new QSplitter(Qt::Vertical, tab);
  split->addWidget(plotBox);
  split->addWidget(tableBox);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  split->setSizes({440, 180});
  auto* layout = new QVBoxLayout(tab);
  layout->addLayout(head);
  layout->addWidget(split, 1);

  connect(axis_, &QComboBox::currentIndexChanged, this, [this] {
    if (!loading_)
      session_.settings().setValue(QStringLiteral("suites/axis"), axis_->currentIndex());
    drawChart();
  });
  connect(suiteToRecords_, &QPushButton::clicked, this, [this] {
    const QModelIndexList rows = suite_->selectionModel()->selectedRows();
    if (!rows.isEmpty()) sendSuiteMember(rows.front().row());
  });
  return tab;
}

void SuitesPage::loadSettings() {
  // Every value is read before any field is set: a field set fires its handler, which saves the
  // page's fields (under the group, were it still open) before the rest are read.
  QSettings& s = session_.settings();
  s.beginGroup(QString::fromLatin1(kGroup));
  const auto text = [&s](const char* key, const QString& fallback = {}) {
    return s.value(QString::fromLatin1(key), fallback).toString();
  };
  libraryPath_ = text("library");
  const int rule = s.value(QStringLiteral("rule"), static_cast<int>(choice_.rule)).toInt();
  const int count = s.value(QStringLiteral("count"), 11).toInt();
  const QString t1 = text("t1", choice_.t1), tmin = text("tmin"), tmax = text("tmax");
  const bool pairs = s.value(QStringLiteral("pairs"), false).toBool();
  const QString scaleMin = text("scaleMin", QStringLiteral("0.25"));
  const QString scaleMax = text("scaleMax", QStringLiteral("4"));
  const int perEvent = s.value(QStringLiteral("maxPerEvent"), 0).toInt();
  const QString where = text("where");
  const int axis = s.value(QStringLiteral("axis"), 1).toInt();
  s.endGroup();

  loading_ = true;
  rule_->setCurrentIndex(rule >= 0 && rule <= 2 ? rule : 0);
  countEdit_->setValue(count);
  t1_->setText(t1);
  tmin_->setText(tmin);
  tmax_->setText(tmax);
  pairs_->setChecked(pairs);
  scaleMin_->setText(scaleMin);
  scaleMax_->setText(scaleMax);
  perEvent_->setValue(perEvent);
  where_->setText(where);
  axis_->setCurrentIndex(axis == 0 ? 0 : 1);
  loading_ = false;
  libraryLabel_->setText(libraryPath_.isEmpty() ? qs(defaultLibraryFile()) : libraryPath_);
}

void SuitesPage::saveSettings() {
  if (loading_) return;
  QSettings& s = session_.settings();
  s.beginGroup(QString::fromLatin1(kGroup));
  s.setValue(QStringLiteral("library"), libraryPath_);
  s.setValue(QStringLiteral("rule"), rule_->currentIndex());
  s.setValue(QStringLiteral("count"), countEdit_->value());
  s.setValue(QStringLiteral("t1"), t1_->text());
  s.setValue(QStringLiteral("tmin"), tmin_->text());
  s.setValue(QStringLiteral("tmax"), tmax_->text());
  s.setValue(QStringLiteral("pairs"), pairs_->isChecked());
  s.setValue(QStringLiteral("scaleMin"), scaleMin_->text());
  s.setValue(QStringLiteral("scaleMax"), scaleMax_->text());
  s.setValue(QStringLiteral("maxPerEvent"), perEvent_->value());
  s.setValue(QStringLiteral("where"), where_->text());
  s.endGroup();
}

void SuitesPage::showRuleFields() {
  const bool t1 = rule_->currentIndex() != static_cast<int>(check::Rule::Srp);
  t1_->setVisible(t1);
  t1Label_->setVisible(t1);
}

QStringList SuitesPage::ask(const QString& kind) {
  if (dialogHook_) return dialogHook_(kind);
  const QString folder = session_.lastFolder();
  QStringList paths;
  if (kind == QLatin1String("add")) {
    const QString dir = QFileDialog::getExistingDirectory(this, u8("Папка записей"), folder);
    if (!dir.isEmpty()) paths << dir;
  } else if (kind == QLatin1String("library")) {
    const QString path = QFileDialog::getSaveFileName(
        this, u8("Файл библиотеки"), folder, u8("Библиотека SQLite (*.sqlite);;Все файлы (*)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) paths << path;
  } else if (kind == QLatin1String("suite")) {
    const QString path =
        QFileDialog::getSaveFileName(this, u8("Файл набора"), folder, u8("Набор (*.csv)"));
    if (!path.isEmpty()) paths << path;
  } else if (kind == QLatin1String("records")) {
    const QString dir =
        QFileDialog::getExistingDirectory(this, u8("Папка для масштабированных записей"), folder);
    if (!dir.isEmpty()) paths << dir;
  } else if (kind == QLatin1String("report")) {
    const QString path = QFileDialog::getSaveFileName(this, u8("Отчёт о наборе"), folder,
                                                      u8("Документ PDF (*.pdf)"));
    if (!path.isEmpty()) paths << path;
  }
  if (!paths.isEmpty()) {
    const QFileInfo info(paths.front());
    session_.setLastFolder(info.isDir() ? info.absoluteFilePath() : info.absolutePath());
  }
  return paths;
}

void SuitesPage::setLibraryPath(const QString& path) {
  libraryPath_ = path;
  libraryLabel_->setText(path.isEmpty() ? qs(defaultLibraryFile()) : path);
  saveSettings();
  libraryVersion_++;
  reload();
}

void SuitesPage::setMotionSource(MotionSource source) {
  source_ = source ? std::move(source) : MotionSource(libraryMotions);
  libraryVersion_++;
  reload();
}

void SuitesPage::showEvent(QShowEvent* event) {
  // The library is read when the page is first seen, not when the window opens.
  if (model_->rowCount() == 0 && !loadTask_->busy() && libraryVersion_ == 0) {
    libraryVersion_++;
    reload();
  }
  showFreshness();
  QWidget::showEvent(event);
}

void SuitesPage::reload() {
  const std::string path = libraryPath_.toStdString();
  const std::string where = where_->text().trimmed().toStdString();
  loadTask_->start<std::shared_ptr<LibraryModel::Rows>>(
      [path, where, source = source_](const TaskControl& c) {
        c.report(0, u8("чтение библиотеки"));
        std::vector<library::Motion> motions = source(path, where);
        // The table shows no spectra (the selection reads its own): 10000 motions keep about
        // 100 MB less.
        for (library::Motion& m : motions) {
          m.rotd50 = {};
          m.rotd100 = {};
          for (library::Component& component : m.components) component.psa = {};
        }
        // The rows' sort keys too: the window only swaps them in.
        return LibraryModel::prepare(std::move(motions));
      },
      [this](std::shared_ptr<LibraryModel::Rows>& rows) {
        model_->setRows(std::move(rows));
        filter_->sort(filter_->sortColumn(), filter_->sortOrder());
        count_->setText(filter_->rowCount() == model_->rowCount()
                            ? russianCount(model_->rowCount(), "движение", "движения", "движений")
                            : u8("%1 из %2").arg(filter_->rowCount()).arg(model_->rowCount()));
        emit reloaded();
      });
}

void SuitesPage::addFolders(const QStringList& paths) {
  std::vector<std::string> list;
  for (const QString& p : paths) list.push_back(QFileInfo(p).absoluteFilePath().toStdString());
  const std::string library = libraryPath_.toStdString();
  addLabel_->clear();
  libraryTask_->start<AddOutcome>(
      [library, list](const TaskControl& c) {
        AddOutcome out;
        const AddCounts counts =
            addToLibrary(library, list, c.stopToken(), [&c](std::size_t done, std::size_t total) {
              c.report(total == 0 ? 0 : static_cast<int>(100 * done / total),
                       u8("файлов: %1 из %2").arg(done).arg(total));
            });
        out.indexed = static_cast<int>(counts.indexed);
        out.unchanged = static_cast<int>(counts.unchanged);
        for (const auto& r : counts.refused) out.refused << qs(r);
        out.cancelled = c.cancelled();
        return out;
      },
      [this](AddOutcome& outcome) {
        lastAdd_ = outcome;
        showAdd(outcome);
      });
}

void SuitesPage::showAdd(const AddOutcome& o) {
  QString text = u8("Внесено: %1, без изменений: %2")
                     .arg(russianCount(o.indexed, "файл", "файла", "файлов"))
                     .arg(o.unchanged);
  if (!o.refused.isEmpty()) {
    text += u8("; не прочитано: %1").arg(o.refused.size());
    addLabel_->setToolTip(o.refused.join(QLatin1Char('\n')));
  } else {
    addLabel_->setToolTip({});
  }
  addLabel_->setText(text);
}

suites::SelectionParameters SuitesPage::parameters(const check::Target& target) const {
  suites::SelectionParameters p;
  p.rule.rule = static_cast<check::Rule>(rule_->currentIndex());
  if (p.rule.rule != check::Rule::Srp) p.rule.t1 = optionalNumber(t1_->text(), "T1");
  check::setPeriodRange(p.rule, optionalNumber(tmin_->text(), "Диапазон T, от"),
                        optionalNumber(tmax_->text(), "Диапазон T, до"), std::nullopt,
                        std::nullopt);
  p.count = static_cast<std::size_t>(countEdit_->value());
  p.pairs = pairs_->isChecked();
  p.scaleMin = positiveNumber(scaleMin_->text(), "Множитель, от");
  p.scaleMax = positiveNumber(scaleMax_->text(), "Множитель, до");
  if (p.scaleMin > p.scaleMax) throw AppError("Множитель: нижний предел больше верхнего");
  p.maxPerEvent = static_cast<std::size_t>(perEvent_->value());
  matching::validateRuleParameters(p.rule, target);
  return p;
}

QString SuitesPage::inputsKey() const {
  QStringList parts = {choice_.fingerprint(session_),
                       QString::number(rule_->currentIndex()),
                       QString::number(countEdit_->value()),
                       t1_->text(),
                       tmin_->text(),
                       tmax_->text(),
                       QString::number(pairs_->isChecked()),
                       scaleMin_->text(),
                       scaleMax_->text(),
                       QString::number(perEvent_->value()),
                       where_->text().trimmed(),
                       libraryPath_,
                       QString::number(libraryVersion_)};
  return parts.join(QChar(0x1f));
}

bool SuitesPage::stale() const { return selection_ && inputsKey() != selectionKey_; }

void SuitesPage::runSelection() {
  check::Target target;
  suites::SelectionParameters p;
  try {
    target = choice_.target(session_);
    p = parameters(target);
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return;
  }
  const std::string path = libraryPath_.toStdString();
  const std::string where = where_->text().trimmed().toStdString();
  selectionTask_->start<suites::Selection>(
      [target, p, path, where, source = source_](const TaskControl& c) {
        c.report(0, u8("чтение библиотеки"));
        const std::vector<library::Motion> motions = source(path, where);
        if (motions.empty())
          throw AppError(where.empty()
                             ? "в библиотеке нет ни одного движения: добавьте папку "
                               "записей"
                             : "ни одно движение библиотеки не отвечает условию «" + where + "»");
        c.report(30, u8("подбор из %1")
                         .arg(russianCount(static_cast<long long>(motions.size()), "движения",
                                           "движений", "движений")));
        return suites::select(target, p, motions);
      },
      [this, key = inputsKey()](suites::Selection& s) {
        selection_ = std::move(s);
        selectionKey_ = key;
        showSelection();
        tabs_->setCurrentIndex(1);
      });
}

void SuitesPage::showSelection() {
  suite_->setRowCount(0);
  if (!selection_) {
    verdict_->clear();
    summary_->setText(
        u8("Набор ещё не подобран: задайте цель на странице «Совместимость», "
           "параметры слева и нажмите «Подобрать набор»."));
    plot_->clear();
    plot_->refresh();
    showFreshness();
    return;
  }
  const suites::Selection& s = *selection_;
  verdict_->setText(s.pass ? u8("ПРОХОДИТ") : u8("НЕ ПРОХОДИТ"));
  QString summary =
      u8("%1; правило %2; %3 из %4 кандидатов (в пределах множителя: %5).")
          .arg(qs(s.check.targetText), QString::fromLatin1(check::ruleName(s.parameters.rule.rule)),
               russianCount(static_cast<long long>(s.members.size()), "движение", "движения",
                            "движений"))
          .arg(s.candidates)
          .arg(s.withinLimits);
  if (s.multiplier != 1)
    summary += u8(" Общий множитель %1 поднял среднее до правила.").arg(num(s.multiplier));
  else if (s.multiplierRefused)
    summary += u8(" Правилу нужен общий множитель %1, пределы множителя его не допускают.")
                   .arg(num(s.multiplierNeeded));
  summary_->setText(summary);

  for (const suites::Member& m : s.members) {
    const int row = suite_->rowCount();
    suite_->insertRow(row);
    QStringList files, paths;
    for (const auto& f : m.files) {
      files << QFileInfo(qs(f.path)).fileName();
      paths << qs(f.path);
    }
    suite_->setItem(row, 0, cell(QString::number(m.rank), true));
    suite_->setItem(row, 1, cell(qs(m.name)));
    suite_->setItem(row, 2, cell(qs(m.event)));
    suite_->setItem(row, 3, cell(files.join(QStringLiteral(", "))));
    suite_->item(row, 3)->setToolTip(paths.join(QLatin1Char('\n')));
    suite_->setItem(row, 4, cell(num(m.factor), true));
    suite_->setItem(row, 5, cell(num(m.mse), true));
    suite_->setItem(row, 6, cell(num(m.scaledPga() / records::kStandardGravity), true));
  }
  suite_->resizeColumnsToContents();
  suite_->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
  drawChart();
  showFreshness();
}

// The scaled spectra thin, their mean, exp(μ ± σ) of their logarithms, the target and the
// rule's band over the judged range, on log axes.
void SuitesPage::drawChart() {
  plot_->clear();
  const bool byPeriod = axis_->currentIndex() == 1;
  plot_->setAxes(byPeriod ? u8("Период, с") : u8("Частота, Гц"), true, u8("Ускорение, м/с²"), true);
  if (!selection_ || selection_->check.points.empty()) {
    plot_->refresh();
    return;
  }
  const check::CheckResult& r = selection_->check;
  const auto x = [byPeriod](const check::CheckPoint& p) {
    return byPeriod ? p.period : p.frequency;
  };
  for (std::size_t k = 0; k < r.spectra.size(); ++k) {
    std::vector<QPointF> pts;
    for (std::size_t j = 0; j < r.points.size(); ++j)
      pts.emplace_back(x(r.points[j]), r.spectra[k][j]);
    const int i = plot_->addSeries(k < r.recordNames.size() ? qs(r.recordNames[k]) : QString(),
                                   std::move(pts), kMember);
    QPen pen = plot_->line(i)->pen();
    pen.setWidthF(0.8);
    plot_->line(i)->setPen(pen);
    // One legend entry stands for all of them.
    for (QLegendMarker* marker : plot_->chart()->legend()->markers(plot_->line(i))) {
      if (k == 0)
        marker->setLabel(u8("масштабированные записи (%1)").arg(r.spectra.size()));
      else
        marker->setVisible(false);
    }
  }
  const SuiteCurves c = suiteCurves(r);
  std::vector<QPointF> mean, lower, upper, target, band, bandUp;
  for (std::size_t j = 0; j < r.points.size() && j < c.mean.size(); ++j) {
    const double xj = x(r.points[j]);
    mean.emplace_back(xj, c.mean[j]);
    if (std::isfinite(c.lower[j])) {
      lower.emplace_back(xj, c.lower[j]);
      upper.emplace_back(xj, c.upper[j]);
    }
    target.emplace_back(xj, r.points[j].target);
    if (r.points[j].judged) {
      band.emplace_back(xj, r.lowerBand * r.points[j].target);
      if (r.upperBand > 0) bandUp.emplace_back(xj, r.upperBand * r.points[j].target);
    }
  }
  plot_->addSeries(u8("цель"), std::move(target), QColor(Qt::black));
  const int b = plot_->addSeries(u8("граница правила %1 × цель").arg(num(r.lowerBand)),
                                 std::move(band), kFail);
  if (!bandUp.empty()) {
    const int u = plot_->addSeries(u8("граница правила %1 × цель").arg(num(r.upperBand)),
                                   std::move(bandUp), kFail);
    QPen pen = plot_->line(u)->pen();
    pen.setStyle(Qt::DashLine);
    plot_->line(u)->setPen(pen);
  }
  QPen bandPen = plot_->line(b)->pen();
  bandPen.setStyle(Qt::DashLine);
  plot_->line(b)->setPen(bandPen);
  const int lo = plot_->addSeries(u8("exp(μ − σ) логарифмов"), std::move(lower), kSpread);
  const int hi = plot_->addSeries(u8("exp(μ + σ) логарифмов"), std::move(upper), kSpread);
  for (int i : {lo, hi}) {
    QPen pen = plot_->line(i)->pen();
    pen.setStyle(Qt::DashDotLine);
    plot_->line(i)->setPen(pen);
  }
  plot_->emphasise(plot_->addSeries(u8("среднее"), std::move(mean), kMean));
  plot_->refresh();
}

void SuitesPage::showFreshness() {
  const bool fresh = selection_ && !stale() && !selectionTask_->busy();
  for (QPushButton* b : {saveSuite_, exportRecords_, report_, suiteToRecords_})
    b->setEnabled(fresh);
  if (!selection_) return;
  QString text = summary_->text();
  const QString mark = u8(" (устарело — пересчитайте)");
  if (text.endsWith(mark)) text.chop(mark.size());
  const bool old = stale();
  summary_->setText(old ? text + mark : text);
  verdict_->setStyleSheet(QStringLiteral("color: %1")
                              .arg(old                ? QStringLiteral("#808080")
                                   : selection_->pass ? kPass.name()
                                                      : kFail.name()));
}

bool SuitesPage::saveSuite(const QString& typed) {
  if (!selection_ || stale()) return false;
  const QString path = QFileInfo(typed).suffix().isEmpty() ? typed + QStringLiteral(".csv") : typed;
  try {
    replaceFile(QFile::encodeName(path).toStdString(), suites::suiteFileText(*selection_));
    return true;
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return false;
  }
}

bool SuitesPage::exportRecords(const QString& folder) {
  if (!selection_ || stale()) return false;
  try {
    const std::vector<suites::ScaledComponent> parts = suites::scaledComponents(*selection_);
    std::vector<std::string> texts;
    for (const auto& p : parts) texts.push_back(records::aksText(p.record));
    std::vector<std::pair<std::string, std::string_view>> files;
    const std::string dir = QFile::encodeName(folder).toStdString();
    for (std::size_t i = 0; i < parts.size(); ++i)
      files.emplace_back(dir + "/" + parts[i].fileName, texts[i]);
    std::size_t failed = 0;
    replaceFiles(files, failed);
    return true;
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return false;
  }
}

bool SuitesPage::writeReport(const QString& typed) {
  if (!selection_ || stale()) return false;
  const QString path = QFileInfo(typed).suffix().isEmpty() ? typed + QStringLiteral(".pdf") : typed;
  try {
    writeSuiteReport(QFile::encodeName(path).toStdString(), *selection_);
    return true;
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return false;
  }
}

bool SuitesPage::addRecords(std::vector<records::Record> records) {
  if (records.empty()) return false;
  const std::size_t first = session_.records().size();
  for (auto& r : records) session_.add(std::move(r));
  std::vector<std::size_t> added;
  for (std::size_t i = first; i < session_.records().size(); ++i) added.push_back(i);
  session_.select(added);
  return true;
}

bool SuitesPage::sendLibraryMotion(int row) {
  if (row < 0 || row >= filter_->rowCount()) return false;
  try {
    return addRecords(readMotion(filter_->motion(row)));
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return false;
  }
}

bool SuitesPage::sendSuiteMember(int row) {
  if (!selection_ || stale() || row < 0 || row >= static_cast<int>(selection_->members.size()))
    return false;
  try {
    suites::Selection one = *selection_;
    one.members = {selection_->members[static_cast<std::size_t>(row)]};
    std::vector<records::Record> records;
    for (auto& part : suites::scaledComponents(one)) {
      part.record.name = QFileInfo(qs(part.fileName)).completeBaseName().toStdString() + " ×" +
                         analysis::formatNumber(one.members.front().factor, 4);
      records.push_back(std::move(part.record));
    }
    return addRecords(std::move(records));
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return false;
  }
}

}  // namespace accelspec
