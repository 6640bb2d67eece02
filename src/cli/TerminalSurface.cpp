#include "cli/TerminalSurface.h"

#include <algorithm>

#include "common/JsonText.h"
#include "common/Timing.h"
#include "page/PageTexts.h"
#include "page/ReplugWatcher.h"
#include "platform/Clock.h"
#include "platform/Terminal.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

TerminalSurface::TerminalSurface(Options options) : options_(options) {}

void TerminalSurface::Print(const std::string& line) {
  std::lock_guard lock(mutex_);
  PrintLocked(line);
}

void TerminalSurface::PrintLocked(const std::string& line) {
  EndProgressLineLocked();
  std::fprintf(options_.out, "%s\n", line.c_str());
  std::fflush(options_.out);
}

void TerminalSurface::EndProgressLineLocked() {
  if (!progressLineOpen_) return;
  std::fputc('\n', options_.out);
  progressLineOpen_ = false;
}

void TerminalSurface::Step(const std::wstring& text) {
  std::lock_guard lock(mutex_);
  bool changed = step_ != text;
  step_ = text;
  // Each step is told once: one the wait caption has just shown is not repeated.
  if (changed && !text.empty() && !(waitOpen_ && text == waitCaption_) && !options_.quiet)
    PrintLocked(EscapeControls(WideToUtf8(text)));
}

void TerminalSurface::Enable(int, bool) {}
void TerminalSurface::Show(int, bool) {}
void TerminalSurface::Check(int, bool) {}

void TerminalSurface::ClearList(int id) {
  std::lock_guard lock(mutex_);
  lists_[id] = List{};
}

void TerminalSurface::AddListItem(int id, const std::wstring& text) {
  std::lock_guard lock(mutex_);
  lists_[id].items.push_back(text);
}

void TerminalSurface::SelectListItem(int id, int index) {
  std::lock_guard lock(mutex_);
  List& list = lists_[id];
  list.selected = index >= 0 && index < static_cast<int>(list.items.size()) ? index : -1;
}

int TerminalSurface::SelectedListItem(int id) {
  std::lock_guard lock(mutex_);
  return lists_[id].selected;
}

int TerminalSurface::ListCount(int id) {
  std::lock_guard lock(mutex_);
  return static_cast<int>(lists_[id].items.size());
}

std::wstring TerminalSurface::ListItem(int id, int index) {
  std::lock_guard lock(mutex_);
  const List& list = lists_[id];
  return index >= 0 && index < static_cast<int>(list.items.size()) ? list.items[index] : L"";
}

void TerminalSurface::BeginProgress(ProgressUnit unit, uint64_t total) {
  std::lock_guard lock(mutex_);
  PositionLocked(0);
  countsBytes_ = unit == ProgressUnit::kBytes;
  if (static_cast<int64_t>(total) != meter_.Total()) NewMeasurementLocked(static_cast<int64_t>(total));
}

void TerminalSurface::Progress(ProgressUnit unit, uint64_t done, uint64_t total) {
  std::lock_guard lock(mutex_);
  countsBytes_ = unit == ProgressUnit::kBytes;
  if (static_cast<int64_t>(total) != meter_.Total()) NewMeasurementLocked(static_cast<int64_t>(total));
  PositionLocked(static_cast<int64_t>(done));
}

void TerminalSurface::ClearProgress() {
  std::lock_guard lock(mutex_);
  PositionLocked(0);
}

void TerminalSurface::PositionLocked(int64_t position) {
  if (position < meter_.Done() || position == 0) {
    // A reset, or the next file: a new measurement, nothing to show yet.
    NewMeasurementLocked(meter_.Total());
    if (position == 0) return;
  }
  if (position == meter_.Done() && lastPrinted_ >= 0) return;  // nothing new
  meter_.Update(position, ProgressMeter::Clock::now());
  DrawProgressLocked();
}

void TerminalSurface::NewMeasurementLocked(int64_t total) {
  // Plain lines of an amount without a total end on the whole amount.
  if (!options_.interactiveOutput && !options_.quiet && Unsized() &&
      meter_.Done() > std::max<int64_t>(lastPrinted_, 0)) {
    lastPrinted_ = meter_.Done();
    std::fprintf(options_.out, "%s\n", meter_.Render(30, true).c_str());
  }
  EndProgressLineLocked();
  meter_.Start(total, ProgressMeter::Clock::now());
  lastPrinted_ = -1;
}

void TerminalSurface::DrawProgressLocked() {
  if ((meter_.Total() <= 0 && !Unsized()) || options_.quiet) return;
  if (options_.interactiveOutput) {
    std::fprintf(options_.out, "\r%s\x1b[K", meter_.Render(30, countsBytes_).c_str());
    progressLineOpen_ = true;
  } else {
    // Plain lines: one per tenth, or without a total each time the amount
    // has doubled.
    if (Unsized()) {
      if (lastPrinted_ > 0 && meter_.Done() < 2 * lastPrinted_) return;
      lastPrinted_ = meter_.Done();
    } else {
      int step = meter_.Percent() / 10 * 10;
      if (step == lastPrinted_) return;
      lastPrinted_ = step;
    }
    std::fprintf(options_.out, "%s\n", meter_.Render(30, countsBytes_).c_str());
  }
  std::fflush(options_.out);
}

