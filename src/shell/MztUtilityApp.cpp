// The desktop program: one main sheet; the process ends when it closes.

#include <memory>

#include <wx/app.h>

#include "common/ModuleVersion.h"
#include "common/Timing.h"
#include "shell/MainSheet.h"
#include "shell/TestHook.h"

namespace mzt {

class MztUtilityApp : public wxApp {
 public:
  bool OnInit() override {
    InitTimingFromEnvironment();
    auto* sheet = new MainSheet(wxString::FromUTF8(ProgramTitle()));
    if (TestHook::Enabled()) hook_ = std::make_unique<TestHook>(*sheet);
    sheet->Bind(wxEVT_DESTROY, [this, sheet](wxWindowDestroyEvent& event) {
      if (event.GetEventObject() == sheet) hook_.reset();
      event.Skip();
    });
    sheet->Show();
    return true;
  }

 private:
  std::unique_ptr<TestHook> hook_;
};

}  // namespace mzt

wxIMPLEMENT_APP(mzt::MztUtilityApp);
