// The lexical rules: items, comments, "$DIAGS", cutting, the rest of a line.
#include "config/ItemReader.h"

#include <gtest/gtest.h>

#include "config/LoadContext.h"
#include "core/DebugLog.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

std::vector<std::string> Items(std::string_view text) {
  LoadContext di;
  ItemReader reader(di, text);
  std::vector<std::string> items;
  while (reader.Next()) items.push_back(di.CurrentItem.str());
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_TRUE(di.CurrentItem.empty());
  return items;
}

using V = std::vector<std::string>;

TEST(ItemReader, DeliversItemsUnderEveryLexicalRule) {
  struct Case {
    const char *what;
    std::string text;
    V items;
  } cases[] = {
      {"four separators", "a\tb\r\nc  d\ne\rf", {"A", "B", "C", "D", "E", "F"}},
      {"only ASCII letters upper-cased", "abc\xE8\xF8 x1", {"ABC\xE8\xF8", "X1"}},
      {"comment of several items", "a { one two } b", {"A", "B"}},
      {"comment in one item", "a {one} b", {"A", "B"}},
      {"END inside a comment", "{ END } b", {"B"}},
      {"item ending in } outside a comment", "a END} } b", {"A", "B"}},
      {"comments do not nest", "{ a { b } c }", {"C"}},
      {"braces inside an item", "a{b", {"A{B"}},
      {"file ends inside a comment", "a { b c", {"A"}},
      {"empty file", "", {}},
      {"only separators", " \r\n\t ", {}},
      {"NUL bytes are item bytes", std::string("\0\0 a", 4), {std::string("\0\0", 2), "A"}},
  };
  for (const Case &c : cases) EXPECT_EQ(Items(c.text), c.items) << c.what;
}

TEST(ItemReader, ALongRunIsOneItemCutTo80AndItsRawCopyTo255) {
  LoadContext di;
  std::string text = std::string(300, 'a') + " " + std::string(300, 'b') + "} next";
  ItemReader reader(di, text);
  ASSERT_TRUE(reader.Next());
  EXPECT_EQ(di.CurrentItem.str(), std::string(80, 'A'));
  EXPECT_EQ(di.RawItem.str(), std::string(255, 'a'));
  // The comment rule looks at the run's real last byte: the second run ends
  // in "}" and is skipped whole.
  ASSERT_TRUE(reader.Next());
  EXPECT_EQ(di.CurrentItem.str(), "NEXT");
}

TEST(ItemReader, RestOfLineStartsBehindTheItemsSeparator) {
  struct Case {
    const char *what;
    std::string text;
    int itemsBefore;
    std::string rest;
    std::string nextItem;
  } cases[] = {
      {"CR LF: the CR ended the item", "NAME x\r\nNEXT", 2, "", "NEXT"},
      {"bare LF: the whole next line", "NAME x\nNEXT line\nLAST", 2, "NEXT line", "LAST"},
      {"blank ended the item", "a b  c\r\nd", 1, "b  c", "D"},
      {"bare CR ends a line", "a b\rc", 1, "b", "C"},
      {"end of file", "a", 1, "", ""},
      {"cut to 255, the line consumed", "a " + std::string(300, 'z') + "\r\nq", 1,
       std::string(255, 'z'), "Q"},
  };
  for (const Case &c : cases) {
    LoadContext di;
    ItemReader reader(di, c.text);
    for (int i = 0; i < c.itemsBefore; ++i) reader.Next();
    EXPECT_EQ(reader.RestOfLine(), c.rest) << c.what;
    reader.Next();
    EXPECT_EQ(di.CurrentItem.str(), c.nextItem) << c.what;
  }
}

TEST(ItemReader, DiagsSwitchesTheLogOnAnywhereAndEveryItemIsLogged) {
  test::TempDir dir;  // drive C: and so the log file are in here
  struct Case {
    std::string text;
    bool enables;
  } cases[] = {{"a $DIAGS b", true}, {"{ $DIAGS }", true}, {"$diags", false}, {"$DIAGS}", false}};
  for (const Case &c : cases) {
    DebugLog log;
    LoadContext di;
    di.DebugSink = [&log](std::string_view label, std::string_view text) {
      log.Write(label, text);
    };
    di.DebugRequested = [&log] { log.Enable(); };
    ItemReader reader(di, c.text);
    while (reader.Next()) {
    }
    EXPECT_EQ(log.Enabled(), c.enables) << c.text;
  }
  std::string log = test::TempDir::Read(dir.File("ZLNETDRV.LOG"));
  EXPECT_NE(log.find("PARfile ITEM : $DIAGS\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("PARfile ITEM : b\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("PARfile ITEM : a\r\n"), std::string::npos) << "logged before $DIAGS";
}

}  // namespace
}  // namespace zl
