#include "port/DrivePath.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace zl {
namespace {

namespace fs = std::filesystem;

TEST(DrivePath, FindsExistingComponentsRegardlessOfCaseAndKeepsNewNames) {
  test::TempDir dir;  // drive C: is the folder
  fs::create_directories(dir.File("Data/Sub"));
  EXPECT_EQ(MapDrivePath("C:\\DATA\\SUB\\New.Log"), dir.File("Data/Sub/New.Log"));
  EXPECT_EQ(MapDrivePath("c:/data/sub/"), dir.File("Data/Sub/"));
  EXPECT_TRUE(DirectoryExists("C:\\DATA\\SUB"));
  EXPECT_FALSE(DirectoryExists("C:\\DATA\\NONE"));
}

TEST(DrivePath, PrefersTheExactNameWhenSeveralDifferInCase) {
  test::TempDir dir;
  fs::create_directories(dir.File("abc"));
  fs::create_directories(dir.File("ABC"));
  EXPECT_EQ(MapDrivePath("C:\\ABC"), dir.File("ABC"));
  EXPECT_EQ(MapDrivePath("C:\\abc"), dir.File("abc"));
}

TEST(DrivePath, RootsOfTheDifferentPathForms) {
  test::TempDir dir;
  ::unsetenv("ZLNETDRV_DRIVE_Q");
  EXPECT_EQ(MapDrivePath("Q:\\X"), "");  // an unmapped drive names nothing
  EXPECT_FALSE(DirectoryExists("Q:\\"));
  ::setenv("ZLNETDRV_DRIVE_Q", dir.path().c_str(), 1);
  EXPECT_EQ(MapDrivePath("q:\\X"), dir.File("X"));
  ::unsetenv("ZLNETDRV_DRIVE_Q");

  EXPECT_EQ(MapDrivePath("/var/lib/zl/cuc"), "/var/lib/zl/cuc");        // native
  EXPECT_EQ(MapDrivePath("\\ZLNETDRV.LOG"), dir.File("ZLNETDRV.LOG"));  // drive C:'s root
  // ".." stops at the drive's root, as on Windows.
  EXPECT_EQ(MapDrivePath("C:\\..\\..\\x"), dir.File("x"));
}

// A host that maps no drive C: keeps its log and sample files in the user's
// state folder, never in the folder it was started from.
TEST(DrivePath, AnUnmappedDriveCIsTheUsersStateFolder) {
  test::TempDir dir;
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::unsetenv("ZLNETDRV_DRIVE_C");
  ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
  EXPECT_EQ(MapDrivePath("C:\\ZLNETDRV.LOG"), dir.File("state/zlnetdrv/ZLNETDRV.LOG"));
  EXPECT_TRUE(DirectoryExists("C:\\"));
  ::unsetenv("XDG_STATE_HOME");
  ::setenv("HOME", dir.File("home").c_str(), 1);
  EXPECT_EQ(MapDrivePath("\\X.CUC"), dir.File("home/.local/state/zlnetdrv/X.CUC"));
  EXPECT_TRUE(fs::is_directory(dir.File("home/.local/state/zlnetdrv")));
  if (home.empty())
    ::unsetenv("HOME");
  else
    ::setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace zl
