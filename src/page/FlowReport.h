#pragma once
// What a flow tells its user, by meaning: the step it is at, how far a
// transfer or an export has come, a message or question, and how it ended.
//
// The terminal speaks it directly. The windows and the tests' recording fake
// see it through ControlSurfaceReport, on the page's controls: the status
// line 1143, the bar 1051 and the text 1144, message boxes.

#include <cstdint>
#include <string>

#include "page/ControlSurface.h"
#include "page/PageState.h"

namespace mzt {

enum class ProgressUnit {
  kBytes,  // a download or a transfer into the device; a total of 0 is unknown
  kItems,  // the POIs of an export
};

class IFlowReport {
 public:
  virtual ~IFlowReport() = default;

  // The step the flow is at, shown until the next one; empty clears it.
  virtual void Step(const std::wstring& text) = 0;
  // A new measurement of `total` in `unit`, nothing done yet.
  virtual void BeginProgress(ProgressUnit unit, uint64_t total) = 0;
  virtual void Progress(ProgressUnit unit, uint64_t done, uint64_t total) = 0;
  // Nothing measured: the progress shows empty.
  virtual void ClearProgress() = 0;
  // A message (kOk) or a question; blocks the caller until the user answers.
  virtual MessageAnswer Ask(const std::wstring& text, const std::wstring& caption,
                            MessageButtons buttons) = 0;
  // How the flow ended, and what failed that its messages did not say
  // (empty when nothing); kNone as a flow starts.
  virtual void Outcome(FlowOutcome outcome, const std::string& unsaid) = 0;
};

// The report on the specified controls of a window (or the recording fake).
class ControlSurfaceReport : public IFlowReport {
 public:
  explicit ControlSurfaceReport(IControlSurface& surface) : surface_(surface) {}

  void Step(const std::wstring& text) override;
  void BeginProgress(ProgressUnit unit, uint64_t total) override;
  void Progress(ProgressUnit unit, uint64_t done, uint64_t total) override;
  void ClearProgress() override;
  MessageAnswer Ask(const std::wstring& text, const std::wstring& caption,
                    MessageButtons buttons) override;
  // The window shows the outcome by the flow's own messages and texts.
  void Outcome(FlowOutcome, const std::string&) override {}

 private:
  IControlSurface& surface_;
};

}  // namespace mzt
