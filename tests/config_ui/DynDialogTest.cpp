// The dialog assembled at run time, on the headless window system: placement, ids, the template's
// bytes as the window system reads them, data exchange, command forwarding and failures.

#include "config_ui/CDynDialogEx.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/DialogTemplate.h"
#include "ui/headless/HeadlessToolkit.h"

namespace {

using ui::headless::HeadlessToolkit;
using ui::headless::HeadlessWindow;

constexpr uint32_t kChildVisible = 0x50000000;

class DynDialog : public ::testing::Test {
 protected:
  void SetUp() override { ui::SetToolkit(&toolkit); }
  void TearDown() override { ui::SetToolkit(nullptr); }
  HeadlessToolkit toolkit;
};

// Records the commands a parent window receives.
struct Recorder : ui::MessageHandler {
  intptr_t OnMessage(ui::Window&, uint32_t message, uintptr_t wParam, intptr_t) override {
    if (message == ui::msg::kCommand) commands.push_back(static_cast<int>(wParam));
    return 0;
  }
  std::vector<int> commands;
};

// Runs before any other test of this process takes an automatic id (ctest runs each test alone).
TEST_F(DynDialog, AutomaticIdsStartAt1024ForTheProcess) {
  CDynDialogEx dialog;
  EXPECT_EQ(dialog.AddControl(129, "", kChildVisible, 0), 1024);
  EXPECT_EQ(dialog.AddControl(129, "", kChildVisible, 0), 1025);
  EXPECT_EQ(dialog.AddControl(129, "", kChildVisible, 0, nullptr, {}, 77), 77);
}

TEST_F(DynDialog, ControlsWithoutRectanglesStackAndTheButtonsFollow) {
  CDynDialogEx dialog;
  dialog.SetWindowTitle("Hello");
  for (int i = 0; i < 3; ++i) dialog.AddControl(129, "", kChildVisible, 0);
  EXPECT_EQ(dialog.DoModal(), ui::kIdCancel) << "nobody pressed a button";
  const auto& items = dialog.GetItems();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0]->GetRect(), (ui::Rect{10, 10, 120, 22}));
  EXPECT_EQ(items[1]->GetRect().top, 22);
  EXPECT_EQ(items[2]->GetRect().top, 34);
  EXPECT_EQ(items[3]->GetRect(), (ui::Rect{10, 52, 60, 66}));
  EXPECT_EQ(items[3]->GetCaption(), "OK");
  EXPECT_EQ(items[4]->GetRect(), (ui::Rect{65, 52, 115, 66}));
  EXPECT_EQ(items[4]->GetCaption(), "Annuleren");
  EXPECT_EQ(items[4]->GetControlId(), ui::kIdCancel);
  // The dialog reaches 5 beyond the right and bottom of its controls.
  EXPECT_EQ(dialog.GetHeader().cx, 125);
  EXPECT_EQ(dialog.GetHeader().cy, 71);

  CDynDialogEx named;
  named.AddControlByName("EDIT", "", kChildVisible, 0);
  EXPECT_EQ(named.GetItems()[0]->GetRect(), (ui::Rect{10, 10, 270, 22})) << "by name: 150 wider";
  EXPECT_EQ(CDynDialogItemEx::ClassCodeOf("SysDateTimePick32"), 143);
  EXPECT_EQ(CDynDialogItemEx::ClassCodeOf("EDITOR"), 129) << "a table name that starts the given one";
  EXPECT_EQ(CDynDialogItemEx::ClassCodeOf("edit"), 0) << "case counts";
}

TEST_F(DynDialog, TheTemplateIsWhatTheWindowSystemReads) {
  CDynDialogEx dialog;
  dialog.SetWindowTitle("Hello");
  dialog.SetUseSystemButtons(false);
  const ui::Rect first{7, 13, 60, 26}, second{67, 13, 120, 26};
  dialog.AddTemplateControl("SysDateTimePick32", "", kChildVisible, 0, &first, 300);
  dialog.AddTemplateControl("STATIC", "Time", kChildVisible, 0, &second, 301);
  dialog.DoModal();
  // 18 + 2 + 2 + "Hello" (12) + 2 + "MS Sans Serif" (28) = 64 bytes of header block; then each item
  // at a 4-byte boundary: 18 + 4 + its caption + 2.
  const std::size_t header = 64;
  EXPECT_EQ(toolkit.lastTemplate.size(), header + (18 + 4 + 2 + 2 + 2) + (18 + 4 + 10 + 2));
  EXPECT_EQ(toolkit.lastDialog.face, "MS Sans Serif");
  EXPECT_EQ(toolkit.lastDialog.pointSize, 8);
  EXPECT_EQ(toolkit.lastDialog.caption, "Hello");
  EXPECT_EQ(toolkit.lastDialog.style, 0x10C80040u);
  ASSERT_EQ(toolkit.lastDialog.items.size(), 2u);
  const ui::DialogTemplateItem& time = toolkit.lastDialog.items[1];
  EXPECT_EQ(time.classCode, 130);
  EXPECT_EQ(time.className, "STATIC");
  EXPECT_EQ(time.caption, "Time");
  EXPECT_EQ(time.id, 301);
  EXPECT_EQ(time.x, 67);
  EXPECT_EQ(time.cx, 53);
  EXPECT_EQ(toolkit.lastDialog.items[0].classCode, 143);
  EXPECT_EQ(toolkit.movableBlocks, 0) << "the template is freed";

  // The font: the parent's when the dialog has none.
  HeadlessWindow parent("#32770", nullptr, 0, 0, nullptr);
  parent.SetFont(ui::Font{"Tahoma", 9});
  CDynDialogEx child(&parent);
  child.DoModal();
  EXPECT_EQ(toolkit.lastDialog.face, "Tahoma");
  EXPECT_EQ(toolkit.lastDialog.pointSize, 9);
}

