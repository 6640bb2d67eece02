// The clear-POI action, the copy-data entry and the sheet's routing.

#include "page/FlowFixture.h"

namespace mzt::test {
namespace {

class PoiClearTest : public FlowFixture {};

TEST_F(PoiClearTest, YesClearsThePoisInTheDevice) {
  Start({.pois = 4}, false);
  surface_.QueueAnswers({MessageAnswer::kYes});
  // From the action's start no other can begin, the question's time included.
  const std::vector<int> actions{ids::kPortList, ids::kQueryButton, ids::kUpdateButton, ids::kClearPoiButton,
                                 ids::kRegionList};
  std::vector<bool> enabledAtQuestion;
  surface_.SetDialogObserver([&](const SurfaceEvent&) {
    if (enabledAtQuestion.empty())
      for (int id : actions) enabledAtQuestion.push_back(surface_.Control(id).enabled);
  });
  Page().OnClearPoiButton();
  Finish();
  EXPECT_EQ(enabledAtQuestion, std::vector<bool>(actions.size(), false));
  EXPECT_EQ(device_->PoiCount(), 0u);
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"程式將刪除裝置內POI資料,請問是否刪除?",
                                                    L"POI清除完成,請重新啟動裝置!"}));
  EXPECT_EQ(surface_.Messages()[0].caption, L"MZT Utility");
  EXPECT_EQ(surface_.Messages()[0].buttons, MessageButtons::kYesNoDefaultNo);
  // Saved first, and the page says where.
  const fs::path saved = folder_ / "home" / "POI.csv";
  std::string csv = ReadFileBytes(saved);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5) << csv;
  EXPECT_EQ(surface_.Control(ids::kStatusText).text, L"4 POIs saved to " + saved.wstring());
  EXPECT_TRUE(sheet_->IsBusy());  // as the query, it ends busy with its controls enabled
  EXPECT_TRUE(surface_.Control(ids::kClearPoiButton).enabled);

  // Back from the other tab the user is not locked out: every action is
  // open again and the next query reaches the device.
  Page().OnShowWindow();
  for (int id : actions) EXPECT_TRUE(surface_.Control(id).enabled) << id;
  EXPECT_EQ(surface_.Control(ids::kStatusText).text, L"");
  EXPECT_TRUE(surface_.CloseCommandEnabled());
  Page().OnQueryButton();
  Finish();
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess) << Transcript();
  EXPECT_EQ(surface_.Control(ids::kDbVersionText).text, L"202501150003");
  // The port is the user's: the drop-down lists the ports anew and, closed
  // without a choice, keeps the chosen one; the other tab changes nothing.
  surface_.SelectListItem(ids::kPortList, 0);
  Page().OnPortListDropDown();
  EXPECT_EQ(surface_.Control(ids::kPortList).items,
            (std::vector<std::wstring>{L"/dev/ttyACM0", (folder_ / "port").wstring()}));
  EXPECT_EQ(surface_.SelectedListItem(ids::kPortList), 0);
  // The versions shown were the other port's detector's.
  EXPECT_EQ(surface_.Control(ids::kDbVersionText).text, L"");
  Page().OnShowWindow();
  EXPECT_EQ(surface_.SelectedListItem(ids::kPortList), 0);
  // A chosen port that is gone gives way to the settings' port.
  surface_.AddListItem(ids::kPortList, L"/dev/gone");
  surface_.SelectListItem(ids::kPortList, 2);
  Page().OnPortListDropDown();
  EXPECT_EQ(surface_.SelectedListItem(ids::kPortList), 1);

  // The idle page lists the ports anew now and then: one gone goes.
  surface_.AddListItem(ids::kPortList, L"/dev/gone");
  Page().OnPortsPoll();
  EXPECT_EQ(surface_.ListCount(ids::kPortList), 2);

  // Cleared again, the device has no POIs to save, and no file is named.
  surface_.QueueAnswers({MessageAnswer::kYes});
  Page().OnClearPoiButton();
  Finish();
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess) << Transcript();
  EXPECT_EQ(surface_.Control(ids::kStatusText).text, L"");
}

