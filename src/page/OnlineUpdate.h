#pragma once
// The online database update: asks the update server for a newer database
// for the chosen region, downloads it into "ULDB.bin" of the update's work folder and
// starts the upload; afterwards reports the success to the server.
//
// Runs on the page's connect worker; every request blocks it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/Result.h"
#include "common/UpdateServerSetting.h"
#include "page/ControlSurface.h"
#include "page/FlowReport.h"
#include "page/PageState.h"
#include "page/ServerAnswer.h"
#include "platform/HttpClient.h"

namespace mzt {

struct OnlineUpdateHooks {
  // Progress of the download (bytes received, Content-Length); ShowProgress
  // on the surface when not set.
  std::function<void(uint64_t done, uint64_t total)> showProgress;
  // Starts the upload of the page's database file path.
  std::function<void()> startUpload;
  // Once the server has offered a database and before anything is
  // downloaded; false ends the update as the user's No.
  std::function<bool()> beforeDownload;
};

class OnlineUpdate {
 public:
  // `clientFactory` makes the client of each request (CreateHttpClient when
  // empty); `serverUrl` is the base address the page names are appended to.
  // It reports through `report`; without one, on the surface's controls.
  OnlineUpdate(IControlSurface& surface, PageState& state, HttpClientFactory clientFactory,
               std::string serverUrl, OnlineUpdateHooks hooks, IFlowReport* report = nullptr);

  void SetServerUrl(std::string serverUrl);
  // The configured server, or why there is none: a Run then says why and
  // sends nothing.
  void SetServer(Result<UpdateServerAddress> server);
  void SetClientFactory(HttpClientFactory clientFactory) { clientFactory_ = std::move(clientFactory); }
  const std::string& ServerUrl() const { return serverUrl_; }

  // The whole update up to the start of the upload; true when the download
  // succeeded and the upload was started. `waitText` follows the wait
  // dialog's caption.
  bool Run(const std::wstring& waitText);

  // Starts the upload of the last Run's download again: only while it is
  // still there, whole and of the version Run accepted. False otherwise.
  bool UploadAgain();

  // Tells the server's success page of the region chosen in list 1142 about
  // the device ID; answers the server's answer code, 0 when there was none.
  int ReportSuccess();

  // Why the last Run answered false: the server had nothing newer, the user
  // declined, the server or the network failed (also: the download is not
  // the announced version, or not newer than the device's), the download is
  // no whole database, or it could not be written.
  FlowOutcome FailureOutcome() const { return failure_; }
  // What failed when the page says nothing or too little about it (the
  // version check's specified silence, why a download is no database); empty
  // otherwise. For front ends with a place to say it.
  const std::string& SilentFailure() const { return silentFailure_; }

 private:
  int ChosenRegion();
  // A new client for `url`'s request, told the user's proxy; false (after the
  // message) when the client refuses the proxy.
  bool PrepareClient(const std::string& url);
  bool VersionCheck(const std::string& url, bool withMessages);
  int GeneralRequest(const std::string& url);
  bool DownloadFile(const std::string& url);
  void StartUpload();
  // Whether the downloaded `file` from `url` is a whole database of the
  // announced version, newer than the device's (any version when the region
  // is being replaced); false after a message naming what is wrong.
  bool AcceptDownload(const std::filesystem::path& file, const std::string& url);
  // Keeps the download address of a code-3 answer.
  ServerAnswer TakeAnswer(ServerAnswer answer);
  void ShowRequestFailure(const Error& error);
  // A request may take long against a slow server: what it does is shown
  // until its answer or the next message.
  void ShowStep(const std::wstring& text);
  MessageAnswer Say(const std::wstring& text, const wchar_t* caption, MessageButtons buttons);
  void Inform(const std::wstring& text);
  void ShowError(const std::wstring& text);
  void ShowSystemError(int code);

  IControlSurface& surface_;
  std::unique_ptr<IFlowReport> ownReport_;
  IFlowReport* report_;
  PageState& state_;
  HttpClientFactory clientFactory_;
  std::string serverUrl_;
  std::string serverProblem_;  // the settings name no usable server
  OnlineUpdateHooks hooks_;
  std::unique_ptr<IHttpClient> client_;  // of the last request
  bool replacingRegion_ = false;         // this run replaces the device's region
  std::optional<DatabaseVersion> accepted_;  // of the last download Run accepted
  FlowOutcome failure_ = FlowOutcome::kNone;
  std::string silentFailure_;
};

}  // namespace mzt