TEST_F(DynDialog, BoundValuesReachTheControlsAndComeBackOnlyOnOk) {
  std::string text = "before";
  int checked = 1;
  int radio = 1;
  ui::DateTime when{2026, 12, 9, 14, 30, 0};
  auto run = [&](int button, const std::string& typed) {
    CDynDialogEx dialog;
    const int edit = dialog.AddControl(129, "", kChildVisible, 0, nullptr, &text);
    const int check = dialog.AddControl(128, "Check", kChildVisible | 3, 0, nullptr, &checked);
    const int first = dialog.AddControl(128, "A", kChildVisible | ui::style::kGroup | 9, 0, nullptr, &radio);
    const int second = dialog.AddControl(128, "B", kChildVisible | 9, 0);
    const int picker = dialog.AddControl(143, "", kChildVisible, 0, nullptr, &when);
    toolkit.onModal = [&](HeadlessWindow& shown) {
      EXPECT_EQ(shown.Child(edit)->GetText(), "before");
      EXPECT_EQ(shown.Child(check)->GetCheck(), 1);
      EXPECT_EQ(shown.Child(second)->GetCheck(), 1);
      EXPECT_EQ(shown.Child(first)->GetCheck(), 0);
      EXPECT_EQ(shown.Child(picker)->GetDateTime(), when);
      EXPECT_EQ(shown.Child(edit)->WindowRect(), (ui::Rect{15, 16, 180, 35})) << "dialog units to pixels";
      EXPECT_TRUE(shown.Centred());
      shown.Child(edit)->SetText(typed);
      shown.Child(check)->SetCheck(0);
      shown.Child(first)->SetCheck(1);
      shown.Child(second)->SetCheck(0);
      shown.Click(button);
    };
    return dialog.DoModal();
  };
  EXPECT_EQ(run(ui::kIdCancel, "typed"), ui::kIdCancel);
  EXPECT_EQ(text, "before");
  EXPECT_EQ(checked, 1);
  EXPECT_EQ(run(ui::kIdOk, "after"), ui::kIdOk);
  EXPECT_EQ(text, "after");
  EXPECT_EQ(checked, 0);
  EXPECT_EQ(radio, 0);
}

TEST_F(DynDialog, OtherCommandsGoToTheParentAndFailuresAreReported) {
  Recorder recorder;
  HeadlessWindow parent("#32770", nullptr, 0, 0, &recorder);
  CDynDialogEx dialog(&parent);
  dialog.AddControl(128, "Apply", kChildVisible, 0, nullptr, {}, 1030);
  dialog.AddControl(129, "", kChildVisible, 0);
  dialog.AddControl(130, "", kChildVisible, 0);
  toolkit.failCreate = {"EDIT"};
  toolkit.failMove = {"STATIC"};
  toolkit.onModal = [](HeadlessWindow& shown) {
    shown.Click(1030);
    shown.Click(ui::kIdOk);
  };
  EXPECT_EQ(dialog.DoModal(), ui::kIdOk);
  EXPECT_EQ(recorder.commands, std::vector<int>{1030});
  EXPECT_EQ(toolkit.messageBoxes,
            (std::vector<std::string>{"Failed to create DlgItem.", "Failed SetWindowPos for control STATIC."}));

  toolkit.messageBoxes.clear();
  toolkit.failLock = true;
  EXPECT_EQ(CDynDialogEx().DoModal(), -1);
  EXPECT_EQ(toolkit.movableBlocks, 0);
  toolkit.failAlloc = true;
  EXPECT_EQ(CDynDialogEx().DoModal(), -1);
  EXPECT_EQ(toolkit.messageBoxes, (std::vector<std::string>{"CDynDialogEx::DoModal() : LocalLock Failed",
                                                            "CDynDialogEx::DoModal() : LocalAllock Failed"}));
}

}  // namespace
