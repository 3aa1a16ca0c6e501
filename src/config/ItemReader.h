// The lexical layer of the parameter file: items and the rest of a line.
//
// The file is single-byte text (Windows-1250) held in memory. Space, TAB, CR
// and LF separate items; an item is a maximal run of other bytes. Reading an
// item skips the separators before it and consumes the one separator after it,
// so that the rest of the line starts right behind the item.
//
// A run longer than 255 bytes is consumed whole as one item and kept cut to its
// first 255 bytes; the comment rule looks at the run's real last byte. Every
// byte is looked at a constant number of times, so any file is read in linear
// time.
//
// Comments: an item that begins with "{" opens one, an item that ends with "}"
// closes it; everything from the opening item to the closing one is skipped. An
// item ending with "}" is skipped outside a comment too. Comments do not nest;
// the end of the file inside a comment ends the item stream. The item "$DIAGS"
// (exact case) switches the debug log on wherever it stands, in a comment too.
#ifndef ZL_CONFIG_ITEMREADER_H
#define ZL_CONFIG_ITEMREADER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zl {

struct LoadContext;
struct FilePlace;

class ItemReader {
 public:
  // The reader does not copy text: it must outlive the reader.
  ItemReader(LoadContext &ctx, std::string_view text) : ctx_(ctx), text_(text) {}

  // Delivers the next item: ctx.RawItem as read (cut to 255), ctx.CurrentItem
  // upper-cased (ASCII letters) and cut to 80, and the "PARfile ITEM" debug
  // line. At the end of the file both become empty and the answer is false.
  bool Next();
  // True once an item was asked for and the file had none left.
  bool AtEnd() const { return atEnd_; }

  // The rest of the current line from the reading position, at most 255
  // bytes. A line ends at CR LF, a bare LF or a bare CR; the line end and any
  // bytes of the line beyond the 255 are consumed.
  std::string RestOfLine();

  // The byte offset of the item last delivered (of the end of the file once
  // there is none), and the line and column of an offset.
  std::size_t ItemOffset() const { return itemOffset_; }
  FilePlace PlaceOf(std::size_t offset);

 private:
  // The next run of non-separators (consuming the separator after it); false
  // at the end of the file.
  bool NextRun(std::string_view &run);

  LoadContext &ctx_;
  std::string_view text_;
  std::size_t pos_ = 0;
  bool atEnd_ = false;
  std::size_t itemOffset_ = 0;
  // PlaceOf counts lines from where it last stopped (offsets mostly grow).
  std::size_t placeOffset_ = 0;
  std::size_t lineStart_ = 0;
  uint32_t line_ = 1;
};

}  // namespace zl

#endif  // ZL_CONFIG_ITEMREADER_H
