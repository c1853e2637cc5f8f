// The status request of a console window: the single request, the start and
// stop of the cyclic poll (both from TeButton5), and the poll's step on the
// sequencing timer. Shared by both windows; each gives the number of status
// registers it reads and the controls that the poll changes.
//
// The window's own controls that depend on the poll (the model combo box and
// the calibration groups of the second-generation window, nothing in the
// first-generation one) are set by the pollControls callback. ApplySituation()
// derives TeButton5's caption, the "В ЦИКЛЕ" box and those controls from the
// sequencing state; StatusPolling calls it after every change it makes, and
// the window calls it after the changes made elsewhere (the bus search's start
// and end, see BusSearch::started and BusLink::transactionEnded).
#pragma once

#include <cstdint>
#include <functional>

#include <QObject>
#include <QString>

class QAbstractButton;

namespace telvar {

class BusLink;

inline const QString kStatusButtonCaption = QStringLiteral("&ЗАПРОС ПАРАМЕТРОВ");
// Once the caption has been replaced it never gets its accelerator back.
inline const QString kStatusButtonPlainCaption = QStringLiteral("ЗАПРОС ПАРАМЕТРОВ");
inline const QString kStatusButtonStopCaption = QStringLiteral("СТОП");

class StatusPolling : public QObject {
  Q_OBJECT
 public:
  // registerCount: 30 (second generation) or 12 (first generation).
  // button: TeButton5. cyclicBox: the "В ЦИКЛЕ" check box (A0_CBox,
  // TeCheckBox1). pollControls(polling) sets the window's other controls for
  // the poll running (true) or not (false); it may be empty.
  StatusPolling(BusLink& link, uint16_t registerCount, QAbstractButton* button, QAbstractButton* cyclicBox,
                std::function<void(bool polling)> pollControls = {}, QObject* parent = nullptr);

  // TeButton5 pressed: nothing during a bus search; stops a running poll;
  // starts the poll when "В ЦИКЛЕ" is ticked (the first request 20 ms later,
  // a parked click discarded); otherwise one status request through the
  // command gate.
  void TeButton5Click();

  // The step of sequencing state 255, called from Timer_ProgrammTimer after
  // it has stopped its timer: 500 ms from now on, echo guard, status request.
  void PollStep();

  // The caption of TeButton5, the "В ЦИКЛЕ" box and pollControls from the
  // sequencing state.
  void ApplySituation();
  // TeButton5 reads "ЗАПРОС ПАРАМЕТРОВ" (the bus search's start calls this
  // before it takes the sequencing state; call ApplySituation() after it).
  void SetButtonIdle();

  bool Polling() const;
  uint16_t RegisterCount() const { return registerCount_; }

 private:
  void SingleRequest();
  void StartPoll();
  void StopPoll();
  bool SendStatusRequest();

  BusLink& link_;
  uint16_t registerCount_;
  QAbstractButton* button_;
  QAbstractButton* cyclicBox_;
  std::function<void(bool)> pollControls_;
  bool captionPlain_ = false;
};

}  // namespace telvar
