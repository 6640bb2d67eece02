#include "support/RecordingSurface.h"

#include <sstream>
#include <thread>

#include "platform/Clock.h"
#include "platform/TextCodec.h"

namespace mzt::test {

std::string SurfaceEvent::Describe() const {
  static const char* const kNames[] = {
      "SetText",     "Enable",         "Show",           "Check",          "ClearList",
      "AddListItem", "SelectListItem", "SetProgressRange", "SetProgressPosition",
      "ShowMessage", "OpenWaitDialog", "CloseWaitDialog", "SetWaitCaption", "RunReplugDialog",
      "EnableCloseCommand"};
  std::ostringstream line;
  line << kNames[static_cast<int>(call)];
  if (id != 0) line << ' ' << id;
  if (!caption.empty()) line << " [" << WideToUtf8(caption) << ']';
  if (!text.empty()) line << " \"" << WideToUtf8(text) << '"';
  if (call == SurfaceCall::kSetProgressRange) line << ' ' << low << "..";
  line << ' ' << value;
  return line.str();
}

void RecordingSurface::Record(SurfaceEvent event) {
  events_.push_back(std::move(event));
}

void RecordingSurface::SetText(int id, const std::wstring& text) {
  std::lock_guard lock(mutex_);
  At(id).text = text;
  Record({.call = SurfaceCall::kSetText, .id = id, .text = text});
}

std::wstring RecordingSurface::GetText(int id) {
  std::lock_guard lock(mutex_);
  return At(id).text;
}

void RecordingSurface::Enable(int id, bool enabled) {
  std::lock_guard lock(mutex_);
  At(id).enabled = enabled;
  Record({.call = SurfaceCall::kEnable, .id = id, .value = enabled});
}

void RecordingSurface::Show(int id, bool shown) {
  std::lock_guard lock(mutex_);
  At(id).shown = shown;
  Record({.call = SurfaceCall::kShow, .id = id, .value = shown});
}

void RecordingSurface::Check(int id, bool checked) {
  std::lock_guard lock(mutex_);
  At(id).checked = checked;
  Record({.call = SurfaceCall::kCheck, .id = id, .value = checked});
}

void RecordingSurface::ClearList(int id) {
  std::lock_guard lock(mutex_);
  At(id).items.clear();
  At(id).selection = -1;
  Record({.call = SurfaceCall::kClearList, .id = id});
}

void RecordingSurface::AddListItem(int id, const std::wstring& text) {
  std::lock_guard lock(mutex_);
  At(id).items.push_back(text);
  Record({.call = SurfaceCall::kAddListItem, .id = id, .text = text});
}

void RecordingSurface::SelectListItem(int id, int index) {
  std::lock_guard lock(mutex_);
  ControlState& list = At(id);
  // Like a drop-down list: an index outside the list selects nothing.
  list.selection = index >= 0 && index < static_cast<int>(list.items.size()) ? index : -1;
  Record({.call = SurfaceCall::kSelectListItem, .id = id, .value = index});
}

int RecordingSurface::SelectedListItem(int id) {
  std::lock_guard lock(mutex_);
  return At(id).selection;
}

int RecordingSurface::ListCount(int id) {
  std::lock_guard lock(mutex_);
  return static_cast<int>(At(id).items.size());
}

std::wstring RecordingSurface::ListItem(int id, int index) {
  std::lock_guard lock(mutex_);
  const auto& items = At(id).items;
  return index >= 0 && index < static_cast<int>(items.size()) ? items[index] : std::wstring();
}

void RecordingSurface::SetProgressRange(int id, int low, int high) {
  std::lock_guard lock(mutex_);
  At(id).rangeLow = low;
  At(id).rangeHigh = high;
  Record({.call = SurfaceCall::kSetProgressRange, .id = id, .value = high, .low = low});
}

void RecordingSurface::SetProgressPosition(int id, int position) {
  std::lock_guard lock(mutex_);
  At(id).position = position;
  Record({.call = SurfaceCall::kSetProgressPosition, .id = id, .value = position});
}

void RecordingSurface::RecordDialog(SurfaceEvent event, std::unique_lock<std::mutex>& lock) {
  Record(event);
  std::function<void(const SurfaceEvent&)> observer = dialogObserver_;
  lock.unlock();
  if (observer) observer(event);
}

MessageAnswer RecordingSurface::ShowMessage(const std::wstring& text, const std::wstring& caption,
                                            MessageButtons buttons) {
  std::unique_lock lock(mutex_);
  MessageAnswer answer = buttons != MessageButtons::kOk ? defaultYesNo_ : defaultOk_;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  messages_.push_back({text, caption, buttons, answer});
  RecordDialog({.call = SurfaceCall::kShowMessage, .text = text, .caption = caption,
                .value = static_cast<int>(answer)},
               lock);
  return answer;
}

void RecordingSurface::OpenWaitDialog() {
  std::lock_guard lock(mutex_);
  // A new dialog comes with its template's caption; an open one stays as it is.
  if (!waitOpen_) waitCaption_ = L"請稍候";
  waitOpen_ = true;
  Record({.call = SurfaceCall::kOpenWaitDialog});
}

void RecordingSurface::CloseWaitDialog() {
  std::lock_guard lock(mutex_);
  waitOpen_ = false;
  Record({.call = SurfaceCall::kCloseWaitDialog});
}

bool RecordingSurface::IsWaitDialogOpen() {
  std::lock_guard lock(mutex_);
  return waitOpen_;
}

void RecordingSurface::SetWaitCaption(const std::wstring& caption) {
  std::lock_guard lock(mutex_);
  waitCaption_ = caption;
  Record({.call = SurfaceCall::kSetWaitCaption, .text = caption});
}

std::wstring RecordingSurface::WaitCaption() {
  std::lock_guard lock(mutex_);
  return waitCaption_;
}

ReplugResult RecordingSurface::RunReplugDialog(const ReplugWatcher::Probes& probes) {
  std::unique_lock lock(mutex_);
  ReplugResult result = defaultReplug_;
  std::function<void()> action = replugAction_;
  RecordDialog({.call = SurfaceCall::kRunReplugDialog, .value = static_cast<int>(result)}, lock);
  if (result != ReplugResult::kOk) {
    if (action) action();
    return result;
  }
  std::thread user([&action] {
    if (action) action();
  });
  ReplugWatcher watcher(probes, RealClock());
  ReplugOutcome outcome = RunReplugWatcher(watcher, RealClock(), {}, {}, std::chrono::seconds(3));
  user.join();
  return outcome == ReplugOutcome::kOk ? ReplugResult::kOk : ReplugResult::kNone;
}

void RecordingSurface::EnableCloseCommand(bool enabled) {
  std::unique_lock lock(mutex_);
  closeEnabled_ = enabled;
  Record({.call = SurfaceCall::kEnableCloseCommand, .value = enabled});
  std::function<void(bool)> observer = closeCommandObserver_;
  lock.unlock();
  if (observer) observer(enabled);
}

void RecordingSurface::SetCloseCommandObserver(std::function<void(bool enabled)> observer) {
  std::lock_guard lock(mutex_);
  closeCommandObserver_ = std::move(observer);
}

void RecordingSurface::SetDialogObserver(std::function<void(const SurfaceEvent&)> observer) {
  std::lock_guard lock(mutex_);
  dialogObserver_ = std::move(observer);
}

void RecordingSurface::QueueAnswers(std::initializer_list<MessageAnswer> answers) {
  std::lock_guard lock(mutex_);
  answers_.insert(answers_.end(), answers);
}

void RecordingSurface::SetDefaultAnswer(MessageButtons buttons, MessageAnswer answer) {
  std::lock_guard lock(mutex_);
  (buttons != MessageButtons::kOk ? defaultYesNo_ : defaultOk_) = answer;
}

void RecordingSurface::SetDefaultReplugResult(ReplugResult result, std::function<void()> userAction) {
  std::lock_guard lock(mutex_);
  defaultReplug_ = result;
  replugAction_ = std::move(userAction);
}

std::vector<SurfaceEvent> RecordingSurface::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<ShownMessage> RecordingSurface::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<std::wstring> RecordingSurface::MessageTexts() const {
  std::vector<std::wstring> texts;
  for (const auto& message : Messages()) texts.push_back(message.text);
  return texts;
}

std::vector<SurfaceEvent> RecordingSurface::EventsOf(SurfaceCall call) const {
  std::vector<SurfaceEvent> found;
  for (const auto& event : Events())
    if (event.call == call) found.push_back(event);
  return found;
}

ControlState RecordingSurface::Control(int id) const {
  std::lock_guard lock(mutex_);
  auto found = controls_.find(id);
  return found != controls_.end() ? found->second : ControlState{};
}

bool RecordingSurface::CloseCommandEnabled() const {
  std::lock_guard lock(mutex_);
  return closeEnabled_;
}

std::string RecordingSurface::Transcript() const {
  std::string transcript;
  for (const auto& event : Events()) transcript += event.Describe() + "\n";
  return transcript;
}

void RecordingSurface::ClearEvents() {
  std::lock_guard lock(mutex_);
  events_.clear();
  messages_.clear();
}

}  // namespace mzt::test
