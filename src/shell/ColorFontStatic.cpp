#include "shell/ColorFontStatic.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>

namespace mzt {

CColorFontStatic::CColorFontStatic(wxWindow* parent, wxWindowID id, const wxPoint& position,
                                   const wxSize& size)
    : wxWindow(parent, id, position, size, wxBORDER_NONE),
      textColour_(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT)),
      font_(parent->GetFont().IsOk() ? parent->GetFont()
                                     : wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT)) {
  // Painted whole into a buffer: no erase, no flicker.
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CColorFontStatic::OnPaint, this);
}

CColorFontStatic& CColorFontStatic::SetBkColor(const wxColour& colour) {
  backgroundColour_ = colour;
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetTextColor(const wxColour& colour) {
  textColour_ = colour;
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetText(const wxString& text) {
  SetLabel(text);
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetBold(bool bold) {
  font_.SetWeight(bold ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL);
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetFontName(const wxString& face) {
  int points = font_.GetPointSize();
  font_.SetFaceName(face);
  font_.SetPointSize(points);
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetFontSize(int points) {
  font_.SetPointSize(points);
  Redraw();
  return *this;
}

CColorFontStatic& CColorFontStatic::SetBorder(bool show) {
  long style = GetWindowStyleFlag() & ~wxBORDER_MASK;
  SetWindowStyleFlag(style | (show ? wxBORDER_SIMPLE : wxBORDER_NONE));
  Redraw();
  return *this;
}

void CColorFontStatic::Redraw() {
  Refresh();
  Update();
}

void CColorFontStatic::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  wxColour background = backgroundColour_.IsOk()
                            ? backgroundColour_
                            : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  dc.SetBackground(wxBrush(background));
  dc.Clear();
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(textColour_);
  dc.SetFont(font_);
  // From the top left; lines break only at the text's own line breaks.
  dc.DrawText(GetLabel(), 0, 0);
}

}  // namespace mzt
