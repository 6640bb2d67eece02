// The desktop program: one main sheet; the process ends when it closes.

#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <wx/app.h>
#include <wx/log.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include "common/ModuleVersion.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "platform/CopyDataChannel.h"
#include "platform/Translation.h"
#include "shell/MainSheet.h"
#include "shell/StallMeter.h"
#include "shell/TestHook.h"

namespace mzt {

class MztUtilityApp : public wxApp {
 public:
  bool OnInit() override {
    InitTimingFromEnvironment();
    UseUserLanguage();
    auto* sheet = new MainSheet(wxString::FromUTF8(ProgramTitle()));
    if (StallMeter::Enabled()) stallMeter_ = std::make_unique<StallMeter>();
    if (TestHook::Enabled()) hook_ = std::make_unique<TestHook>(*sheet, stallMeter_.get());
    sheet->Bind(wxEVT_DESTROY, [this, sheet](wxWindowDestroyEvent& event) {
      if (event.GetEventObject() == sheet) {
        hook_.reset();
        stallMeter_.reset();
      }
      event.Skip();
    });
    sheet->Show();
    return true;
  }

 private:
  // The toolkit's own texts (是/否 on the buttons, the boxes' titles) follow
  // LANG; numbers keep the point that the page's texts and files use.
  static void UseUserLanguage() {
    wxLogNull quiet;  // a locale the system lacks leaves the English texts
    wxUILocale::UseDefault();
    std::setlocale(LC_NUMERIC, "C");
    auto* translations = new wxTranslations;
    wxTranslations::Set(translations);
    translations->AddStdCatalog();
  }

  std::unique_ptr<StallMeter> stallMeter_;
  std::unique_ptr<TestHook> hook_;
};

}  // namespace mzt

wxIMPLEMENT_APP_NO_MAIN(mzt::MztUtilityApp);

namespace {

// A second start hands over to the window already running, which comes to
// the front, and ends: two windows would fight over the one detector. None
// when no window of this user's runs.
std::optional<int> HandOverToRunningWindow() {
  auto raised = mzt::SendCopyData(mzt::CopyDataSocketPath(), mzt::kCopyDataRaise, {});
  if (raised && raised.Value()) return 0;
  // Only a window that answered, or is there but busy, is one already running.
  if (!raised && raised.Err().code != mzt::ErrorCode::kBusy && raised.Err().code != mzt::ErrorCode::kIo)
    return std::nullopt;
  std::string why = raised ? std::string(mzt::Tr("it refused to come to the front")) : raised.Err().message;
  std::fprintf(stderr, "%s\n",
               mzt::Fill(mzt::Tr("mzt-utility is already running, but its window could not be brought to the "
                                 "front ({1}); no second window is opened."),
                         {why})
                   .c_str());
  return 1;
}

}  // namespace

// --help and --version are answered before the toolkit starts, so that they
// need no display.
int main(int argc, char** argv) {
  mzt::UseLanguage(mzt::Language::kUser);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", mzt::ProgramTitle().c_str());
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(mzt::Tr("Usage: mzt-utility [--help] [--version]\n"
                         "The desktop program that keeps the speed-camera database of the detector on\n"
                         "its USB serial port current; mzt is its command line.\n"
                         "\n"
                         "  -h, --help   this text\n"
                         "  --version    the program's version\n"),
                 stdout);
      return 0;
    }
  }
  if (auto handedOver = HandOverToRunningWindow()) return *handedOver;
  return wxEntry(argc, argv);
}
