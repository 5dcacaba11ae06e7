// Lifetimes around the Mac graphics class (run under the address sanitizer): opening an
// open window replaces the view; the host removing the view closes the editor once; the
// delegate going with the view open; a queued menu whose editor closed or whose request
// was replaced reports nothing; a control closing the editor from its mouse handler; text,
// sheet and colour answers, events and ticks arriving after the close; a modal box the
// editor closes under.
#include "tests/platform/mac/mac_editor.h"

namespace {

using namespace mactest;

class Lifetime : public MacEditorTest {};

TEST_F(Lifetime, OpeningAnOpenWindowReplacesTheView) {
  open();
  NSPtr<ICanvasView_vSpectraPoise_vst3> first = NSPtr<ICanvasView_vSpectraPoise_vst3>::retain(view);
  void* opened = g->OpenWindow(host->contentView());
  ASSERT_EQ(opened, g->GetView());
  EXPECT_NE(g->GetView(), first.get());
  EXPECT_EQ(first->superview(), nullptr);
  EXPECT_EQ(first->graphics(), nullptr);
  EXPECT_EQ(first->timer(), nullptr);
  EXPECT_EQ(first->retainCount(), 1);  // only the test holds it now
  EXPECT_EQ(host->contentView()->subviews().size(), 1u);
  EXPECT_EQ(dlg.only({"OnUIOpen", "OnUIClose"}), (Log{"OnUIOpen", "OnUIOpen"}));
  // Events for the old view go nowhere.
  first->mouseDown(nullptr);
  first->render();
}

TEST_F(Lifetime, TheHostRemovingTheViewClosesTheEditorOnce) {
  open();
  NSPtr<ICanvasView_vSpectraPoise_vst3> keep = NSPtr<ICanvasView_vSpectraPoise_vst3>::retain(view);
  view->removeFromSuperview();
  EXPECT_EQ(dlg.GetGraphics(), nullptr);
  EXPECT_EQ(dlg.only({"OnUIClose"}).size(), 1u);
  EXPECT_EQ(keep->graphics(), nullptr);
  EXPECT_EQ(keep->superview(), nullptr);
  EXPECT_EQ(keep->retainCount(), 1);
  keep->removeFromSuperview();  // again: nothing
  EXPECT_EQ(dlg.only({"OnUIClose"}).size(), 1u);
}

TEST_F(Lifetime, TheDelegateGoingWithTheViewOpen) {
  auto* local = new FakeDelegate();
  local->SetMakeGraphicsFunc([local] { return MakeGraphics(*local, 640, 400, 60, 1.f, "", "", ""); });
  local->SetLayoutFunc([](ICanvas* g) { g->AttachControl(new Recorder(IRECT(0, 0, 10, 10))); });
  ASSERT_NE(local->OpenWindow(host->contentView()), nullptr);
  EXPECT_EQ(ICanvasMac::sFontDescriptorCache.UseCount(), 1);
  delete local;
  EXPECT_TRUE(host->contentView()->subviews().empty());
  EXPECT_EQ(ICanvasMac::sFontDescriptorCache.UseCount(), 0);
  loop.advance(50);  // no tick reaches anything
}

TEST_F(Lifetime, AQueuedMenuReportsNothingOnceItsEditorOrItsRequestIsGone) {
  open();
  IPopupMenu menu("", 0, false, {"a", "b"});
  // The editor closes before the menu's turn.
  g->CreatePopupMenu(*left, menu, IRECT(0, 0, 10, 10), 0);
  dlg.CloseWindow();
  cfshim::DrainMainQueue();
  EXPECT_TRUE(script.menus.empty());

  // The requesting control is removed (a rebuild) before the turn.
  open();
  g->CreatePopupMenu(*left, menu, IRECT(0, 0, 10, 10), 0);
  g->RemoveAllControls();
  cfshim::DrainMainQueue();
  EXPECT_TRUE(script.menus.empty());

  // A newer request replaces the first: only the newer one shows.
  auto* a = new Recorder(IRECT(0, 0, 10, 10));
  auto* b = new Recorder(IRECT(10, 0, 20, 10));
  g->AttachControl(a);
  g->AttachControl(b);
  g->CreatePopupMenu(*a, menu, IRECT(0, 0, 10, 10), 0);
  g->CreatePopupMenu(*b, menu, IRECT(10, 0, 20, 10), 0);
  script.chooseMenuItem({1});
  cfshim::DrainMainQueue();
  EXPECT_EQ(script.menus.size(), 1u);
  EXPECT_TRUE(a->events.empty());
  EXPECT_EQ(b->names(), (std::vector<std::string>{"menu 1"}));

  // The chosen menu's completion closes the editor: the control hears nothing after it.
  bool completionRan = false;
  menu.SetFunction([&](IPopupMenu*) {
    completionRan = true;
    dlg.CloseWindow();
  });
  b->onEvent = [](Recorder&, const Recorder::Event&) { ADD_FAILURE() << "answer after the close"; };
  script.chooseMenuItem({0});
  g->CreatePopupMenu(*b, menu, IRECT(10, 0, 20, 10), 0);
  cfshim::DrainMainQueue();
  EXPECT_TRUE(completionRan);
  EXPECT_EQ(dlg.GetGraphics(), nullptr);
}

TEST_F(Lifetime, AControlClosingTheEditorFromItsMouseHandler) {
  open();
  left->onEvent = [this](Recorder&, const Recorder::Event& e) {
    if (e.what == "down") dlg.CloseWindow();
  };
  NSPtr<ICanvasView_vSpectraPoise_vst3> keep = NSPtr<ICanvasView_vSpectraPoise_vst3>::retain(view);
  EventScript e = events();
  e.press({10, 10});
  EXPECT_EQ(dlg.GetGraphics(), nullptr);
  // Everything after the close goes nowhere.
  NSEvent late = e.at(NSEventTypeLeftMouseUp, {10, 10});
  keep->mouseUp(&late);
  keep->mouseDragged(&late);
  keep->scrollWheel(&late);
  keep->keyDown(&late);
  keep->render();
  loop.advance(100);
  EXPECT_EQ(keep->retainCount(), 1);
}

TEST_F(Lifetime, AnswersArrivingAfterTheClose) {
  open();
  // A text commit whose field is gone.
  script.commitText("42");
  g->CreateTextEntry(*right, IText(14.f), right->GetRECT(), "", 0);
  // A sheet whose answer comes after the close.
  bool sheetAnswered = false;
  StringBuf f, p;
  script.chooseFile("/x/a.wav");
  g->PromptForFile(f, p, EFileAction::Open, "wav", [&](const StringBuf&, const StringBuf&) { sheetAnswered = true; });
  // A colour pick after the close.
  bool picked = false;
  IColor c;
  script.pickColor(IColor(255, 1, 2, 3));
  g->PromptForColor(c, "", [&](const IColor&) { picked = true; });
  dlg.CloseWindow();
  cfshim::DrainMainQueue();
  loop.advance(50);
  EXPECT_FALSE(sheetAnswered);
  EXPECT_FALSE(picked);
  EXPECT_EQ(dlg.GetParam(6)->Value(), 50.0);
  EXPECT_FALSE(NSColorPanel::sharedColorPanel()->isVisible());
}

TEST_F(Lifetime, AModalBoxTheEditorClosesUnder) {
  open();
  bool completed = false;
  script.answerMessageBox("Yes", [this] { dlg.CloseWindow(); });
  const EMsgBoxResult r = g->ShowMessageBox("Replace?", "Save preset", EMsgBoxType::YesNo,
                                            [&](EMsgBoxResult) { completed = true; });
  EXPECT_EQ(r, EMsgBoxResult::Yes);
  EXPECT_FALSE(completed);
  EXPECT_EQ(dlg.GetGraphics(), nullptr);
}

TEST_F(Lifetime, AFieldCommitThatClosesTheEditor) {
  open();
  left->onEvent = [this](Recorder&, const Recorder::Event& e) {
    if (e.what.rfind("text", 0) == 0) dlg.CloseWindow();
  };
  script.commitText("bye");
  g->CreateTextEntry(*left, IText(14.f), left->GetRECT(), "", kEveryValIdx);
  cfshim::DrainMainQueue();
  EXPECT_EQ(dlg.GetGraphics(), nullptr);
  EXPECT_EQ(script.textEntries[0].delivered, "bye");
}

}  // namespace
