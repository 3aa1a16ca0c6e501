// libzlnetdrv.so as a host loads it: exactly the ABI in its dynamic symbol
// table, a SONAME, no dependencies beyond the C and C++ runtimes, and a
// lifecycle through dlopen.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "support/TestSupport.h"
#include "zlnetdrv.h"

namespace zl {
namespace {

const std::string kLibrary = std::string(ZL_BINARY_DIR) + "/libzlnetdrv.so";

std::string CommandOutput(const std::string &command) {
  std::string out;
  if (std::FILE *p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

TEST(SharedLibrary, ExportsExactlyTheHostInterface) {
  // Lines of `nm -D --defined-only`: value, type, name[@version].
  std::istringstream nm(CommandOutput("nm -D --defined-only '" + kLibrary + "' 2>/dev/null"));
  std::set<std::string> functions, others;
  std::string line;
  while (std::getline(nm, line)) {
    std::istringstream fields(line);
    std::string value, type, name;
    if (!(fields >> value >> type >> name)) continue;
    name = name.substr(0, name.find('@'));
    if (type == "A") continue;  // the version node itself
    (type == "T" ? functions : others).insert(name);
  }
  const std::set<std::string> abi = {"Version",
                                     "Check",
                                     "GetDriverInfo",
                                     "MakeDriver",
                                     "DisposeDriver",
                                     "DriverCallBack",
                                     "Init",
                                     "BufferInfo",
                                     "SetBufferAddr",
                                     "InputRequest",
                                     "InputRequestCompleted",
                                     "InputFinalized",
                                     "GetInput",
                                     "OutputRequest",
                                     "OutputRequestCompleted",
                                     "OutputFinalized",
                                     "DriverProc",
                                     "QueryProc",
                                     "Done",
                                     "PumpMessages",
                                     "MessageFd",
                                     "GetStatusWindow",
                                     "GetChannelMap",
                                     "ClickButton"};
  ASSERT_EQ(abi.size(), 24u);
  EXPECT_EQ(functions, abi);
  EXPECT_TRUE(others.empty()) << *others.begin();
}

TEST(SharedLibrary, HasASonameAndNeedsOnlyTheRuntimes) {
  std::istringstream dyn(CommandOutput("readelf -d '" + kLibrary + "' 2>/dev/null"));
  std::string line, soname;
  std::set<std::string> needed;
  while (std::getline(dyn, line)) {
    std::size_t open = line.find('['), close = line.find(']');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::string value = line.substr(open + 1, close - open - 1);
    if (line.find("(SONAME)") != std::string::npos) soname = value;
    if (line.find("(NEEDED)") != std::string::npos) needed.insert(value);
  }
  EXPECT_EQ(soname.rfind("libzlnetdrv.so.", 0), 0u) << soname;
  for (const std::string &lib : needed) {
    bool runtime = false;
    for (const char *allowed :
         {"libc.so", "libstdc++.so", "libpthread.so", "libm.so", "libgcc_s.so", "ld-linux",
          "libasan.so", "libubsan.so", "libtsan.so"}) {
      runtime = runtime || lib.rfind(allowed, 0) == 0;
    }
    EXPECT_TRUE(runtime) << lib;
  }
}

template <class F>
F Symbol(void *lib, const char *name) {
  return reinterpret_cast<F>(::dlsym(lib, name));
}

TEST(SharedLibrary, RunsALifecycleWhenLoadedWithDlopen) {
  test::TempDir dir;
  // Kept loaded: the driver's texts live until the process ends.
  void *lib = ::dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << ::dlerror();
  auto version = Symbol<uint32_t (*)()>(lib, "Version");
  auto make = Symbol<void *(*)()>(lib, "MakeDriver");
  auto init =
      Symbol<uint8_t (*)(void *, int32_t, const char *, uint32_t, char *, int32_t)>(lib, "Init");
  auto status = Symbol<int32_t (*)(void *, char *, int32_t)>(lib, "GetStatusWindow");
  auto done = Symbol<void (*)(void *)>(lib, "Done");
  auto dispose = Symbol<void (*)(void *)>(lib, "DisposeDriver");
  ASSERT_TRUE(version && make && init && status && done && dispose);

  EXPECT_EQ(version(), 0x30000u);
  void *h = make();
  ASSERT_NE(h, nullptr);
  char text[256] = "zlpoll";
  std::string missing = dir.File("NONE.PAR");
  EXPECT_EQ(init(h, 255, missing.c_str(), 0, text, 0), 0);
  EXPECT_GT(std::strlen(text), 0u);
  char json[8192];
  EXPECT_GT(status(h, json, sizeof json), 0);
  EXPECT_NE(std::string(json).find("\"caption\":\"ZLNETDRV\""), std::string::npos);
  done(h);
  EXPECT_NE(test::TempDir::Read(dir.File("ZLNETDRV.LOG")).find(" done : end\r\n"),
            std::string::npos);
  dispose(h);
}

}  // namespace
}  // namespace zl
