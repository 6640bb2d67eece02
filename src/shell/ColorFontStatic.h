#pragma once
// A static text that paints itself: text and background colours, a font
// set at run time (face, point size, weight) and an optional border. The
// replug prompt uses it for its green and red lines.

#include <wx/window.h>

namespace mzt {

class CColorFontStatic : public wxWindow {
 public:
  CColorFontStatic(wxWindow* parent, wxWindowID id, const wxPoint& position,
                   const wxSize& size);

  // Each setter redraws and answers the control, so that calls chain.
  CColorFontStatic& SetBkColor(const wxColour& colour);
  CColorFontStatic& SetTextColor(const wxColour& colour);
  CColorFontStatic& SetText(const wxString& text);
  CColorFontStatic& SetBold(bool bold);
  // The point size stays what it was.
  CColorFontStatic& SetFontName(const wxString& face);
  CColorFontStatic& SetFontSize(int points);
  CColorFontStatic& SetBorder(bool show);

  const wxFont& PaintFont() const { return font_; }

 private:
  void OnPaint(wxPaintEvent& event);
  void Redraw();

  wxColour textColour_;
  wxColour backgroundColour_;  // invalid until a background was set
  wxFont font_;
};

}  // namespace mzt
