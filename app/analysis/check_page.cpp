// SPDX-License-Identifier: MIT
#include "app/analysis/check_page.hpp"

#include <QColor>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <thread>
#include <vector>

#include "analysis/number_text.hpp"
#include "app/analysis/analysis_session.hpp"
#include "app/analysis/background_task.hpp"
#include "app/analysis/plot.hpp"
#include "app/check_report.hpp"
#include "app/error_box.hpp"
#include "app/qt_text.hpp"
#include "data/error.hpp"
#include "matching/match_to_rule.hpp"

namespace accelspec {

namespace {

QString u8(const char* s) { return QString::fromUtf8(s); }

// A number as the user typed it, a comma taken for the point.
double numberOf(const QString& text, const char* field) {
  QString t = text.trimmed();
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  double v = 0;
  if (t.isEmpty() || !analysis::parseNumber(t.toStdString(), v))
    throw AppError(std::string(field) + ": ожидается число, например 0.05");
  return v;
}

std::optional<double> optionalNumber(const QString& text, const char* field) {
  if (text.trimmed().isEmpty()) return std::nullopt;
  return numberOf(text, field);
}

QTableWidgetItem* cell(const QString& text, QColor color = {}) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  if (color.isValid()) item->setForeground(color);
  return item;
}

const QColor kPass(0x1b, 0x7f, 0x2a), kFail(0xc0, 0x1c, 0x1c), kInfo(0x50, 0x50, 0x50);

// T1 sets the range of ec8 and may set that of asce7; srp and rb006 have their own ranges.
bool takesT1(check::Rule rule) { return rule == check::Rule::Ec8 || rule == check::Rule::Asce7; }

QString num(double v, int digits = 4) { return qs(analysis::formatNumber(v, digits)); }

}  // namespace

// ---------------------------------------------------------------------------------------------

RuleChoice::RuleChoice(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("RuleChoice"));
}

std::string RuleChoice::targetText() const {
  switch (source) {
    case Source::File:
      return file.toStdString();
    case Source::MainTable:
      return {};
    case Source::Ec8: {
      double v = numberOf(ag, "ag");
      if (!(v > 0)) throw AppError("ag: ожидается число больше нуля");
      if (agInG) v *= records::kStandardGravity;
      return "ec8:" + std::to_string(ec8Type) + ":" + std::string(1, ground.toLatin1()) + ":" +
             analysis::shortestText(v);
    }
    case Source::Rg160: {
      const double v = numberOf(pga, "PGA");
      if (!(v > 0)) throw AppError("PGA: ожидается число больше нуля");
      return "rg160:" + analysis::shortestText(v);
    }
  }
  return {};
}

check::Target RuleChoice::target(const AnalysisSession& session) const {
  if (source == Source::MainTable) {
    if (!session.link().spectrumTable) throw AppError("таблица спектра главного окна недоступна");
    const SpectrumTable t = session.link().spectrumTable();
    return check::tableTarget(t.frequencies, t.amplitudes, "спектр главного окна");
  }
  if (source == Source::File && file.trimmed().isEmpty())
    throw AppError("не выбран файл целевого спектра *.spv");
  // The parser's messages name no command-line option, so the window shows them as they are.
  return check::parseTarget(targetText());
}

check::RuleParameters RuleChoice::parameters(const check::Target& target) const {
  check::RuleParameters p;
  p.rule = rule;
  p.damping = numberOf(damping, "Затухание");
  p.quantity = sa ? analysis::Quantity::Sa : analysis::Quantity::Psa;
  if (takesT1(rule)) p.t1 = optionalNumber(t1, "T1");
  if (rule == check::Rule::Asce7) {
    p.tmin = optionalNumber(tmin, "Tmin");
    p.tmax = optionalNumber(tmax, "Tmax");
    if (const auto r = optionalNumber(minRatio, "Наименьшее отношение")) p.minRatio = *r;
  }
  matching::validateRuleParameters(p, target);
  return p;
}

