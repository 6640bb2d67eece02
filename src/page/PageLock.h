#pragma once
// The page held by one run of a flow, as a scoped lock. The action makes it
// as it starts, which greys the page's controls; once the run has the device
// it engages the lock (the sheet busy, the close command greyed) and its
// workers share it. The run ends in one place: at its End, or when the last
// holder lets go on a path that did not end it, the port is closed, the idle
// controls come back, the end's message is said and the outcome recorded.

#include <atomic>
#include <string>

#include "page/PageState.h"

namespace mzt {

class CUploadDBDlg;

// How a run of a flow ends.
struct FlowEnd {
  FlowOutcome outcome = FlowOutcome::kNone;  // kNone: the outcome stays as it was
  std::wstring message{};  // said once the controls are idle again; nothing when empty
  const wchar_t* caption = nullptr;  // the error caption when null
  bool clearDisplay = true;  // the progress and the step cleared
  bool keepBusy = false;     // a query and a clearing leave the sheet busy
};

class PageLock {
 public:
  explicit PageLock(CUploadDBDlg& page);
  ~PageLock() { End(FlowEnd{}); }
  PageLock(const PageLock&) = delete;
  PageLock& operator=(const PageLock&) = delete;

  void Engage();
  // Ends the run now; a later End, the last holder's too, does nothing. A
  // new run of the same flow (after a replug) starts only after this one's end.
  void End(const FlowEnd& end);

 private:
  CUploadDBDlg& page_;
  std::atomic<bool> ended_{false};
};

}  // namespace mzt
