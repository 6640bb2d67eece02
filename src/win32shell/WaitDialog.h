#pragma once
// "請稍候" (template 131): a bar that sweeps while a worker does something of
// unknown length. It runs modally on a thread of its own, topmost and
// without a usable close command; the worker closes it with WM_CLOSE.

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>

#include "page/PageTexts.h"

namespace mzt {

class WaitDialog {
 public:
  static constexpr const wchar_t* kCaption = strings::kPleaseWait;

  WaitDialog() = default;
  ~WaitDialog() { Close(); }
  WaitDialog(const WaitDialog&) = delete;
  WaitDialog& operator=(const WaitDialog&) = delete;

  // Any thread. Returns once the dialog's window exists; does nothing while
  // one is open, here or as any window captioned "請稍候".
  void Open();
  // Any thread. Returns once the dialog's thread has ended.
  void Close();
  bool IsOpen();
  void SetCaption(const std::wstring& caption);
  std::wstring Caption();

 private:
  std::mutex mutex_;
  std::thread thread_;
  HWND window_ = nullptr;
};

}  // namespace mzt