QString RuleChoice::summary() const {
  QString t;
  switch (source) {
    case Source::File:
      t = file.isEmpty() ? u8("файл *.spv не выбран") : QFileInfo(file).fileName();
      break;
    case Source::MainTable:
      t = u8("спектр главного окна");
      break;
    case Source::Ec8:
      t = u8("ec8, тип %1, грунт %2, ag %3 %4")
              .arg(ec8Type)
              .arg(ground)
              .arg(ag, agInG ? u8("g") : u8("м/с²"));
      break;
    case Source::Rg160:
      t = u8("rg160, PGA %1 g").arg(pga);
      break;
  }
  QString r = u8("правило %1, затухание %2, %3")
                  .arg(QString::fromLatin1(check::ruleName(rule)), damping,
                       sa ? QStringLiteral("SA") : QStringLiteral("PSA"));
  if (takesT1(rule) && !t1.trimmed().isEmpty()) r += u8(", T1 %1 с").arg(t1);
  if (rule == check::Rule::Asce7 && !tmin.trimmed().isEmpty()) r += u8(", Tmin %1 с").arg(tmin);
  if (rule == check::Rule::Asce7 && !tmax.trimmed().isEmpty()) r += u8(", Tmax %1 с").arg(tmax);
  return u8("Цель: ") + t + u8("; ") + r;
}

QString RuleChoice::fingerprint(const AnalysisSession& session) const {
  QStringList parts = {QString::number(static_cast<int>(source)),
                       file,
                       QString::number(ec8Type),
                       QString(ground),
                       ag,
                       QString::number(agInG),
                       pga,
                       QString::number(static_cast<int>(rule)),
                       damping,
                       QString::number(sa),
                       t1,
                       tmin,
                       tmax,
                       minRatio};
  if (source == Source::MainTable && session.link().spectrumTable) {
    const SpectrumTable t = session.link().spectrumTable();
    for (std::size_t j = 0; j < t.frequencies.size() && j < t.amplitudes.size(); ++j)
      parts << QString::number(t.frequencies[j], 'g', 17) + QLatin1Char(':') +
                   QString::number(t.amplitudes[j], 'g', 17);
  }
  return parts.join(QChar(0x1f));
}

void RuleChoice::save(AnalysisSession& session) const {
  QSettings& s = session.settings();
  s.beginGroup(QStringLiteral("check"));
  s.setValue(QStringLiteral("source"), static_cast<int>(source));
  s.setValue(QStringLiteral("file"), file);
  s.setValue(QStringLiteral("ec8Type"), ec8Type);
  s.setValue(QStringLiteral("ground"), QString(ground));
  s.setValue(QStringLiteral("ag"), ag);
  s.setValue(QStringLiteral("agInG"), agInG);
  s.setValue(QStringLiteral("pga"), pga);
  s.setValue(QStringLiteral("rule"), static_cast<int>(rule));
  s.setValue(QStringLiteral("damping"), damping);
  s.setValue(QStringLiteral("sa"), sa);
  s.setValue(QStringLiteral("t1"), t1);
  s.setValue(QStringLiteral("tmin"), tmin);
  s.setValue(QStringLiteral("tmax"), tmax);
  s.setValue(QStringLiteral("minRatio"), minRatio);
  s.endGroup();
}

void RuleChoice::load(AnalysisSession& session) {
  QSettings& s = session.settings();
  s.beginGroup(QStringLiteral("check"));
  // A value out of range (a hand-edited file) leaves the default.
  const int src = s.value(QStringLiteral("source"), static_cast<int>(source)).toInt();
  if (src >= 0 && src <= 3) source = static_cast<Source>(src);
  file = s.value(QStringLiteral("file"), file).toString();
  const int type = s.value(QStringLiteral("ec8Type"), ec8Type).toInt();
  if (type == 1 || type == 2) ec8Type = type;
  const QString g = s.value(QStringLiteral("ground"), QString(ground)).toString();
  if (g.size() == 1 && g[0] >= QLatin1Char('A') && g[0] <= QLatin1Char('E')) ground = g[0];
  ag = s.value(QStringLiteral("ag"), ag).toString();
  agInG = s.value(QStringLiteral("agInG"), agInG).toBool();
  pga = s.value(QStringLiteral("pga"), pga).toString();
  const int r = s.value(QStringLiteral("rule"), static_cast<int>(rule)).toInt();
  if (r >= 0 && r <= 3) rule = static_cast<check::Rule>(r);
  damping = s.value(QStringLiteral("damping"), damping).toString();
  sa = s.value(QStringLiteral("sa"), sa).toBool();
  t1 = s.value(QStringLiteral("t1"), t1).toString();
  tmin = s.value(QStringLiteral("tmin"), tmin).toString();
  tmax = s.value(QStringLiteral("tmax"), tmax).toString();
  minRatio = s.value(QStringLiteral("minRatio"), minRatio).toString();
  s.endGroup();
}

