#include "page/OnlineUpdate.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "common/FieldReader.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "database/DatabaseLayout.h"
#include "page/ControlIds.h"
#include "page/DeviceDatabase.h"
#include "page/PageTexts.h"
#include "page/UpdateServerPages.h"
#include "page/VersionCheck.h"
#include "page/WorkFiles.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

constexpr const char* kAddressCaption = TrLater("Getting the download address,");
constexpr const char* kServerUnreachable =
    TrLater("The update server cannot be reached. Check the network connection and the proxy setting, or run mzt "
       "doctor to find out why.\nThe system says: {1}");
constexpr const char* kServerSetting = TrLater("The update server's address is set wrongly:\n{1}");
constexpr const char* kMalformedVersion = TrLater("The update server answered a database version in a wrong format: {1}");

// A download body this short is a server answer, not a database.
constexpr uint64_t kMaxAnswerBody = 44;
// Room of the page's date text field, terminator included.
constexpr size_t kDateTextCapacity = 20;

std::wstring RegionName(int region) { return region == 1 ? strings::kChina : strings::kTaiwan; }

// How the region match names the device's database: only "CN" is China.
std::wstring DeviceRegionName(const std::string& code) {
  if (code == "TW") return strings::kTaiwan;
  if (code == "CN") return strings::kChina;
  return {};
}

std::wstring ReplaceQuestion(const std::wstring& deviceName, const std::wstring& chosenName) {
  return strings::kReplaceQuestionStart + (deviceName.empty() ? strings::kUnknownRegion : deviceName) +
         strings::kReplaceQuestionMiddle + chosenName + strings::kReplaceQuestionEnd;
}

std::wstring BoundedWide(const std::string& text, size_t capacity) {
  std::wstring wide(capacity, L'\0');
  size_t written = AnsiToWide(text.c_str(), wide.data(), capacity);
  wide.resize(written > 0 ? written - 1 : 0);
  return wide;
}

std::string ReadSmallFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

OnlineUpdate::OnlineUpdate(IControlSurface& surface, PageState& state,
                           HttpClientFactory clientFactory, std::string serverUrl,
                           OnlineUpdateHooks hooks, IFlowReport* report)
    : surface_(surface),
      ownReport_(report ? nullptr : std::make_unique<ControlSurfaceReport>(surface)),
      report_(report ? report : ownReport_.get()),
      state_(state),
      clientFactory_(clientFactory ? std::move(clientFactory)
                                   : HttpClientFactory([] { return CreateHttpClient(); })),
      serverUrl_(NormalizeServerUrl(std::move(serverUrl))),
      hooks_(std::move(hooks)) {
  if (!hooks_.showProgress) {
    hooks_.showProgress = [this](uint64_t done, uint64_t total) {
      report_->Progress(ProgressUnit::kBytes, done, total);
    };
  }
}

void OnlineUpdate::SetServerUrl(std::string serverUrl) {
  serverUrl_ = NormalizeServerUrl(std::move(serverUrl));
  serverProblem_.clear();
}

void OnlineUpdate::SetServer(Result<UpdateServerAddress> server) {
  if (server) {
    SetServerUrl(std::move(server).Value().url);
  } else {
    serverUrl_.clear();
    serverProblem_ = server.Err().message;
  }
}

bool OnlineUpdate::Run(const std::wstring& waitText) {
  failure_ = FlowOutcome::kNetworkFailure;
  silentFailure_.clear();
  accepted_.reset();
  // Only this run's version check announces the version the download must have.
  state_.newDbDate.clear();
  state_.newDbNumber = 0;
  if (!serverProblem_.empty()) {
    ShowError(Fill(TrW(kServerSetting), {Utf8ToWide(serverProblem_)}));
    return false;
  }

  const int chosen = ChosenRegion();
  const bool regionCapable = state_.firmware.regionCapable;
  if (!regionCapable && chosen == 1) Inform(strings::kTaiwanOnly);
  const std::string checkUrl =
      VersionCheckUrl(serverUrl_, VersionCheckRegion(chosen, regionCapable), state_.deviceVersion);

  ShowStep(strings::kCheckingForUpdate + waitText);
  // The bar still shows the POI export's end.
  report_->ClearProgress();
  const std::wstring deviceName = DeviceRegionName(state_.deviceRegionCode);
  const std::wstring chosenName = RegionName(chosen);
  replacingRegion_ = deviceName != chosenName && regionCapable;
  if (deviceName == chosenName) {
    if (!VersionCheck(checkUrl, true)) return false;
  } else if (regionCapable) {
    // Replacing one region's data by the other's is the user's call, whatever the server says.
    (void)VersionCheck(checkUrl, false);
    failure_ = FlowOutcome::kNetworkFailure;  // whatever that check answered
    silentFailure_.clear();
    if (Say(ReplaceQuestion(deviceName, chosenName), strings::kAppCaption, MessageButtons::kYesNo) !=
        MessageAnswer::kYes) {
      failure_ = FlowOutcome::kDeclined;
      return false;
    }
  } else {
    bool checked = VersionCheck(checkUrl, true);
    surface_.SelectListItem(ids::kRegionList, 0);
    surface_.Enable(ids::kRegionList, false);
    if (!checked) return false;
  }

  const std::string addressUrl =
      DeviceIdUrl(serverUrl_, ServerPage::kDownloadAddress, ChosenRegion(), state_.deviceId);
  ShowStep(TrW(kAddressCaption) + waitText);
  if (int code = GeneralRequest(addressUrl); code != 3) {
    // The address page's "nothing newer" is the version check's.
    if (code == kAnswerNothingNewer) failure_ = FlowOutcome::kUpToDate;
    return false;
  }

  const std::wstring announced = AnnouncedVersionText(state_);
  Inform(announced.empty() ? std::wstring(strings::kNewDatabase) : strings::kNewDatabaseVersion + announced);

  surface_.CloseWaitDialog();
  if (hooks_.beforeDownload && !hooks_.beforeDownload()) {
    failure_ = FlowOutcome::kDeclined;
    return false;
  }
  if (!DownloadFile(state_.downloadUrl)) return false;
  StartUpload();
  return true;
}

