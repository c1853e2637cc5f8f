// The controls of the telvar_105 window that belong to this console, with
// their names, captions, limits and defaults, and how the whole window is
// laid out. The connection group (TeGroupBox2) comes from ConnectionSettings
// and is placed here.
#pragma once

#include "widgets/window_frame.h"

class QButtonGroup;
class QCheckBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QMainWindow;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QWidget;

namespace telvar {
class ConnectionSettings;
class StatusGrid;
}  // namespace telvar

namespace telvar::v1 {

inline constexpr char kWindowCaption[] = "ТЕЛВАР (MODBUS-RTU)   V1.05_2014";
constexpr int kClientWidth = 434;
constexpr int kClientHeight = 589;

struct WindowControls {
  QMenuBar* TeMenuBar1;
  QScrollArea* content;  // scrolls TeGroupBox1 on a small screen
  QGroupBox* TeGroupBox1;

  // "ПОГОННОЕ СОПРОТИВЛЕНИЕ"
  QGroupBox* TeGroupBox3;
  QRadioButton* A0_Button;
  QRadioButton* A1_Button;
  QDoubleSpinBox* TeSpinEdit3;
  QLabel* TeLabel8;
  QPushButton* TeButton2;

  // Output logic in alarm: one radio group per loop.
  QGroupBox* TeGroupBox6;
  QRadioButton* B0_Button;
  QRadioButton* B1_Button;
  QRadioButton* C0_Button;
  QRadioButton* C1_Button;
  QButtonGroup* loop1Group;
  QButtonGroup* loop2Group;

  // "СТАТУС"
  QGroupBox* TeGroupBox4;
  QCheckBox* TeCheckBox1;
  QPushButton* TeButton5;
  QPushButton* TeButton3;

  telvar::StatusGrid* StatusGrid;
  QPlainTextEdit* TeMemo1;
  QProgressBar* TeProgressBar1;
  TrafficLogView log;  // the two above in their cell
};

// Creates the controls as children of the window (TeGroupBox1 inside a
// scroll area that becomes the central widget, the menu bar installed).
WindowControls BuildWindowControls(QMainWindow* window);

// Places everything in screen order, the connection group first, and gives
// the window its fixed size: the client area of 434 x 589 pixels, or more
// when the fonts need it.
void LayOutWindow(QMainWindow* window, WindowControls& controls, QGroupBox* connectionGroup);

// Tab goes from the menu bar through every control once, top to bottom and
// left to right, the connection group's first; Return presses the focused
// button.
void SetKeyboardWalk(const WindowControls& controls, const telvar::ConnectionSettings& connection);

}  // namespace telvar::v1