RuleChoice& ruleChoice(AnalysisSession& session) {
  if (auto* c =
          session.findChild<RuleChoice*>(QStringLiteral("RuleChoice"), Qt::FindDirectChildrenOnly))
    return *c;
  auto* c = new RuleChoice(&session);
  c->load(session);
  return *c;
}

// ---------------------------------------------------------------------------------------------

CheckPage::CheckPage(AnalysisSession& session, QWidget* parent)
    : QWidget(parent), session_(session), choice_(ruleChoice(session)) {
  setObjectName(QStringLiteral("CheckPage"));
  task_ = new BackgroundTask(this);

  auto* side = new QWidget(this);
  buildControls(side);

  buildVerdict();
  QTabWidget* plots = buildPlots();
  QTabWidget* tables = buildTables();
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(plots);
  split->addWidget(tables);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);

  auto* right = new QVBoxLayout;
  auto* head = new QHBoxLayout;
  auto* verdictColumn = new QVBoxLayout;
  verdictColumn->addWidget(verdict_);
  verdictColumn->addWidget(stale_);
  head->addLayout(verdictColumn);
  head->addWidget(summary_, 1);
  right->addLayout(head);
  right->addWidget(split, 1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(side);
  layout->addLayout(right, 1);

  fromChoice();
  connect(&choice_, &RuleChoice::changed, this, [this] {
    if (!loading_) fromChoice();
    showFreshness();
  });
  connect(&session_, &AnalysisSession::recordsChanged, this, &CheckPage::showFreshness);
  connect(&session_, &AnalysisSession::selectionChanged, this, &CheckPage::showFreshness);
}

// The verdict, large, with the summary and the stale mark beside it.
void CheckPage::buildVerdict() {
  verdict_ = new QLabel(this);
  verdict_->setObjectName(QStringLiteral("LabelVerdict"));
  QFont big = verdict_->font();
  big.setPointSize(26);
  big.setBold(true);
  verdict_->setFont(big);
  verdict_->setText(u8("—"));
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("LabelCheckSummary"));
  summary_->setWordWrap(true);
  summary_->setText(u8("Выберите записи на странице «Записи», цель и правило, затем «Проверить»."));
  stale_ = new QLabel(u8("устарело — пересчитайте"), this);
  stale_->setObjectName(QStringLiteral("LabelCheckStale"));
  stale_->setStyleSheet(QStringLiteral("color: #808080; font-style: italic"));
  stale_->setVisible(false);
}

// The ratio and spectra plots in tabs, with the choice of frequency or period along x.
QTabWidget* CheckPage::buildPlots() {
  ratios_ = new Plot(this);
  ratios_->setObjectName(QStringLiteral("PlotRatio"));
  spectra_ = new Plot(this);
  spectra_->setObjectName(QStringLiteral("PlotCheckSpectra"));
  for (Plot* p : {ratios_, spectra_})
    p->setExportFolder([this] { return session_.lastFolder(); },
                       [this](const QString& f) { session_.setLastFolder(f); });
  auto* plots = new QTabWidget(this);
  plots->setObjectName(QStringLiteral("CheckPlots"));
  plots->addTab(ratios_, u8("Отношение к цели"));
  plots->addTab(spectra_, u8("Спектры"));
  axis_ = axisChoice(QStringLiteral("ComboCheckAxis"), plots);
  axis_->setCurrentIndex(session_.settings().value(QStringLiteral("check/byPeriod")).toBool());
  plots->setCornerWidget(axis_->parentWidget());
  connect(axis_, &QComboBox::currentIndexChanged, this, [this](int index) {
    session_.settings().setValue(QStringLiteral("check/byPeriod"), index == 1);
    if (result_) drawPlots(*result_);
  });
  return plots;
}

