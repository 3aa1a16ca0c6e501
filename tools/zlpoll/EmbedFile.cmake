# Writes a C++ source holding the bytes of INPUT as zl::poll::kEmbeddedDemoPar,
# so that zlpoll carries the demonstration line's parameter file exactly as it
# stands in the tree. Run by CMake in script mode at build time.
file(READ "${INPUT}" content HEX)
string(LENGTH "${content}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n  "
       bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time; do not edit.\n"
  "#include <cstddef>\n\n"
  "namespace zl::poll {\n"
  "extern const unsigned char kEmbeddedDemoPar[] = {\n  ${bytes}0x00};\n"
  "extern const std::size_t kEmbeddedDemoParSize = ${size};\n"
  "}  // namespace zl::poll\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
