#include <gtest/gtest.h>

#include <thread>

#include "support/RecordingSurface.h"

namespace mzt::test {
namespace {

TEST(RecordingSurfaceTest, AnswersFromTheScriptThenByDefault) {
  RecordingSurface surface;
  surface.QueueAnswers({MessageAnswer::kNo, MessageAnswer::kCancel});
  EXPECT_EQ(surface.ShowMessage(L"a", L"c", MessageButtons::kYesNo), MessageAnswer::kNo);
  EXPECT_EQ(surface.ShowMessage(L"b", L"c", MessageButtons::kOk), MessageAnswer::kCancel);
  EXPECT_EQ(surface.ShowMessage(L"c", L"c", MessageButtons::kYesNo), MessageAnswer::kYes);
  surface.SetDefaultAnswer(MessageButtons::kYesNo, MessageAnswer::kNo);
  EXPECT_EQ(surface.ShowMessage(L"d", L"c", MessageButtons::kYesNo), MessageAnswer::kNo);
  EXPECT_EQ(surface.ShowMessage(L"e", L"c", MessageButtons::kOk), MessageAnswer::kOk);
  EXPECT_EQ(surface.MessageTexts(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"e"}));

  surface.QueueReplugResults({ReplugResult::kOk});
  EXPECT_EQ(surface.RunReplugDialog(), ReplugResult::kOk);
  EXPECT_EQ(surface.RunReplugDialog(), ReplugResult::kCancel);
  // The callback may use the surface itself, as a replug that drives the device does.
  surface.SetReplugHandler([&surface] {
    surface.SetText(1143, L"replugged");
    return ReplugResult::kNone;
  });
  surface.QueueReplugResults({ReplugResult::kOk});
  EXPECT_EQ(surface.RunReplugDialog(), ReplugResult::kNone);
  EXPECT_EQ(surface.GetText(1143), L"replugged");
  EXPECT_EQ(surface.Events().back().Describe(), "RunReplugDialog 0");
}

TEST(RecordingSurfaceTest, KeepsControlStateLikeTheWidgets) {
  RecordingSurface surface;
  surface.AddListItem(1142, L"台灣");
  surface.AddListItem(1142, L"中國");
  surface.SelectListItem(1142, 1);
  EXPECT_EQ(surface.SelectedListItem(1142), 1);
  surface.SelectListItem(1142, 2);  // outside the list: nothing selected
  EXPECT_EQ(surface.SelectedListItem(1142), -1);
  surface.ClearList(1142);
  EXPECT_EQ(surface.ListCount(1142), 0);
  surface.Enable(1001, false);
  surface.SetProgressRange(1051, 0, 2048);
  surface.SetProgressPosition(1051, 1024);
  ControlState bar = surface.Control(1051);
  EXPECT_EQ(bar.rangeHigh, 2048);
  EXPECT_EQ(bar.position, 1024);
  EXPECT_FALSE(surface.Control(1001).enabled);
  EXPECT_TRUE(surface.Control(1117).enabled);
  surface.ShowMessage(L"訊息", L"MZT Utility", MessageButtons::kOk);
  EXPECT_EQ(surface.Events().back().Describe(), "ShowMessage [MZT Utility] \"訊息\" -> OK");
}

TEST(RecordingSurfaceTest, WaitsForCallsFromAnotherThread) {
  RecordingSurface surface;
  std::jthread worker([&surface] {
    for (int i = 0; i < 100; ++i) surface.SetProgressPosition(1051, i);
    surface.CloseWaitDialog();
  });
  auto closed = [](const std::vector<SurfaceEvent>& events) {
    return !events.empty() && events.back().call == SurfaceCall::kCloseWaitDialog;
  };
  EXPECT_TRUE(surface.WaitFor(closed, std::chrono::seconds(10)));
  EXPECT_EQ(surface.EventsOf(SurfaceCall::kSetProgressPosition).size(), 100u);
  EXPECT_FALSE(surface.WaitFor([](const auto& events) { return events.empty(); },
                               std::chrono::milliseconds(1)));
}

}  // namespace
}  // namespace mzt::test
