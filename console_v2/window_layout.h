// The controls of the telvar_v210 window, built and laid out in screen
// order inside TeGroupBox1. The connection group TeGroupBox2 belongs to the
// connection settings and is placed on top by PlaceConnectionGroup(); the
// menus are added to TeMenuBar1 by their owners.
#pragma once

#include <array>

#include "console_v2/situation.h"
#include "console_v2/status_decoder.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
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
class QSpinBox;
class QVBoxLayout;
class QWidget;

namespace telvar {
class ConnectionSettings;
class StatusGrid;
}  // namespace telvar

namespace telvar::v2 {

inline const QString kWindowCaption = QStringLiteral("ТЕЛВАР - V2 (ID=0x13,14,15)  (MODBUS-RTU)   V2.1 - 2017");

struct WindowControls {
  QMenuBar* TeMenuBar1 = nullptr;
  QScrollArea* scrollArea = nullptr;  // the window's central widget
  QGroupBox* TeGroupBox1 = nullptr;
  QVBoxLayout* column = nullptr;

  QGroupBox* TeGroupBox5 = nullptr;  // calibration, hidden
  QPushButton* TeButton6 = nullptr;
  QPushButton* TeButton7 = nullptr;
  QPushButton* TeButton8 = nullptr;

  QGroupBox* TeGroupBox7 = nullptr;                      // length and linear resistance
  std::array<QRadioButton*, kLoopCount> loopButton{};    // A0_Button .. A2_Button
  QButtonGroup* loopChoice = nullptr;                    // ids 0..2
  std::array<QSpinBox*, kLoopCount> cableLength{};       // SEdit4 .. SEdit6
  std::array<QDoubleSpinBox*, kLoopCount> resistance{};  // SEdit1 .. SEdit3
  QPushButton* TeButton9 = nullptr;
  QPushButton* TeButton10 = nullptr;

  QGroupBox* TeGroupBox3 = nullptr;  // mode flags
  QCheckBox* B0_CBox = nullptr;
  QCheckBox* B1_CBox = nullptr;
  QCheckBox* B2_CBox = nullptr;

  QGroupBox* TeGroupBox6 = nullptr;                      // output logic in alarm
  std::array<QRadioButton*, kLoopCount> closedButton{};  // B0_Button, C0_Button, D0_Button
  std::array<QRadioButton*, kLoopCount> openButton{};    // B1_Button, C1_Button, D1_Button
  std::array<QButtonGroup*, kLoopCount> outputPair{};    // ids 0 closed, 1 open

  QGroupBox* TeGroupBox4 = nullptr;  // status
  QCheckBox* A0_CBox = nullptr;
  QCheckBox* A1_CBox = nullptr;
  QPushButton* TeButton5 = nullptr;
  QPushButton* TeButton4 = nullptr;
  QPushButton* TeButton3 = nullptr;

  telvar::StatusGrid* StatusGrid = nullptr;
  QComboBox* TeSComboBox2 = nullptr;
  QPlainTextEdit* TeMemo1 = nullptr;
  QProgressBar* TeProgressBar1 = nullptr;

  // The controls the status decoder writes (selectModelItem is the window's).
  StatusControls StatusTargets() const;
  SituationControls SituationTargets() const;
};

// Builds every control of the window but the connection group.
WindowControls BuildWindowControls(QMainWindow* window);

// Puts the connection group at the top of TeGroupBox1.
void PlaceConnectionGroup(const WindowControls& controls, QWidget* group);

// Puts TeSComboBox2 over the grid's first value cell (after the grid has its
// column widths).
void PlaceModelComboBox(const WindowControls& controls);

// Tab goes from the menu bar through every control once, top to bottom and
// left to right, the connection group's first; Return presses the focused
// button.
void SetKeyboardWalk(const WindowControls& controls, const telvar::ConnectionSettings& connection);

}  // namespace telvar::v2
