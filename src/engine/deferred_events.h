// Progress of work that runs ahead on another thread, held back until its
// turn comes and then handed to the caller's observer on the caller's thread.
#pragma once

#include <vector>

#include "state/observer.h"

namespace pelmora {

class DeferredEvents : public Observer {
 public:
  void pass_started(Pass pass) override { events_.push_back({Kind::kStarted, pass, 0}); }
  void pass_progress(Pass pass, int percent) override {
    events_.push_back({Kind::kProgress, pass, percent});
  }
  void pass_finished(Pass pass) override { events_.push_back({Kind::kFinished, pass, 0}); }

  void replay(Observer& observer) const {
    for (const Event& e : events_) {
      switch (e.kind) {
        case Kind::kStarted:
          observer.pass_started(e.pass);
          break;
        case Kind::kProgress:
          observer.pass_progress(e.pass, e.percent);
          break;
        case Kind::kFinished:
          observer.pass_finished(e.pass);
          break;
      }
    }
  }

 private:
  enum class Kind { kStarted, kProgress, kFinished };
  struct Event {
    Kind kind;
    Pass pass;
    int percent;
  };
  // A pass reports at most 101 percentages, so this stays small.
  std::vector<Event> events_;
};

}  // namespace pelmora
