#pragma once
// A static text that paints itself: text and background colours, a font set
// at run time (face, character set, point size, weight) and an optional
// border. The replug prompt uses it for its green and red lines.

#include <windows.h>

#include <string>

namespace mzt {

class CColorFontStatic {
 public:
  CColorFontStatic();
  ~CColorFontStatic();
  CColorFontStatic(const CColorFontStatic&) = delete;
  CColorFontStatic& operator=(const CColorFontStatic&) = delete;

  // Takes over painting of an existing static text and starts from its font
  // (the system font when it has none).
  bool Attach(HWND control);

  // Each setter redraws and answers the control, so that calls chain.
  CColorFontStatic& SetBkColor(COLORREF colour);
  CColorFontStatic& SetTextColor(COLORREF colour);
  CColorFontStatic& SetText(const std::wstring& text);  // nothing before Attach
  CColorFontStatic& SetBold(bool bold);
  // The height stays what it was: the size lives in the font description.
  CColorFontStatic& SetFontName(const std::wstring& face, BYTE charSet);
  CColorFontStatic& SetFontSize(int points);
  CColorFontStatic& SetBorder(bool show);

  HWND Window() const { return window_; }
  std::wstring Text() const;
  const LOGFONTW& FontDescription() const { return description_; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
  void Paint();
  void RemakeFont();
  void Redraw();

  HWND window_ = nullptr;
  std::wstring text_;
  COLORREF textColour_;
  COLORREF backgroundColour_ = 0;
  HBRUSH backgroundBrush_ = nullptr;
  HBRUSH defaultBrush_;
  LOGFONTW description_{};
  HFONT font_ = nullptr;
};

}  // namespace mzt
