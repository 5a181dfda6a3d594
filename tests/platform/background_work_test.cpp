// The pumped wait over a real dialog: what it disables while the work runs,
// that the dialog answers meanwhile, and what it gives back afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>

#include "platform/win32/toolkit/background_work.h"

namespace oriel {
namespace {

struct Looks {
  std::array<bool, 3> buttons{};
  bool owner = false;
  bool closeBox = false;
};

Looks LooksOf(HWND owner, HWND dialog, const std::array<HWND, 3>& buttons) {
  Looks looks;
  for (std::size_t i = 0; i < buttons.size(); ++i) looks.buttons[i] = IsWindowEnabled(buttons[i]) != FALSE;
  looks.owner = IsWindowEnabled(owner) != FALSE;
  // https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getmenustate
  looks.closeBox = (GetMenuState(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) == 0;
  return looks;
}

TEST(RunWhileAnswering, DisablesThePageInsideTheWorkAndGivesItBackAfter) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"beneath", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                               nullptr, nullptr, nullptr);
  // The dialog manager's own class: https://learn.microsoft.com/en-us/windows/win32/winmsg/about-window-classes
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, L"#32770", L"page", WS_POPUP | WS_CAPTION | WS_SYSMENU |
                                WS_VISIBLE, 20, 20, 260, 160, owner, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  ASSERT_NE(dialog, nullptr);
  std::array<HWND, 3> buttons{};
  for (int i = 0; i < 3; ++i) {
    buttons[i] = CreateWindowExW(0, L"BUTTON", L"button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                 10 + 80 * i, 90, 70, 24, dialog, reinterpret_cast<HMENU>(INT_PTR{100 + i}), nullptr,
                                 nullptr);
    ASSERT_NE(buttons[i], nullptr);
  }
  EnableWindow(buttons[2], FALSE);  // disabled by the page itself: stays so
  SetFocus(buttons[1]);

  Looks inside;
  bool answered = false;
  win32::RunWhileAnswering(dialog, [&] {
    inside = LooksOf(owner, dialog, buttons);
    DWORD_PTR result = 0;
    // Sent from the work's thread: only a wait that pumps answers it.
    answered = SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
  });
  const Looks after = LooksOf(owner, dialog, buttons);

  EXPECT_EQ(inside.buttons, (std::array<bool, 3>{false, false, false}));
  EXPECT_FALSE(inside.owner);
  EXPECT_FALSE(inside.closeBox);
  EXPECT_TRUE(answered);
  EXPECT_EQ(after.buttons, (std::array<bool, 3>{true, true, false}));
  EXPECT_TRUE(after.owner);
  EXPECT_TRUE(after.closeBox);
  EXPECT_EQ(GetFocus(), buttons[1]);
  DestroyWindow(dialog);
  DestroyWindow(owner);
}

}  // namespace
}  // namespace oriel