// The rule's items and the points outside its bands, in tabs.
QTabWidget* CheckPage::buildTables() {
  items_ = new QTableWidget(0, 4, this);
  items_->setObjectName(QStringLiteral("TableVerdicts"));
  items_->setHorizontalHeaderLabels(
      {u8("Требование"), u8("Запись"), u8("Подробности"), u8("Итог")});
  failing_ = new QTableWidget(0, 4, this);
  failing_->setObjectName(QStringLiteral("TableFailing"));
  failing_->setHorizontalHeaderLabels(
      {u8("Частота, Гц"), u8("Период, с"), u8("Запись"), u8("Отношение")});
  for (QTableWidget* t : {items_, failing_}) {
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
  }
  // The details are the long column: they take what is left and are cut short (whole in the
  // tool tip), so that the verdict column stays in view at any width.
  items_->horizontalHeader()->setStretchLastSection(false);
  items_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  items_->setWordWrap(false);
  auto* tables = new QTabWidget(this);
  tables->addTab(items_, u8("Требования правила"));
  tables->addTab(failing_, u8("Точки вне границ"));
  return tables;
}

QString CheckPage::inputsKey() const {
  QString key = choice_.fingerprint(session_);
  for (std::size_t i : session_.selection())
    key += QLatin1Char('|') + QString::number(session_.at(i).id);
  return key;
}

bool CheckPage::stale() const { return result_ && inputsKey() != resultKey_; }

void CheckPage::showFreshness() {
  if (!result_) return;
  const bool old = stale();
  stale_->setVisible(old);
  report_->setEnabled(!old && !task_->busy());
  const QColor colour = old ? QColor(0x80, 0x80, 0x80) : (result_->pass ? kPass : kFail);
  verdict_->setStyleSheet(QStringLiteral("color: %1").arg(colour.name()));
  summary_->setStyleSheet(old ? QStringLiteral("color: #808080") : QString());
}

void CheckPage::showEvent(QShowEvent* event) {
  // The main window's table may have changed while another page was in front.
  showFreshness();
  QWidget::showEvent(event);
}

// The target file's field and its «Обзор…».
QWidget* CheckPage::buildFilePage() {
  auto* filePage = new QWidget;
  file_ = new QLineEdit(filePage);
  file_->setObjectName(QStringLiteral("EditTargetFile"));
  auto* browse = new QPushButton(u8("Обзор…"), filePage);
  browse->setObjectName(QStringLiteral("ButtonBrowseTarget"));
  auto* fileRow = new QHBoxLayout(filePage);
  fileRow->setContentsMargins(0, 0, 0, 0);
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getOpenFileName(this, u8("Целевой спектр"), session_.lastFolder(),
                                     u8("Спектры воздействия (*.spv);;Все файлы (*)"));
    if (path.isEmpty()) return;
    session_.setLastFolder(QFileInfo(path).absolutePath());
    file_->setText(path);
    toChoice();
  });
  return filePage;
}

// The design spectrum of ec8: its type, ground and ag with its unit.
QWidget* CheckPage::buildEc8Page() {
  auto* ec8Page = new QWidget;
  ec8Type_ = new QComboBox(ec8Page);
  ec8Type_->setObjectName(QStringLiteral("ComboEc8Type"));
  ec8Type_->addItems({QStringLiteral("1"), QStringLiteral("2")});
  ground_ = new QComboBox(ec8Page);
  ground_->setObjectName(QStringLiteral("ComboGround"));
  ground_->addItems({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                     QStringLiteral("D"), QStringLiteral("E")});
  ag_ = new QLineEdit(ec8Page);
  ag_->setObjectName(QStringLiteral("EditAg"));
  agUnit_ = new QComboBox(ec8Page);
  agUnit_->setObjectName(QStringLiteral("ComboAgUnit"));
  agUnit_->addItems({u8("g"), u8("м/с²")});
  auto* agRow = new QHBoxLayout;
  agRow->addWidget(ag_, 1);
  agRow->addWidget(agUnit_);
  auto* ec8Form = new QFormLayout(ec8Page);
  ec8Form->setContentsMargins(0, 0, 0, 0);
  ec8Form->addRow(u8("Тип спектра"), ec8Type_);
  ec8Form->addRow(u8("Грунт"), ground_);
  ec8Form->addRow(u8("ag"), agRow);
  return ec8Page;
}