// A No touches nothing; a Yes the device does not answer is reported.
TEST_F(PoiClearTest, NoLeavesThePortClosedAndTheDeviceUntouchedAndAFailureIsReported) {
  Start({.pois = 4}, false);
  surface_.QueueAnswers({MessageAnswer::kNo});
  Page().OnClearPoiButton();
  Finish();
  EXPECT_TRUE(device_->ReceivedSentences().empty());
  EXPECT_EQ(device_->PoiCount(), 4u);
  EXPECT_FALSE(sheet_->Link()->IsOpen());
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kDeclined);

  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kDropReply, .command = 109,
                                 .nth = 1, .times = 0}));
  surface_.QueueAnswers({MessageAnswer::kYes});
  Page().OnClearPoiButton();
  Finish();
  EXPECT_TRUE(Shown(L"POI清除失敗,請稍後再試!"));
  EXPECT_EQ(Sentences("$PQEL109").size(), 2u);
}

class CopyDataTest : public FlowFixture {
 protected:
  CopyDataResult Send(uint32_t identifier, std::string text) {
    return sheet_->OnCopyData(identifier,
                              std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
};

TEST_F(CopyDataTest, PathAndPortStartAnUpdateOnThatPort) {
  Start({});
  surface_.AddListItem(ids::kPortList, L"/dev/ttyS7");
  surface_.SelectListItem(ids::kPortList, surface_.ListCount(ids::kPortList) - 1);
  std::string text = "C:\\db\\new.bin," + (folder_ / "port").string();
  text.push_back('\0');
  EXPECT_EQ(Send(1, text), CopyDataResult::kAccepted);
  EXPECT_EQ(surface_.ListItem(ids::kPortList, surface_.SelectedListItem(ids::kPortList)),
            (folder_ / "port").wstring());
  EXPECT_EQ(surface_.Control(ids::kDbPathText).text, L"C:\\db\\new.bin");
  // While it runs, another request is refused.
  EXPECT_EQ(Send(1, "x.bin,1"), CopyDataResult::kRefused);
  Finish();
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess) << Transcript();
}

TEST_F(CopyDataTest, AcceptedAgainOnceAQueryHasEnded) {
  Start({}, false);
  Page().OnQueryButton();
  Finish();
  ASSERT_TRUE(sheet_->IsBusy());  // how a query ends
  EXPECT_EQ(Send(1, "a.bin," + (folder_ / "port").string()), CopyDataResult::kAccepted);
  Finish();
}

TEST_F(CopyDataTest, PortIsTakenFromTheListAndOneRequestRunsAtATime) {
  Start({}, false);
  surface_.ClearList(ids::kPortList);
  // A number names the first port listed with it.
  for (const wchar_t* port : {L"/dev/ttyACM3", L"/dev/ttyACM0", L"/dev/ttyUSB3", L"/dev/ttyACM12"})
    surface_.AddListItem(ids::kPortList, port);
  // The window runs a request inside the modal loop of an open message box.
  std::vector<CopyDataResult> whileBoxOpen;
  surface_.SetDialogObserver([&](const SurfaceEvent&) {
    if (whileBoxOpen.empty()) whileBoxOpen.push_back(Send(1, "b.bin,12"));
  });
  EXPECT_EQ(Send(1, "a.bin,3"), CopyDataResult::kAccepted);
  EXPECT_EQ(surface_.SelectedListItem(ids::kPortList), 0);
  Finish();  // no device there: the page reports it and ends
  EXPECT_EQ(Messages(), std::vector<std::wstring>{
                            L"無法連結裝置，請重試\nopen /dev/ttyACM3: No such file or directory"});
  EXPECT_EQ(whileBoxOpen, std::vector{CopyDataResult::kRefused});
  // A port the window does not list is refused, and nothing is tried.
  for (const char* text : {"a.bin,7", "x,/dev/ttyACM7", "a.bin,"})
    EXPECT_EQ(Send(1, text), CopyDataResult::kRefused) << text;
  EXPECT_EQ(surface_.SelectedListItem(ids::kPortList), 0);
  EXPECT_EQ(Messages().size(), 1u);
}

TEST(SheetRoutingTest, TransferProgressReachesThePageOnlyWhileUploading) {
  RecordingSurface surface;
  CMZTUtilitySheet sheet(surface, nullptr);
  sheet.OnTransferProgress(512, 2048);
  EXPECT_EQ(surface.Control(ids::kProgressText).text, L"");
  sheet.Page().State().uploadInProgress = true;
  sheet.OnTransferProgress(512, 2048);
  EXPECT_EQ(surface.Control(ids::kProgressText).text, L"0.5 KB / 2.0 KB");
}

}  // namespace
}  // namespace mzt::test
