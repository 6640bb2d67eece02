#pragma once
// The main window: a modal property sheet with the speed-camera page and the
// About page and no OK, Cancel, Apply or Help. It owns the control surface
// and the toolkit-free sheet with the device link, takes other programs'
// requests (WM_COPYDATA, identifier 1) and runs the worker's calls posted to
// it. Its close command follows the sheet's: a close while it is greyed is
// refused with the reason in a message box; any other answers every waiting call, waits for the workers and
// ends the sheet.

#include <windows.h>

#include <memory>
#include <string>

#include "page/MztUtilitySheet.h"
#include "win32shell/Win32ControlSurface.h"

namespace mzt {

class TestHook;

class MainSheet {
 public:
  explicit MainSheet(std::wstring title);
  ~MainSheet();
  MainSheet(const MainSheet&) = delete;
  MainSheet& operator=(const MainSheet&) = delete;

  // Runs the modal sheet until it has closed; false when it could not open.
  bool Run();

  HWND Window() const { return window_; }
  // Null until the speed-camera page exists.
  CMZTUtilitySheet* Sheet() { return sheet_.get(); }
  Win32ControlSurface* Surface() { return surface_.get(); }

  // UI thread: closes as the title bar's close box does. False when refused
  // (a flow runs; the user is told why).
  bool Close();
  // Whether a close was accepted (the sheet ends, or will once its message
  // boxes have returned).
  bool CloseAccepted() const { return closeAccepted_; }

  // Called by the speed-camera page's window as it is created.
  void OnSpeedCameraPageCreated(HWND page);

 private:
  static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);
  static LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR self);
  void OnSheetInitialized(HWND sheet);
  void ShrinkToPage();
  void RefuseClose();
  LRESULT OnCopyData(const COPYDATASTRUCT* data);

  std::wstring title_;
  HWND window_ = nullptr;
  std::unique_ptr<Win32ControlSurface> surface_;
  std::unique_ptr<CMZTUtilitySheet> sheet_;
  std::unique_ptr<TestHook> hook_;
  bool closing_ = false;
  bool closeAccepted_ = false;
  bool closeRefusalShown_ = false;
};

}  // namespace mzt
