#pragma once
// The terminal: the flows' report spoken directly (steps as lines, a
// progress bar in bytes or items, messages printed with their caption,
// questions asked or answered by --yes, or No without a terminal), and the
// control surface the page keeps its lists on, with the wait captions as
// lines and the replug prompt. The results are read from the page's state,
// not from its texts.

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "cli/ProgressMeter.h"
#include "page/ControlSurface.h"
#include "page/FlowReport.h"

namespace mzt {

class TerminalSurface : public IControlSurface, public IFlowReport {
 public:
  struct Options {
    bool yesToAll = false;
    bool interactiveInput = false;   // questions may be asked
    bool interactiveOutput = false;  // redraw one progress line
    bool colour = false;
    bool quiet = false;  // errors, questions and the replug prompt only
    std::FILE* out = stderr;
    // The user stopped the flow: the replug prompt ends at once.
    std::function<bool()> stopRequested;
  };

  explicit TerminalSurface(Options options);

  void SetText(int, const std::wstring&) override {}
  std::wstring GetText(int) override { return {}; }
  void Enable(int id, bool enabled) override;
  void Show(int id, bool shown) override;
  void Check(int id, bool checked) override;
  void ClearList(int id) override;
  void AddListItem(int id, const std::wstring& text) override;
  void SelectListItem(int id, int index) override;
  int SelectedListItem(int id) override;
  int ListCount(int id) override;
  std::wstring ListItem(int id, int index) override;
  // The bar is the report's: nothing to infer from the controls.
  void SetProgressRange(int, int, int) override {}
  void SetProgressPosition(int, int) override {}
  MessageAnswer ShowMessage(const std::wstring& text, const std::wstring& caption,
                            MessageButtons buttons) override;
  void OpenWaitDialog() override;
  void CloseWaitDialog() override;
  bool IsWaitDialogOpen() override;
  void SetWaitCaption(const std::wstring& caption) override;
  std::wstring WaitCaption() override;
  ReplugResult RunReplugDialog(const ReplugWatcher::Probes& probes) override;
  void EnableCloseCommand(bool) override {}

  // IFlowReport
  void Step(const std::wstring& text) override;
  void BeginProgress(ProgressUnit unit, uint64_t total) override;
  void Progress(ProgressUnit unit, uint64_t done, uint64_t total) override;
  void ClearProgress() override;
  MessageAnswer Ask(const std::wstring& text, const std::wstring& caption,
                    MessageButtons buttons) override {
    return ShowMessage(text, caption, buttons);
  }
  void Outcome(FlowOutcome outcome, const std::string& unsaid) override {
    unsaid_ = unsaid;
    outcome_ = outcome;
  }
  // How the last flow ended, and what failed that it did not say (read once
  // its workers are joined).
  FlowOutcome LastOutcome() const { return outcome_; }
  const std::string& Unsaid() const { return unsaid_; }

  // Questions reach a user who can answer them.
  bool AsksQuestions() const { return options_.interactiveInput; }
  // The user stopped the replug prompt with Ctrl-C, or nobody replugged in time.
  bool ReplugAbandoned() const { return replugAbandoned_; }
  // The replug prompt takes (or took) the `count`-th Ctrl-C as its own stop.
  bool TakesInterrupt(int count) const { return inReplugPrompt_ || count <= interruptsTaken_; }
  // Prints a line of the program's own (not a system text).
  void Print(const std::string& line);

 private:
  struct List {
    std::vector<std::wstring> items;
    int selected = -1;
  };
  void PrintLocked(const std::string& line);
  void EndProgressLineLocked();
  void DrawProgressLocked();
  // Ends the progress of one transfer (its last plain line) and starts the next.
  void NewMeasurementLocked(int64_t total);
  // `done` of the measurement: a lower amount, or none, starts a new one.
  void PositionLocked(int64_t done);
  // Bytes of a download without a Content-Length.
  bool Unsized() const { return countsBytes_ && meter_.Total() <= 0; }

  Options options_;
  std::mutex mutex_;
  std::map<int, List> lists_;
  bool waitOpen_ = false;
  std::wstring waitCaption_;
  ProgressMeter meter_;
  bool progressLineOpen_ = false;
  // The last plain line's tenth, or its amount when there is no total.
  int64_t lastPrinted_ = -1;
  bool countsBytes_ = false;
  std::wstring step_;
  std::atomic<FlowOutcome> outcome_{FlowOutcome::kNone};
  std::string unsaid_;
  std::atomic<bool> replugAbandoned_{false};
  std::atomic<bool> inReplugPrompt_{false};
  std::atomic<int> interruptsTaken_{0};
};

}  // namespace mzt