bool OnlineUpdate::UploadAgain() {
  if (!accepted_) return false;
  auto layout = InspectDatabase(state_.databasePath);
  if (!layout || VersionOf(layout.Value()) != *accepted_)
    return false;
  StartUpload();
  return true;
}

void OnlineUpdate::StartUpload() {
  surface_.CloseWaitDialog();
  report_->ClearProgress();
  if (hooks_.startUpload) hooks_.startUpload();
}

int OnlineUpdate::ReportSuccess() {
  return GeneralRequest(
      DeviceIdUrl(serverUrl_, ServerPage::kSuccessReport, ChosenRegion(), state_.deviceId));
}

int OnlineUpdate::ChosenRegion() {
  return surface_.SelectedListItem(ids::kRegionList) == 1 ? 1 : 0;
}

bool OnlineUpdate::PrepareClient(const std::string& url) {
  if (UseUserProxy(*client_, url)) return true;
  ShowError(strings::kProxyFailed);
  return false;
}

bool OnlineUpdate::VersionCheck(const std::string& url, bool withMessages) {
  client_.reset();
  client_ = clientFactory_();
  if (!PrepareClient(url)) return false;
  auto checked = AskVersionCheck(*client_, url);
  if (!checked) {
    ShowRequestFailure(checked.Err());
    return false;
  }
  Pause(Delay::kAfterHttpResponse);
  const VersionCheckAnswer& check = checked.Value();
  if (check.status == 200) TakeAnswer(check.answer);
  switch (check.verdict) {
    case VersionVerdict::kNewer:
      state_.newDbDate = BoundedWide(check.answer.Field(0), kDateTextCapacity);
      state_.newDbNumber = static_cast<int32_t>(ParseDecimal(check.answer.Field(1)));
      return true;
    case VersionVerdict::kMalformedVersion:
      ShowError(Fill(TrW(kMalformedVersion), {Utf8ToWide(check.body)}));
      return false;
    case VersionVerdict::kNothingNewer:
    case VersionVerdict::kNoDatabase:
      if (check.verdict == VersionVerdict::kNothingNewer) failure_ = FlowOutcome::kUpToDate;
      if (withMessages) Inform(ServerAnswerMessage(check.answer.code));
      return false;
    case VersionVerdict::kUnanswered:
      break;
  }
  silentFailure_ = check.Problem(url);
  return false;
}

int OnlineUpdate::GeneralRequest(const std::string& url) {
  client_.reset();
  client_ = clientFactory_();
  if (!PrepareClient(url)) return 0;
  // An answer is a few fields: a longer body is read no further than its first bytes.
  auto response = client_->Get(url, kMaxServerAnswerBytes);
  if (!response) {
    silentFailure_ = Fill(Tr("the request for {1} failed: {2}"), {url, response.Err().message});
    return 0;
  }
  Pause(Delay::kAfterHttpResponse);
  if (response.Value().status != 200) {
    Inform(HttpStatusMessage(response.Value().status));
    return 0;
  }
  // The answer is read as text: it ends at a NUL byte.
  std::string_view body = response.Value().body;
  ServerAnswer answer = TakeAnswer(ReadServerAnswer(body.substr(0, body.find('\0'))));
  if (const wchar_t* message = ServerAnswerMessage(answer.code); message && answer.code != kAnswerNewerDatabase)
    Inform(message);
  else if (!message && answer.code != kAnswerNewerDatabase)
    silentFailure_ = UnansweredText(url, answer.code, body);
  return answer.code;
}