// The target: where it comes from, and that source's fields.
QGroupBox* CheckPage::buildTargetBox(QWidget* parent) {
  auto* targetBox = new QGroupBox(u8("Целевой спектр"), parent);
  source_ = new QComboBox(targetBox);
  source_->setObjectName(QStringLiteral("ComboTarget"));
  source_->addItems({u8("Файл *.spv"), u8("Спектр главного окна"), u8("ec8 (нормативный)"),
                     u8("rg160 (нормативный)")});
  sourcePages_ = new QStackedWidget(targetBox);

  QWidget* filePage = buildFilePage();

  auto* mainPage = new QLabel(u8("Таблица спектра, которую главное окно показывает сейчас."));
  mainPage->setWordWrap(true);

  QWidget* ec8Page = buildEc8Page();

  auto* rgPage = new QWidget;
  pga_ = new QLineEdit(rgPage);
  pga_->setObjectName(QStringLiteral("EditPga"));
  auto* rgForm = new QFormLayout(rgPage);
  rgForm->setContentsMargins(0, 0, 0, 0);
  rgForm->addRow(u8("PGA, g"), pga_);

  sourcePages_->addWidget(filePage);
  sourcePages_->addWidget(mainPage);
  sourcePages_->addWidget(ec8Page);
  sourcePages_->addWidget(rgPage);
  auto* targetLayout = new QVBoxLayout(targetBox);
  targetLayout->addWidget(source_);
  targetLayout->addWidget(sourcePages_);
  return targetBox;
}

// The rule and its parameters; the fields a rule does not take are hidden (showRuleFields).
QGroupBox* CheckPage::buildRuleBox(QWidget* parent) {
  auto* ruleBox = new QGroupBox(u8("Правило"), parent);
  rule_ = new QComboBox(ruleBox);
  rule_->setObjectName(QStringLiteral("ComboRule"));
  rule_->addItems({QStringLiteral("srp"), QStringLiteral("ec8"), QStringLiteral("asce7"),
                   QStringLiteral("rb006")});
  damping_ = new QLineEdit(ruleBox);
  damping_->setObjectName(QStringLiteral("EditDamping"));
  quantity_ = new QComboBox(ruleBox);
  quantity_->setObjectName(QStringLiteral("ComboQuantity"));
  quantity_->addItems({u8("PSA (псевдоускорение)"), u8("SA (абсолютное ускорение)")});
  t1_ = new QLineEdit(ruleBox);
  t1_->setObjectName(QStringLiteral("EditT1"));
  tmin_ = new QLineEdit(ruleBox);
  tmin_->setObjectName(QStringLiteral("EditTmin"));
  tmax_ = new QLineEdit(ruleBox);
  tmax_->setObjectName(QStringLiteral("EditTmax"));
  minRatio_ = new QLineEdit(ruleBox);
  minRatio_->setObjectName(QStringLiteral("EditMinRatio"));
  t1Label_ = new QLabel(u8("T1, с"), ruleBox);
  tminLabel_ = new QLabel(u8("Tmin, с"), ruleBox);
  tmaxLabel_ = new QLabel(u8("Tmax, с"), ruleBox);
  minRatioLabel_ = new QLabel(u8("Наименьшее отношение"), ruleBox);
  auto* ruleForm = new QFormLayout(ruleBox);
  ruleForm->addRow(u8("Правило"), rule_);
  ruleForm->addRow(u8("Затухание"), damping_);
  ruleForm->addRow(u8("Величина"), quantity_);
  ruleForm->addRow(t1Label_, t1_);
  ruleForm->addRow(tminLabel_, tmin_);
  ruleForm->addRow(tmaxLabel_, tmax_);
  ruleForm->addRow(minRatioLabel_, minRatio_);
  return ruleBox;
}

