#pragma once
// The caption-less unplug-and-replug prompt (template 141): green
// "請拔除USB線" until the device is seen gone, then red "請插入USB線" until it
// is back. It runs modally on the thread that asks, which its timer's
// probes and pauses block (never the UI thread); Escape cancels.

#include <windows.h>

#include <functional>

#include "page/ControlSurface.h"

namespace mzt {

// Runs the dialog, watching the device with `probes`. `shown` sees its window once it exists (another thread may
// then cancel it with CancelUsbReplugDialog), and null once it has ended.
ReplugResult RunUsbReplugDialog(const ReplugWatcher::Probes& probes,
                                const std::function<void(HWND)>& shown);
// Any thread: ends the dialog as Cancel.
void CancelUsbReplugDialog(HWND dialog);

}  // namespace mzt
