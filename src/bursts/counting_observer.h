// An observer that counts the simultaneous photons a source of many records
// moves apart, instead of passing on a warning for each (a measurement can
// hold thousands), and passes everything else on.
#pragma once

#include "state/observer.h"

namespace pelmora {

class CountingObserver final : public Observer {
 public:
  explicit CountingObserver(Observer& inner) : inner_(inner) {}

  void pass_started(Pass pass) override { inner_.pass_started(pass); }
  void pass_progress(Pass pass, int percent) override { inner_.pass_progress(pass, percent); }
  void pass_finished(Pass pass) override { inner_.pass_finished(pass); }
  void run_started(const RunTicket& ticket) override { inner_.run_started(ticket); }
  void run_finished(const RunTicket& ticket, const CoefficientRun& run) override {
    inner_.run_finished(ticket, run);
  }
  void warning(const Warning& warning) override {
    if (warning.kind == WarningKind::kSimultaneousPhotons) {
      ++simultaneous_photons_;
    } else {
      inner_.warning(warning);
    }
  }
  bool keep_going() override { return inner_.keep_going(); }

  int simultaneous_photons() const { return simultaneous_photons_; }

 private:
  Observer& inner_;
  int simultaneous_photons_ = 0;
};

}  // namespace pelmora
