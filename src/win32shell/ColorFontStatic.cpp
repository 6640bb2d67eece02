#include "win32shell/ColorFontStatic.h"

#include <commctrl.h>

#include "win32shell/WindowText.h"

namespace mzt {

CColorFontStatic::CColorFontStatic()
    : textColour_(GetSysColor(COLOR_WINDOWTEXT)),
      defaultBrush_(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {}

CColorFontStatic::~CColorFontStatic() {
  if (window_) RemoveWindowSubclass(window_, SubclassProc, 0);
  if (backgroundBrush_) DeleteObject(backgroundBrush_);
  DeleteObject(defaultBrush_);
  if (font_) DeleteObject(font_);
}

bool CColorFontStatic::Attach(HWND control) {
  if (!control || !SetWindowSubclass(control, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this)))
    return false;
  window_ = control;
  auto current = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  GetObjectW(current ? current : GetStockObject(SYSTEM_FONT), sizeof description_, &description_);
  RemakeFont();
  return true;
}

CColorFontStatic& CColorFontStatic::SetBkColor(COLORREF colour) {
  backgroundColour_ = colour;
  if (backgroundBrush_) DeleteObject(backgroundBrush_);
  backgroundBrush_ = CreateSolidBrush(colour);
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetTextColor(COLORREF colour) {
  textColour_ = colour;
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetText(const std::wstring& text) {
  if (window_) SetWindowTextW(window_, text.c_str());
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetBold(bool bold) {
  description_.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  RemakeFont();
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetFontName(const std::wstring& face, BYTE charSet) {
  description_.lfCharSet = charSet;
  lstrcpynW(description_.lfFaceName, face.c_str(), LF_FACESIZE);
  RemakeFont();
  Redraw();
  return *this;
}

// A point font of the stored face lends its height and width.
CColorFontStatic& CColorFontStatic::SetFontSize(int points) {
  LOGFONTW point = description_;
  HDC screen = GetDC(nullptr);
  point.lfHeight = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  point.lfWidth = 0;
  if (HFONT made = CreateFontIndirectW(&point)) {
    LOGFONTW taken{};
    GetObjectW(made, sizeof taken, &taken);
    DeleteObject(made);
    description_.lfHeight = taken.lfHeight;
    description_.lfWidth = taken.lfWidth;
  }
  RemakeFont();
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetBorder(bool show) {
  if (window_) {
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    SetWindowLongPtrW(window_, GWL_STYLE, show ? (style | WS_BORDER) : (style & ~LONG_PTR{WS_BORDER}));
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  Redraw();
  return *this;
}

std::wstring CColorFontStatic::Text() const { return window_ ? WindowText(window_) : std::wstring(); }

void CColorFontStatic::RemakeFont() {
  if (font_) DeleteObject(font_);
  font_ = CreateFontIndirectW(&description_);
}

// The control's rectangle of the parent is erased and repainted at once.
void CColorFontStatic::Redraw() {
  if (!window_) return;
  HWND parent = GetParent(window_);
  RECT area;
  GetWindowRect(window_, &area);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
  InvalidateRect(parent, &area, TRUE);
  UpdateWindow(parent);
}

// Drawn off screen, so that the control does not flicker.
void CColorFontStatic::Paint() {
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(window_, &paint);
  RECT client;
  GetClientRect(window_, &client);
  text_ = WindowText(window_);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  int oldMode = SetBkMode(memory, TRANSPARENT);
  COLORREF oldColour = ::SetTextColor(memory, textColour_);
  HGDIOBJ oldFont = SelectObject(memory, font_);
  FillRect(memory, &client, backgroundBrush_ ? backgroundBrush_ : defaultBrush_);
  DrawTextW(memory, text_.c_str(), static_cast<int>(text_.size()), &client, 0);
  SelectObject(memory, oldFont);
  ::SetTextColor(memory, oldColour);
  SetBkMode(memory, oldMode);
  BitBlt(screen, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  EndPaint(window_, &paint);
}

LRESULT CALLBACK CColorFontStatic::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR, DWORD_PTR self) {
  auto* control = reinterpret_cast<CColorFontStatic*>(self);
  switch (message) {
    case WM_PAINT:
      control->Paint();
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, SubclassProc, 0);
      control->window_ = nullptr;
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace mzt