void CheckPage::buildControls(QWidget* side) {
  side->setMaximumWidth(330);
  QGroupBox* targetBox = buildTargetBox(side);
  QGroupBox* ruleBox = buildRuleBox(side);

  check_ = new QPushButton(u8("Проверить"), side);
  check_->setObjectName(QStringLiteral("ButtonCheck"));
  report_ = new QPushButton(u8("Отчёт PDF…"), side);
  report_->setObjectName(QStringLiteral("ButtonCheckReport"));
  report_->setEnabled(false);
  auto* progress = new TaskProgress(*task_, side);

  auto* layout = new QVBoxLayout(side);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(targetBox);
  layout->addWidget(ruleBox);
  layout->addWidget(check_);
  layout->addWidget(progress);
  layout->addWidget(report_);
  layout->addStretch(1);

  for (QComboBox* c : {source_, ec8Type_, ground_, agUnit_, rule_, quantity_})
    connect(c, &QComboBox::currentIndexChanged, this, [this] { toChoice(); });
  for (QLineEdit* e : {file_, ag_, pga_, damping_, t1_, tmin_, tmax_, minRatio_})
    connect(e, &QLineEdit::textEdited, this, [this] { toChoice(); });
  connect(check_, &QPushButton::clicked, this, &CheckPage::runCheck);
  connect(report_, &QPushButton::clicked, this, &CheckPage::reportClicked);
  connect(task_, &BackgroundTask::started, this, [this] {
    check_->setEnabled(false);
    report_->setEnabled(false);
  });
  connect(task_, &BackgroundTask::finished, this, [this] {
    check_->setEnabled(true);
    showFreshness();
  });
}

void CheckPage::fromChoice() {
  loading_ = true;
  source_->setCurrentIndex(static_cast<int>(choice_.source));
  sourcePages_->setCurrentIndex(static_cast<int>(choice_.source));
  file_->setText(choice_.file);
  ec8Type_->setCurrentIndex(choice_.ec8Type - 1);
  ground_->setCurrentIndex(choice_.ground.toLatin1() - 'A');
  ag_->setText(choice_.ag);
  agUnit_->setCurrentIndex(choice_.agInG ? 0 : 1);
  pga_->setText(choice_.pga);
  rule_->setCurrentIndex(static_cast<int>(choice_.rule));
  damping_->setText(choice_.damping);
  quantity_->setCurrentIndex(choice_.sa ? 1 : 0);
  t1_->setText(choice_.t1);
  tmin_->setText(choice_.tmin);
  tmax_->setText(choice_.tmax);
  minRatio_->setText(choice_.minRatio);
  showRuleFields();
  loading_ = false;
}

void CheckPage::toChoice() {
  if (loading_) return;
  choice_.source = static_cast<RuleChoice::Source>(source_->currentIndex());
  sourcePages_->setCurrentIndex(source_->currentIndex());
  choice_.file = file_->text();
  choice_.ec8Type = ec8Type_->currentIndex() + 1;
  choice_.ground = QLatin1Char(static_cast<char>('A' + ground_->currentIndex()));
  choice_.ag = ag_->text();
  choice_.agInG = agUnit_->currentIndex() == 0;
  choice_.pga = pga_->text();
  choice_.rule = static_cast<check::Rule>(rule_->currentIndex());
  choice_.damping = damping_->text();
  choice_.sa = quantity_->currentIndex() == 1;
  choice_.t1 = t1_->text();
  choice_.tmin = tmin_->text();
  choice_.tmax = tmax_->text();
  choice_.minRatio = minRatio_->text();
  showRuleFields();
  choice_.save(session_);
  loading_ = true;
  choice_.touch();
  loading_ = false;
}