MessageAnswer TerminalSurface::ShowMessage(const std::wstring& text, const std::wstring& caption,
                                           MessageButtons buttons) {
  std::unique_lock lock(mutex_);
  // Messages may carry the device's or the server's texts. An error says
  // "mzt: " as every other error of the command line does.
  const bool error = caption == strings::kErrorCaption || caption == strings::kSystemErrorCaption;
  std::string line = (error ? std::string("mzt: ") : "[" + EscapeControls(WideToUtf8(caption)) + "] ") +
                     EscapeControls(WideToUtf8(text), true);
  if (buttons == MessageButtons::kOk) {
    if (!options_.quiet || error) PrintLocked(line);
    return MessageAnswer::kOk;
  }
  if (options_.yesToAll) {
    if (!options_.quiet) PrintLocked(line + " (y/n) y");
    return MessageAnswer::kYes;
  }
  if (!options_.interactiveInput) {
    PrintLocked(line + " (y/n) n  " + Tr("[no terminal to ask]"));
    return MessageAnswer::kNo;
  }
  EndProgressLineLocked();
  const bool noByDefault = buttons == MessageButtons::kYesNoDefaultNo;
  for (;;) {
    std::fprintf(options_.out, "%s %s ", line.c_str(), noByDefault ? "(y/N)" : "(y/n)");
    std::fflush(options_.out);
    std::string answer;
    if (!ReadLine(answer)) {
      std::fputc('\n', options_.out);
      return MessageAnswer::kNo;
    }
    if (answer == "y" || answer == "Y" || answer == "yes") return MessageAnswer::kYes;
    if (answer.empty() && noByDefault) return MessageAnswer::kNo;
    if (answer == "n" || answer == "N" || answer == "no") return MessageAnswer::kNo;
  }
}

void TerminalSurface::OpenWaitDialog() {
  std::lock_guard lock(mutex_);
  if (waitOpen_) return;
  waitOpen_ = true;
  waitCaption_ = strings::kPleaseWait;
  if (!options_.quiet) PrintLocked(WideToUtf8(waitCaption_) + "...");
}

void TerminalSurface::CloseWaitDialog() {
  std::lock_guard lock(mutex_);
  waitOpen_ = false;
}

bool TerminalSurface::IsWaitDialogOpen() {
  std::lock_guard lock(mutex_);
  return waitOpen_;
}

void TerminalSurface::SetWaitCaption(const std::wstring& caption) {
  std::lock_guard lock(mutex_);
  if (!waitOpen_ || waitCaption_ == caption) return;
  waitCaption_ = caption;
  if (!options_.quiet) PrintLocked(EscapeControls(WideToUtf8(caption)) + "...");
}

std::wstring TerminalSurface::WaitCaption() {
  std::lock_guard lock(mutex_);
  return waitOpen_ ? waitCaption_ : std::wstring();
}

ReplugResult TerminalSurface::RunReplugDialog(const ReplugWatcher::Probes& probes) {
  auto stopped = [this] { return options_.stopRequested && options_.stopRequested(); };
  if (stopped()) {
    replugAbandoned_ = true;
    return ReplugResult::kNone;
  }
  ReplugWatcher watcher(probes, RealClock());
  const bool colour = options_.colour;
  auto onPrompt = [&](const ReplugPrompt& prompt) {
    std::string text = WideToUtf8(prompt.text);
    if (colour) text = (prompt.green ? "\x1b[32m" : "\x1b[31m") + text + "\x1b[0m";
    Print(text);
  };
  // At a terminal Ctrl-C means stop; without one nobody can replug forever.
  const int interruptsBefore = InterruptCount();
  inReplugPrompt_ = true;
  auto interrupted = [&] { return InterruptCount() > interruptsBefore || stopped(); };
  auto limit = options_.interactiveInput ? std::chrono::milliseconds(0)
                                         : Duration(Delay::kUnattendedReplugPhase);
  ReplugOutcome outcome = RunReplugWatcher(watcher, RealClock(), interrupted, onPrompt, limit);
  // Told before the prompt ends, for a watcher that looks later.
  if (outcome == ReplugOutcome::kCancelled) interruptsTaken_ = InterruptCount();
  inReplugPrompt_ = false;
  if (outcome == ReplugOutcome::kOk) return ReplugResult::kOk;
  replugAbandoned_ = true;
  Print(outcome == ReplugOutcome::kTimedOut ? Tr("The device was not replugged in time.") : Tr("Stopped."));
  return ReplugResult::kNone;
}

}  // namespace mzt
