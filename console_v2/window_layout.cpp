#include "console_v2/window_layout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include "console_v2/length_edit.h"
#include "console_v2/model_combo_box.h"
#include "link/frame.h"
#include "link/traffic_log.h"
#include "serial/connection_settings.h"
#include "widgets/bounded_spin_edit.h"
#include "widgets/keyboard_navigation.h"
#include "widgets/layout_helpers.h"
#include "widgets/output_pair.h"
#include "widgets/status_grid.h"
#include "widgets/window_frame.h"

namespace telvar::v2 {

namespace {

constexpr int kGroupWidth = 433;
constexpr int kGridWidth = 404;
constexpr int kGridHeight = 137;
constexpr int kMemoWidth = 404;
constexpr int kMemoHeight = 112;
constexpr int kProgressHeight = 16;
constexpr int kRowSpacing = 3;
constexpr int kPairButtonWidth = 15;
constexpr int kPairButtonHeight = 16;
constexpr int kPictureButtonSide = 30;
constexpr int kPictureSide = 16;
constexpr int kMaxCableLength = 2000;
constexpr double kMinResistance = 0.1;
constexpr double kMaxResistance = 1.0;
constexpr double kStartResistance = 0.62;
constexpr int kModelItemSpaces = 30;

QPushButton* Button(const char* name, const QString& text, QWidget* parent) {
  return Named(new QPushButton(text, parent), QString::fromLatin1(name));
}

void Tighten(QWidget* group) {
  if (QLayout* rows = group->layout()) telvar::Tighten(rows, kRowSpacing);
}

QLabel* Label(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

// Spin edits size to their longest text: 4 characters for metres, 5 for
// the resistance with its three decimals.
QSpinBox* CableLengthEdit(const QString& name, QWidget* parent) {
  auto* edit = Named(new LengthEdit(parent), name);
  edit->setRange(0, kMaxCableLength);
  edit->setSingleStep(1);
  edit->setValue(0);
  return edit;
}

QDoubleSpinBox* ResistanceEdit(const QString& name, QWidget* parent) {
  auto* edit = Named(new BoundedDoubleSpinEdit(parent), name);
  edit->setDecimals(3);
  edit->setRange(kMinResistance, kMaxResistance);
  edit->setSingleStep(0.001);
  edit->setValue(kStartResistance);
  return edit;
}

// A radio button that shows only its circle.
QRadioButton* PairButton(const QString& name, QWidget* parent) {
  auto* button = Named(new QRadioButton(parent), name);
  button->setFixedSize(kPairButtonWidth, kPairButtonHeight);
  return button;
}

void BuildCalibration(WindowControls& l, QWidget* parent) {
  l.TeGroupBox5 = Group("TeGroupBox5", QStringLiteral("  КАЛИБРОВКА  "), parent);
  auto* row = new QHBoxLayout(l.TeGroupBox5);
  l.TeButton6 = Button("TeButton6", QStringLiteral("ШС1"), l.TeGroupBox5);
  l.TeButton7 = Button("TeButton7", QStringLiteral("ШС2"), l.TeGroupBox5);
  l.TeButton8 = Button("TeButton8", QStringLiteral("ШС3"), l.TeGroupBox5);
  for (QPushButton* b : {l.TeButton6, l.TeButton7, l.TeButton8}) row->addWidget(b);
  l.TeGroupBox5->hide();
}

void BuildLengthAndResistance(WindowControls& l, QWidget* parent) {
  l.TeGroupBox7 = Group("TeGroupBox7", QStringLiteral("  КАЛИБРОВКА - ДЛИНА И ПОГОННОЕ СОПРОТИВЛЕНИЕ"), parent);
  auto* grid = new QGridLayout(l.TeGroupBox7);
  grid->setHorizontalSpacing(8);
  l.loopChoice = new QButtonGroup(l.TeGroupBox7);
  for (int loop = 0; loop < kLoopCount; ++loop) {
    l.loopButton[loop] = Named(new QRadioButton(QStringLiteral("   ШС%1").arg(loop + 1), l.TeGroupBox7),
                               QStringLiteral("A%1_Button").arg(loop));
    l.loopChoice->addButton(l.loopButton[loop], loop);
    l.cableLength[loop] = CableLengthEdit(QStringLiteral("SEdit%1").arg(loop + 4), l.TeGroupBox7);
    l.resistance[loop] = ResistanceEdit(QStringLiteral("SEdit%1").arg(loop + 1), l.TeGroupBox7);
    grid->addWidget(l.loopButton[loop], 0, loop);
    grid->addWidget(l.cableLength[loop], 1, loop);
    grid->addWidget(l.resistance[loop], 2, loop);
  }
  l.loopButton[0]->setChecked(true);
  l.TeButton9 = Button("TeButton9", QStringLiteral("ЗАПИСАТЬ"), l.TeGroupBox7);
  l.TeButton10 = Button("TeButton10", QStringLiteral("ЗАПИСАТЬ"), l.TeGroupBox7);
  grid->addWidget(Label(QStringLiteral("М"), l.TeGroupBox7), 1, 3);
  grid->addWidget(l.TeButton9, 1, 4);
  grid->addWidget(Label(QStringLiteral("ОМ/М"), l.TeGroupBox7), 2, 3);
  grid->addWidget(l.TeButton10, 2, 4);
}

void BuildModeFlags(WindowControls& l, QWidget* parent) {
  l.TeGroupBox3 = Group("TeGroupBox3", QStringLiteral("  РЕЖИМ РАБОТЫ   "), parent);
  auto* column = new QVBoxLayout(l.TeGroupBox3);
  column->setSpacing(2);
  l.B0_CBox = Named(new QCheckBox(QStringLiteral("ТЕРМОКОМПЕНСАЦИЯ"), l.TeGroupBox3), QStringLiteral("B0_CBox"));
  l.B1_CBox = Named(new QCheckBox(QStringLiteral("ФИКСАЦИЯ ДЛИНЫ Т.КАБЕЛЯ В ТРЕВОГЕ"), l.TeGroupBox3),
                    QStringLiteral("B1_CBox"));
  l.B2_CBox = Named(new QCheckBox(QStringLiteral("РАБОТА С ОРСАН-ПР"), l.TeGroupBox3), QStringLiteral("B2_CBox"));
  for (QCheckBox* box : {l.B0_CBox, l.B1_CBox, l.B2_CBox}) column->addWidget(box);
}

void BuildOutputLogic(WindowControls& l, QWidget* parent) {
  l.TeGroupBox6 =
      Group("TeGroupBox6", QStringLiteral("  ЛОГИКА РАБОТЫ ВЫХОДОВ \"НОРМА1..3\" В РЕЖИМЕ <ТРЕВОГА>  "), parent);
  auto* grid = new QGridLayout(l.TeGroupBox6);
  grid->setVerticalSpacing(2);
  grid->addWidget(Label(QStringLiteral("ЗАМКНУТО"), l.TeGroupBox6), 1, 0);
  grid->addWidget(Label(QStringLiteral("РАЗОМКНУТО"), l.TeGroupBox6), 2, 0);
  const char pairLetter[kLoopCount] = {'B', 'C', 'D'};
  for (int loop = 0; loop < kLoopCount; ++loop) {
    grid->addWidget(Label(QStringLiteral("НОРМА%1").arg(loop + 1), l.TeGroupBox6), 0, loop + 1, Qt::AlignHCenter);
    const QString letter{QLatin1Char(pairLetter[loop])};
    l.closedButton[loop] = PairButton(letter + QStringLiteral("0_Button"), l.TeGroupBox6);
    l.openButton[loop] = PairButton(letter + QStringLiteral("1_Button"), l.TeGroupBox6);
    l.outputPair[loop] = MakeOutputPair(l.closedButton[loop], l.openButton[loop], l.TeGroupBox6);
    grid->addWidget(l.closedButton[loop], 1, loop + 1, Qt::AlignHCenter);
    grid->addWidget(l.openButton[loop], 2, loop + 1, Qt::AlignHCenter);
  }
  grid->setColumnStretch(0, 1);
  for (int column = 1; column <= kLoopCount; ++column) grid->setColumnStretch(column, 1);
}

void BuildStatus(WindowControls& l, QWidget* parent) {
  l.TeGroupBox4 = Group("TeGroupBox4", QStringLiteral("  СТАТУС  "), parent);
  auto* grid = new QGridLayout(l.TeGroupBox4);
  l.A0_CBox = Named(new QCheckBox(QStringLiteral("В ЦИКЛЕ"), l.TeGroupBox4), QStringLiteral("A0_CBox"));
  l.A1_CBox = Named(new QCheckBox(QStringLiteral("СБРОС ЗВУКА ОБЩ."), l.TeGroupBox4), QStringLiteral("A1_CBox"));
  l.TeButton5 = Button("TeButton5", QStringLiteral("&ЗАПРОС ПАРАМЕТРОВ"), l.TeGroupBox4);
  l.TeButton5->setIcon(l.TeButton5->style()->standardIcon(QStyle::SP_BrowserReload));
  l.TeButton4 = Button("TeButton4", QString(), l.TeGroupBox4);
  l.TeButton4->setFixedSize(kPictureButtonSide, kPictureButtonSide);
  l.TeButton4->setIcon(l.TeButton4->style()->standardIcon(QStyle::SP_MediaVolumeMuted));
  l.TeButton4->setIconSize(QSize(kPictureSide, kPictureSide));
  l.TeButton3 = Button("TeButton3", QStringLiteral("СБРОС ТРЕВОГИ"), l.TeGroupBox4);
  grid->addWidget(l.A0_CBox, 0, 0);
  grid->addWidget(l.TeButton5, 0, 1, 1, 2);
  grid->addWidget(l.A1_CBox, 1, 0);
  grid->addWidget(l.TeButton4, 1, 1);
  grid->addWidget(l.TeButton3, 1, 2);
  grid->setColumnStretch(2, 1);
}

void BuildGridAndLog(WindowControls& l, QWidget* parent, QVBoxLayout* column) {
  // The grid with the model combo box over its first value cell.
  auto* gridHolder = new QWidget(parent);
  gridHolder->setFixedSize(kGridWidth, kGridHeight);
  l.StatusGrid = new telvar::StatusGrid(kStatusRows, gridHolder);
  l.StatusGrid->setGeometry(0, 0, kGridWidth, kGridHeight);
  l.TeSComboBox2 = Named(new ModelComboBox(gridHolder), QStringLiteral("TeSComboBox2"));
  const QString indent(kModelItemSpaces, QLatin1Char(' '));
  l.TeSComboBox2->addItems(
      {indent + QStringLiteral("ТЕЛВАР-1 "), indent + QStringLiteral("ТЕЛВАР-2"), indent + QStringLiteral("ТЕЛВАР-3")});
  l.TeSComboBox2->setCurrentIndex(-1);
  column->addWidget(gridHolder, 0, Qt::AlignHCenter);

  // The traffic log with the search progress over its lower part.
  const TrafficLogView log = BuildTrafficLogView(parent, kMemoWidth, kMaxAddress);
  l.TeMemo1 = log.TeMemo1;
  l.TeMemo1->setFixedHeight(kMemoHeight);
  l.TeProgressBar1 = log.TeProgressBar1;
  l.TeProgressBar1->setFixedHeight(kProgressHeight);
  column->addLayout(log.cell);
}

}  // namespace

StatusControls WindowControls::StatusTargets() const {
  StatusControls targets;
  targets.grid = StatusGrid;
  for (int loop = 0; loop < kLoopCount; ++loop) {
    targets.outputPairs[loop] = outputPair[loop];
    targets.linearResistance[loop] = resistance[loop];
    targets.cableLength[loop] = cableLength[loop];
  }
  targets.thermalCompensation = B0_CBox;
  targets.fixedCableLength = B1_CBox;
  targets.orsanPanel = B2_CBox;
  return targets;
}

SituationControls WindowControls::SituationTargets() const { return {TeGroupBox5, TeGroupBox7, TeSComboBox2}; }

WindowControls BuildWindowControls(QMainWindow* window) {
  WindowControls l;
  l.TeMenuBar1 = Named(window->menuBar(), QStringLiteral("TeMenuBar1"));
  l.scrollArea = new QScrollArea(window);
  l.scrollArea->setFrameShape(QFrame::NoFrame);
  l.scrollArea->setWidgetResizable(true);
  l.scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Only its controls take the focus; it scrolls to the one that has it.
  l.scrollArea->setFocusPolicy(Qt::NoFocus);
  window->setCentralWidget(l.scrollArea);

  l.TeGroupBox1 = Group("TeGroupBox1", QString(), l.scrollArea);
  l.TeGroupBox1->setMinimumWidth(kGroupWidth);
  l.column = new QVBoxLayout(l.TeGroupBox1);
  l.column->setSpacing(4);
  l.column->setContentsMargins(kColumnMargins);
  l.scrollArea->setWidget(l.TeGroupBox1);

  BuildCalibration(l, l.TeGroupBox1);
  BuildLengthAndResistance(l, l.TeGroupBox1);
  BuildModeFlags(l, l.TeGroupBox1);
  BuildOutputLogic(l, l.TeGroupBox1);
  BuildStatus(l, l.TeGroupBox1);
  for (QWidget* group : {static_cast<QWidget*>(l.TeGroupBox5), static_cast<QWidget*>(l.TeGroupBox7),
                         static_cast<QWidget*>(l.TeGroupBox3), static_cast<QWidget*>(l.TeGroupBox6),
                         static_cast<QWidget*>(l.TeGroupBox4)}) {
    l.column->addWidget(group);
  }
  BuildGridAndLog(l, l.TeGroupBox1, l.column);
  l.column->addStretch(1);
  for (QGroupBox* group : l.TeGroupBox1->findChildren<QGroupBox*>()) Tighten(group);
  return l;
}

void PlaceConnectionGroup(const WindowControls& controls, QWidget* group) { controls.column->insertWidget(0, group); }

void PlaceModelComboBox(const WindowControls& controls) {
  const QModelIndex cell = controls.StatusGrid->model()->index(0, 1);
  QRect rect = controls.StatusGrid->visualRect(cell);
  rect.translate(controls.StatusGrid->viewport()->pos() + controls.StatusGrid->pos());
  controls.TeSComboBox2->setGeometry(rect);
  controls.TeSComboBox2->raise();
}

void SetKeyboardWalk(const WindowControls& c, const ConnectionSettings& connection) {
  QList<QWidget*> order{connection.TeSComboBox1,
                        connection.TeSpinEdit1,
                        connection.TeButton1,
                        connection.TeSpinEdit2,
                        c.TeButton6,
                        c.TeButton7,
                        c.TeButton8};
  for (QRadioButton* button : c.loopButton) order << button;
  for (QSpinBox* edit : c.cableLength) order << edit;
  order << c.TeButton9;
  for (QDoubleSpinBox* edit : c.resistance) order << edit;
  order << c.TeButton10 << c.B0_CBox << c.B1_CBox << c.B2_CBox;
  for (QRadioButton* button : c.closedButton) order << button;
  for (QRadioButton* button : c.openButton) order << button;
  order << c.A0_CBox << c.TeButton5 << c.A1_CBox << c.TeButton4 << c.TeButton3;
  // The model list lies over the first row of the grid, right of its label.
  order << c.StatusGrid << c.TeSComboBox2 << c.TeMemo1;
  SetTabChain(c.TeMenuBar1, order);
  PressButtonsOnReturn(c.TeMenuBar1->window());
}

}  // namespace telvar::v2