void CheckPage::showRuleFields() {
  const bool t1 = takesT1(choice_.rule);
  const bool asce7 = choice_.rule == check::Rule::Asce7;
  for (QWidget* w : {static_cast<QWidget*>(t1_), static_cast<QWidget*>(t1Label_)})
    w->setVisible(t1);
  for (QWidget* w : {static_cast<QWidget*>(tmin_), static_cast<QWidget*>(tminLabel_),
                     static_cast<QWidget*>(tmax_), static_cast<QWidget*>(tmaxLabel_),
                     static_cast<QWidget*>(minRatio_), static_cast<QWidget*>(minRatioLabel_)})
    w->setVisible(asce7);
}

void CheckPage::runCheck() {
  check::Target target;
  check::RuleParameters parameters;
  std::vector<records::Record> records;
  try {
    target = choice_.target(session_);
    parameters = choice_.parameters(target);
    for (std::size_t i : session_.selection()) records.push_back(session_.at(i).record);
    if (records.empty())
      throw AppError("не выбрано ни одной записи: выберите записи на странице «Записи»");
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return;
  }
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  task_->start<check::CheckResult>(
      [target, parameters, records = std::move(records), threads](const TaskControl& c) {
        c.report(0, u8("спектры записей"));
        return check::checkRecords(target, parameters, records, threads);
      },
      [this, key = inputsKey()](check::CheckResult& r) {
        result_ = std::move(r);
        resultKey_ = key;
        show(*result_);
      });
}

void CheckPage::show(const check::CheckResult& r) {
  verdict_->setText(r.pass ? u8("ПРОХОДИТ") : u8("НЕ ПРОХОДИТ"));
  showFreshness();
  const auto& lo = r.points[r.lowest.point];
  const auto& hi = r.points[r.highest.point];
  summary_->setText(
      u8("%1; правило %2; записей: %3. Отношение от %4 (%5 Гц) до %6 (%7 Гц).")
          .arg(qs(r.targetText), QString::fromLatin1(check::ruleName(r.parameters.rule)))
          .arg(r.recordNames.size())
          .arg(num(r.lowest.ratio), num(lo.frequency), num(r.highest.ratio), num(hi.frequency)));

  drawPlots(r);
  const bool each = r.parameters.rule == check::Rule::Srp;

  items_->setRowCount(0);
  for (const auto& v : r.verdicts) {
    const int row = items_->rowCount();
    items_->insertRow(row);
    items_->setItem(row, 0, cell(qs(v.item)));
    items_->setItem(row, 1, cell(qs(v.record)));
    items_->setItem(row, 2, cell(qs(v.detail)));
    items_->item(row, 2)->setToolTip(qs(v.detail));
    items_->setItem(row, 3,
                    v.information ? cell(u8("сведения"), kInfo)
                                  : cell(v.pass ? u8("да") : u8("нет"), v.pass ? kPass : kFail));
  }

  failing_->setRowCount(0);
  const auto outside = [&r](double ratio) {
    return ratio < r.lowerBand || (r.upperBand > 0 && ratio > r.upperBand);
  };
  for (const auto& p : r.points) {
    if (!p.judged) continue;
    if (each) {
      for (std::size_t k = 0; k < p.recordRatios.size(); ++k)
        if (outside(p.recordRatios[k])) {
          const int row = failing_->rowCount();
          failing_->insertRow(row);
          failing_->setItem(row, 0, cell(num(p.frequency)));
          failing_->setItem(row, 1, cell(num(p.period)));
          failing_->setItem(row, 2, cell(qs(r.recordNames[k])));
          failing_->setItem(row, 3, cell(num(p.recordRatios[k]), kFail));
        }
    } else if (outside(p.ratio)) {
      const int row = failing_->rowCount();
      failing_->insertRow(row);
      failing_->setItem(row, 0, cell(num(p.frequency)));
      failing_->setItem(row, 1, cell(num(p.period)));
      failing_->setItem(row, 2, cell(u8("среднее")));
      failing_->setItem(row, 3, cell(num(p.ratio), kFail));
    }
  }
}

