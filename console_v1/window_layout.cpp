#include "console_v1/window_layout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "console_v1/status_decoder.h"
#include "link/frame.h"
#include "polling/status_polling.h"
#include "serial/connection_settings.h"
#include "widgets/bounded_spin_edit.h"
#include "widgets/keyboard_navigation.h"
#include "widgets/layout_helpers.h"
#include "widgets/output_pair.h"
#include "widgets/status_grid.h"
#include "widgets/window_frame.h"

namespace telvar::v1 {

namespace {

constexpr int kGroupBox1Width = 433;
constexpr int kGroupBox1Height = 545;
constexpr int kGridWidth = 404;
constexpr int kGridHeight = 118;
constexpr int kMemoWidth = 404;
constexpr int kMemoMinimumHeight = 80;
constexpr int kLogicButtonWidth = 15;
constexpr int kLogicButtonHeight = 16;
constexpr int kSpinEdit3Characters = 5;
// Dense groups: the log below gets the height they leave.
constexpr int kRowSpacing = 4;

QLabel* Label(const char* name, const QString& text, QWidget* parent) { return Named(new QLabel(text, parent), name); }

// Only the button itself shows; the row and column labels say what it means.
QRadioButton* LogicButton(const char* name, QWidget* parent) {
  auto* button = Named(new QRadioButton(parent), name);
  button->setFixedSize(kLogicButtonWidth, kLogicButtonHeight);
  return button;
}

QDoubleSpinBox* ResistanceSpinEdit(QWidget* parent) {
  auto* spin = Named(new BoundedDoubleSpinEdit(parent), "TeSpinEdit3");
  spin->setDecimals(3);
  spin->setRange(0.095, 1.0);
  spin->setSingleStep(0.001);  // Page Up / Page Down step ten times that: 0.01
  spin->setValue(0.620);
  spin->findChild<QLineEdit*>()->setMaxLength(kSpinEdit3Characters);
  return spin;
}

void LayOutResistanceGroup(WindowControls& c) {
  auto* row = new QHBoxLayout(c.TeGroupBox3);
  Tighten(row, kRowSpacing);
  row->addWidget(c.A0_Button);
  row->addWidget(c.A1_Button);
  row->addStretch(1);
  row->addWidget(c.TeSpinEdit3);
  row->addWidget(c.TeLabel8);
  row->addSpacing(8);
  row->addWidget(c.TeButton2);
}

void LayOutLogicGroup(WindowControls& c) {
  QWidget* box = c.TeGroupBox6;
  auto* grid = new QGridLayout(box);
  Tighten(grid, kRowSpacing);
  grid->setVerticalSpacing(1);
  grid->addWidget(Label("TeLabel9", QStringLiteral("ШС1"), box), 0, 1, Qt::AlignHCenter);
  grid->addWidget(Label("TeLabel10", QStringLiteral("ШС2"), box), 0, 2, Qt::AlignHCenter);
  grid->addWidget(Label("TeLabel11", QStringLiteral("ЗАМКНУТО"), box), 1, 0);
  grid->addWidget(Label("TeLabel12", QStringLiteral("РАЗОМКНУТО"), box), 2, 0);
  grid->addWidget(c.B0_Button, 1, 1, Qt::AlignHCenter);
  grid->addWidget(c.B1_Button, 2, 1, Qt::AlignHCenter);
  grid->addWidget(c.C0_Button, 1, 2, Qt::AlignHCenter);
  grid->addWidget(c.C1_Button, 2, 2, Qt::AlignHCenter);
  grid->setColumnMinimumWidth(1, 48);
  grid->setColumnMinimumWidth(2, 48);
  grid->setColumnStretch(3, 1);
}

void LayOutStatusGroup(WindowControls& c) {
  auto* row = new QHBoxLayout(c.TeGroupBox4);
  Tighten(row, kRowSpacing);
  row->addWidget(c.TeCheckBox1);
  row->addWidget(c.TeButton5, 1);
  row->addSpacing(8);
  row->addWidget(c.TeButton3);
}

}  // namespace

WindowControls BuildWindowControls(QMainWindow* window) {
  WindowControls c{};
  window->setObjectName(QStringLiteral("TForm1"));
  window->setWindowTitle(QString::fromUtf8(kWindowCaption));
  window->setFont(WindowFont());

  c.TeMenuBar1 = Named(new QMenuBar(window), "TeMenuBar1");
  window->setMenuBar(c.TeMenuBar1);
  c.content = Named(new QScrollArea(window), "TeScrollBox");
  c.content->setFrameShape(QFrame::NoFrame);
  c.content->setWidgetResizable(true);
  c.content->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Only its controls take the focus; it scrolls to the one that has it.
  c.content->setFocusPolicy(Qt::NoFocus);
  window->setCentralWidget(c.content);
  c.TeGroupBox1 = Group("TeGroupBox1", QString(), c.content);
  c.content->setWidget(c.TeGroupBox1);
  QWidget* inside = c.TeGroupBox1;

  c.TeGroupBox3 = Group("TeGroupBox3", QStringLiteral("  ПОГОННОЕ СОПРОТИВЛЕНИЕ  "), inside);
  c.A0_Button = Named(new QRadioButton(QStringLiteral("   ШС1"), c.TeGroupBox3), "A0_Button");
  c.A1_Button = Named(new QRadioButton(QStringLiteral("   ШС2"), c.TeGroupBox3), "A1_Button");
  c.A0_Button->setChecked(true);
  c.TeSpinEdit3 = ResistanceSpinEdit(c.TeGroupBox3);
  c.TeLabel8 = Label("TeLabel8", QStringLiteral("ОМ/М"), c.TeGroupBox3);
  c.TeButton2 = Named(new QPushButton(QStringLiteral("ЗАПИСАТЬ"), c.TeGroupBox3), "TeButton2");

  c.TeGroupBox6 =
      Group("TeGroupBox6", QStringLiteral("  ЛОГИКА РАБОТЫ ВЫХОДОВ \"ПЦН-НОРМА\" В РЕЖИМЕ <ТРЕВОГА>  "), inside);
  c.B0_Button = LogicButton("B0_Button", c.TeGroupBox6);
  c.B1_Button = LogicButton("B1_Button", c.TeGroupBox6);
  c.C0_Button = LogicButton("C0_Button", c.TeGroupBox6);
  c.C1_Button = LogicButton("C1_Button", c.TeGroupBox6);
  c.loop1Group = MakeOutputPair(c.B0_Button, c.B1_Button, window);
  c.loop2Group = MakeOutputPair(c.C0_Button, c.C1_Button, window);

  c.TeGroupBox4 = Group("TeGroupBox4", QStringLiteral("  СТАТУС  "), inside);
  c.TeCheckBox1 = Named(new QCheckBox(QStringLiteral("В ЦИКЛЕ"), c.TeGroupBox4), "TeCheckBox1");
  c.TeButton5 = Named(new QPushButton(kStatusButtonCaption, c.TeGroupBox4), "TeButton5");
  c.TeButton5->setIcon(window->style()->standardIcon(QStyle::SP_BrowserReload));
  c.TeButton3 = Named(new QPushButton(QStringLiteral("СБРОС ТРЕВОГИ"), c.TeGroupBox4), "TeButton3");

  c.StatusGrid = new StatusGrid(kStatusRows, inside);
  c.StatusGrid->setFixedSize(kGridWidth, kGridHeight);

  c.log = BuildTrafficLogView(inside, kMemoWidth, kMaxAddress);
  c.TeMemo1 = c.log.TeMemo1;
  c.TeProgressBar1 = c.log.TeProgressBar1;
  // The log takes whatever height the groups above leave.
  c.TeMemo1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
  c.TeMemo1->setMinimumHeight(kMemoMinimumHeight);
  return c;
}

void LayOutWindow(QMainWindow* window, WindowControls& c, QGroupBox* connectionGroup) {
  LayOutResistanceGroup(c);
  LayOutLogicGroup(c);
  LayOutStatusGroup(c);

  auto* column = new QVBoxLayout(c.TeGroupBox1);
  column->setContentsMargins(kColumnMargins);
  column->setSpacing(4);
  connectionGroup->setParent(c.TeGroupBox1);
  column->addWidget(connectionGroup);
  column->addWidget(c.TeGroupBox3);
  column->addWidget(c.TeGroupBox6);
  column->addWidget(c.TeGroupBox4);
  column->addWidget(c.StatusGrid, 0, Qt::AlignHCenter);
  // The progress bar lies over the lower part of the log.
  column->addLayout(c.log.cell, 1);

  c.TeGroupBox1->setMinimumSize(kGroupBox1Width, kGroupBox1Height);
  // Fixed border: the client area of the form, or what larger fonts need.
  const QSize inner = c.TeGroupBox1->sizeHint().expandedTo(c.TeGroupBox1->minimumSize());
  const int menuHeight = c.TeMenuBar1->sizeHint().height();
  const int statusHeight = window->statusBar()->sizeHint().height();
  const QSize client(std::max(kClientWidth, inner.width() + 1),
                     std::max(kClientHeight, menuHeight + inner.height() + statusHeight));
  window->setFixedSize(client);
}

void SetKeyboardWalk(const WindowControls& c, const ConnectionSettings& connection) {
  SetTabChain(c.TeMenuBar1,
              {connection.TeSComboBox1, connection.TeSpinEdit1, connection.TeButton1, connection.TeSpinEdit2,
               c.A0_Button, c.A1_Button, c.TeSpinEdit3, c.TeButton2, c.B0_Button, c.C0_Button, c.B1_Button, c.C1_Button,
               c.TeCheckBox1, c.TeButton5, c.TeButton3, c.StatusGrid, c.TeMemo1});
  PressButtonsOnReturn(c.TeMenuBar1->window());
}

}  // namespace telvar::v1
