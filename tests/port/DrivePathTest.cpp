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

}  // namespace
}  // namespace zl
