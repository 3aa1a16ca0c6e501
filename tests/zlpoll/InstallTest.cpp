// cmake --install: the library with its SONAME links, the header, the
// pkg-config file, the programs, the man pages and the examples, each in its
// usual place; the installed zlpoll finds the installed library by itself.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace zl::test {
namespace {

namespace fs = std::filesystem;

TEST(Install, PutsEveryPieceInItsUsualPlace) {
  TempDir dir;
  const std::string prefix = dir.File("prefix");
  const ChildResult r =
      RunChild(ZL_CMAKE_COMMAND, {"--install", ZL_BINARY_DIR, "--prefix", prefix}, {}, 120);
  ASSERT_EQ(r.Exit, 0) << r.Out << r.Err;
  const std::string lib = prefix + "/" ZL_INSTALL_LIBDIR "/";
  for (const std::string &file :
       {prefix + "/bin/zlpoll", prefix + "/bin/zlsim", prefix + "/include/zlnetdrv.h",
        lib + "libzlnetdrv.so.1.101.0", prefix + "/share/man/man1/zlpoll.1",
        prefix + "/share/man/man1/zlsim.1", prefix + "/share/doc/zlnetdrv/examples/demo.par",
        prefix + "/share/doc/zlnetdrv/examples/minimal.par",
        prefix + "/share/doc/zlnetdrv/examples/host_example.c"}) {
    EXPECT_TRUE(fs::is_regular_file(file)) << file;
  }
  EXPECT_EQ(fs::read_symlink(lib + "libzlnetdrv.so.1"), "libzlnetdrv.so.1.101.0");
  EXPECT_EQ(fs::read_symlink(lib + "libzlnetdrv.so"), "libzlnetdrv.so.1");
  const std::string pc = TempDir::Read(lib + "pkgconfig/zlnetdrv.pc");
  EXPECT_NE(pc.find("prefix=" + prefix + "\n"), std::string::npos) << pc;
  EXPECT_NE(pc.find("Libs: -L${libdir} -lzlnetdrv"), std::string::npos) << pc;

  const ChildResult poll =
      RunChild(prefix + "/bin/zlpoll",
               {"--drive-c", dir.path(), std::string(ZL_SOURCE_DIR) + "/examples/minimal.par",
                "get", "490", "-1"},
               {"ZLNETDRV_LIBRARY="});
  EXPECT_EQ(poll.Exit, 0) << poll.Err;
}

// zlpoll reaches the driver only through the library it loads, as any host:
// the program holds the configuration reader and what lies below it, none of
// the engine.
TEST(Install, ZlpollCarriesNoCopyOfTheDriversEngine) {
  const ChildResult r = RunChild(ZL_NM_COMMAND, {"-C", ZLPOLL_PROGRAM}, {}, 120);
  ASSERT_EQ(r.Exit, 0) << r.Err;
  ASSERT_NE(r.Out.find("zl::ReadParameterFile"), std::string::npos) << "no symbols to look at";
  for (const char *engine : {"zl::CycleStep", "zl::DecodeResponse", "zl::BuildRequestFrame",
                             "zl::CommThread", "zl::GatewayClient", "zl::DriverInstance"}) {
    EXPECT_EQ(r.Out.find(engine), std::string::npos) << engine;
  }
}

}  // namespace
}  // namespace zl::test
