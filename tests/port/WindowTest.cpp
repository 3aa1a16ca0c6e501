#include "port/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace zl {
namespace {

const Font kFont{"Small Fonts", 9, false};

TEST(Memo, KeepingNewestDeletesOneOldLinePerAdd) {
  Memo memo("EventList", 0, 0, 10, 10, kFont);
  for (int i = 1; i <= 13; ++i) memo.AddKeepingNewest(std::to_string(i), 12);
  ASSERT_EQ(memo.Count(), 12u);
  EXPECT_EQ(memo.Lines().front(), "2");
  EXPECT_EQ(memo.Lines().back(), "13");

  // Lines added outside the rule make the memo longer; each later add
  // deletes only one.
  memo.Add("a");
  memo.Add("b");
  memo.AddKeepingNewest("c", 12);
  EXPECT_EQ(memo.Count(), 14u);
  EXPECT_EQ(memo.Lines().front(), "3");
  memo.Delete(99);  // out of range: nothing
  EXPECT_EQ(memo.Count(), 14u);
}

TEST(Form, FocusIsRefusedWhileHiddenOrDisabledAndLostOnHide) {
  Form form("X", 1, 2, 30, 40);
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(form.SetFocus());
  form.Show();
  EXPECT_TRUE(form.SetFocus());
  EXPECT_TRUE(form.Focused());
  form.Hide();
  EXPECT_FALSE(form.Focused());
  form.Show();
  form.SetEnabled(false);
  EXPECT_FALSE(form.SetFocus());
  form.SetEnabled(true);
  form.Minimize();
  EXPECT_EQ(form.State(), WindowState::Minimized);
  form.Restore();
  EXPECT_EQ(form.State(), WindowState::Normal);
}

TEST(Label, CaptionUpdatesFromTwoThreadsLoseNothing) {
  Label label("Label2", 0, 0, kFont);
  auto count = [&] {
    for (int i = 0; i < 2000; ++i) {
      label.UpdateCaption([](std::string_view c) { return std::string(c) + "."; });
    }
  };
  std::thread other(count);
  count();
  other.join();
  EXPECT_EQ(label.Caption().size(), 4000u);
  EXPECT_FALSE(label.SetCaptionIfDifferent(label.Caption()));
  EXPECT_TRUE(label.SetCaptionIfDifferent("x"));
}

}  // namespace
}  // namespace zl
