// The status board's and the journal's side of the supervisor's events,
// behind one consumer of the hub, so that a reload can replace either while
// the watchdogs report.
#pragma once

#include <shared_mutex>

#include "supervision/event_hub.h"

class StatusBoard;

class OptionConsumers final : public EventConsumer {
  public:
    // Either may be null (off). Not owned; a replaced one may be stopped and
    // released as soon as the call returns.
    void SetStatus(StatusBoard* board);
    void SetJournal(EventConsumer* journal);

    void OnAppEvent(const AppIdentity& app, const WatchdogEvent& event, int64_t timeMs) override;
    void OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) override;

  private:
    std::shared_mutex mutex_;
    StatusBoard* board_ = nullptr;
    EventConsumer* journal_ = nullptr;
};