bool OnlineUpdate::DownloadFile(const std::string& url) {
  client_.reset();
  client_ = clientFactory_();
  ShowStep(strings::kDownloading);
  // From the first bytes on, the bar shows the download.
  client_->SetProgressCallback([this, waiting = true](uint64_t done, uint64_t total) mutable {
    if (std::exchange(waiting, false)) surface_.CloseWaitDialog();
    hooks_.showProgress(done, total);
  });
  if (!PrepareClient(url)) return false;

  const fs::path folder = state_.workFolder;
  if (folder.empty()) {
    failure_ = FlowOutcome::kFileError;
    ShowSystemError(ENOENT);
    return false;
  }
  const fs::path partial = folder / kPartialDownloadFileName;
  auto response = client_->GetToFile(url, partial);
  const std::optional<int> status = client_->StatusCode();
  if (status) {
    Pause(Delay::kAfterHttpResponse);
    state_.databasePath = folder / kDownloadFileName;
  }

  bool done = false;
  if (!response) {
    // A download that cannot be written (a full disk) is the file's failure, not the network's.
    if (response.Err().code == ErrorCode::kIo) failure_ = FlowOutcome::kFileError;
    ShowRequestFailure(response.Err());
  } else if (response.Value().status != 200) {
    Inform(HttpStatusMessage(response.Value().status));
  } else if (response.Value().length <= kMaxAnswerBody) {
    const wchar_t* message = ServerAnswerMessage(TakeAnswer(ReadServerAnswer(ReadSmallFile(partial))).code);
    Inform(message ? message : L"");
  } else if (AcceptDownload(partial, url)) {
    std::error_code error;
    fs::rename(partial, state_.databasePath, error);
    if (error) {
      failure_ = FlowOutcome::kFileError;
      ShowSystemError(error.value());
    }
    done = !error;
  }
  if (!done) {
    std::error_code ignored;
    fs::remove(partial, ignored);
  }
  if (status == 404) ShowError(strings::kDownloadMissing);
  return done;
}

bool OnlineUpdate::AcceptDownload(const fs::path& file, const std::string& url) {
  // A body cut short without a length to show it, or padded, is found here.
  auto layout = InspectDatabase(file);
  if (!layout) {
    failure_ = FlowOutcome::kInvalidDatabase;
    silentFailure_ = Fill(Tr("the download from {1} is not a whole database: {2}"), {url, layout.Err().message});
    ShowError(strings::kDatabaseFormatError);
    return false;
  }
  const DatabaseLayout& got = layout.Value();
  const std::wstring version = DatabaseVersionText(VersionOf(got));
  // The version the check announced, as the news of the newer database showed it.
  if (const std::wstring announced = AnnouncedVersionText(state_); !announced.empty() && version != announced) {
    ShowError(Fill(TrW("The downloaded database's version {1} is not the version {2} the site announced"),
                   {version, announced}));
    return false;
  }
  // Replacing one region's data by the other's may go to any version.
  const DatabaseVersion& held = state_.deviceVersion;
  if (!replacingRegion_ && VersionOf(got) <= held) {
    ShowError(Fill(TrW("The downloaded database's version {1} is not newer than the device's {2}"),
                   {version, DatabaseVersionText(held)}));
    return false;
  }
  accepted_ = VersionOf(got);
  return true;
}

ServerAnswer OnlineUpdate::TakeAnswer(ServerAnswer answer) {
  if (answer.code == kAnswerNewerDatabase) state_.downloadUrl = answer.Field(0);
  return answer;
}

void OnlineUpdate::ShowRequestFailure(const Error& error) {
  // A response whose body then broke off is told by its status, a failing
  // file by the system's text; a stalled transfer is the unstable network.
  std::optional<int> status = client_->StatusCode();
  if (error.code == ErrorCode::kIo && error.systemCode != 0) {
    ShowSystemError(error.systemCode);
  } else if (error.code != ErrorCode::kTimeout && status) {
    Inform(HttpStatusMessage(*status));
  } else if (error.code != ErrorCode::kTimeout && error.systemCode != 0) {
    Say(Fill(TrW(kServerUnreachable), {Utf8ToWide(SystemErrorText(error.systemCode))}), strings::kErrorCaption,
        MessageButtons::kOk);
  } else {
    ShowError(strings::kNetworkUnstable);
  }
}

void OnlineUpdate::ShowStep(const std::wstring& text) {
  surface_.OpenWaitDialog();
  surface_.SetWaitCaption(text);
  report_->Step(text);
}

MessageAnswer OnlineUpdate::Say(const std::wstring& text, const wchar_t* caption,
                                MessageButtons buttons) {
  surface_.CloseWaitDialog();
  return report_->Ask(text, caption, buttons);
}

void OnlineUpdate::Inform(const std::wstring& text) { Say(text, strings::kAppCaption, MessageButtons::kOk); }

void OnlineUpdate::ShowError(const std::wstring& text) { Say(text, strings::kErrorCaption, MessageButtons::kOk); }

void OnlineUpdate::ShowSystemError(int code) {
  // The system's text alone does not say where: the folder the download goes to.
  std::wstring text = Utf8ToWide(SystemErrorText(code));
  if (!state_.workFolder.empty()) text += L"\n" + Fill(TrW("Folder: {1}"), {state_.workFolder.wstring()});
  Say(text, strings::kSystemErrorCaption, MessageButtons::kOk);
}

}  // namespace mzt