// The plots of `r` along the frequency or the period, as the axis choice says.
void CheckPage::drawPlots(const check::CheckResult& r) {
  const bool byPeriod = axis_->currentIndex() == 1;
  const auto x = [byPeriod](const check::CheckPoint& p) {
    return byPeriod ? p.period : p.frequency;
  };
  const QString xTitle = byPeriod ? u8("Период, с") : u8("Частота, Гц");
  // Ratios: each record's under srp, which judges them one by one; the mean under the others.
  const bool each = r.parameters.rule == check::Rule::Srp;
  ratios_->clear();
  ratios_->setAxes(xTitle, true, u8("Отношение к цели"), false);
  if (each) {
    for (std::size_t k = 0; k < r.recordNames.size(); ++k) {
      std::vector<QPointF> pts;
      for (const auto& p : r.points) pts.emplace_back(x(p), p.recordRatios[k]);
      ratios_->addSeries(qs(r.recordNames[k]), std::move(pts));
    }
  } else {
    std::vector<QPointF> pts;
    for (const auto& p : r.points) pts.emplace_back(x(p), p.ratio);
    ratios_->addSeries(u8("среднее"), std::move(pts), QColor(0x1f, 0x4e, 0xa0));
  }
  ratios_->addBand(r.lowerBand, u8("нижняя граница %1").arg(num(r.lowerBand)), kFail);
  if (r.upperBand > 0)
    ratios_->addBand(r.upperBand, u8("верхняя граница %1").arg(num(r.upperBand)), kFail);
  // The judged range as two vertical guides.
  double f0 = 0, f1 = 0, y1 = r.upperBand > 0 ? r.upperBand : 1.0;
  for (const auto& p : r.points)
    if (p.judged) {
      if (f0 == 0) f0 = x(p);
      f1 = x(p);
    }
  for (const auto& p : r.points)
    y1 = std::max(y1,
                  each ? *std::max_element(p.recordRatios.begin(), p.recordRatios.end()) : p.ratio);
  if (f0 > 0)
    for (double f : {f0, f1})
      ratios_->addGuide({QPointF(f, 0), QPointF(f, y1 * 1.05)}, QColor(0x80, 0x80, 0x80),
                        (byPeriod ? u8("%1 с") : u8("%1 Гц")).arg(num(f)));
  ratios_->refresh();

  spectra_->clear();
  spectra_->setAxes(xTitle, true, u8("Ускорение, м/с²"), true);
  std::vector<QPointF> target, mean;
  for (const auto& p : r.points) {
    target.emplace_back(x(p), p.target);
    mean.emplace_back(x(p), p.computed);
  }
  spectra_->addSeries(u8("цель"), std::move(target), QColor(Qt::black));
  if (r.recordNames.size() > 1)
    for (std::size_t k = 0; k < r.recordNames.size(); ++k) {
      std::vector<QPointF> pts;
      for (std::size_t j = 0; j < r.points.size(); ++j)
        pts.emplace_back(x(r.points[j]), r.spectra[k][j]);
      spectra_->addSeries(qs(r.recordNames[k]), std::move(pts));
    }
  const int meanIndex =
      spectra_->addSeries(r.recordNames.size() > 1 ? u8("среднее") : qs(r.recordNames.front()),
                          std::move(mean), QColor(0x1f, 0x4e, 0xa0));
  if (r.recordNames.size() > 1) spectra_->emphasise(meanIndex);
  spectra_->refresh();
}

bool CheckPage::writeReport(const QString& typed) {
  // A report documents the check as the page's inputs stand, never an earlier one.
  if (!result_ || stale()) return false;
  // A name typed without its extension gets it.
  const QString path = QFileInfo(typed).suffix().isEmpty() ? typed + QStringLiteral(".pdf") : typed;
  try {
    writeCheckReport(QFile::encodeName(path).toStdString(), *result_);
    return true;
  } catch (...) {
    showErrorBox(this, userMessage(std::current_exception()));
    return false;
  }
}

void CheckPage::reportClicked() {
  showFreshness();
  if (!result_ || stale()) return;
  const QString path = QFileDialog::getSaveFileName(
      this, u8("Отчёт о проверке"), session_.lastFolder(), u8("Документ PDF (*.pdf)"));
  if (path.isEmpty()) return;
  session_.setLastFolder(QFileInfo(path).absolutePath());
  writeReport(path);
}

}  // namespace accelspec
