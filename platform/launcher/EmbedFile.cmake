# Writes a C++ source that holds the bytes of INPUT as the array NAME (with NAME_size)
# in namespace launcher:  cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=kName -P EmbedFile.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.new"
  "// Generated from ${INPUT} at build time.\n#include <cstddef>\n\nnamespace launcher {\n"
  "extern const unsigned char ${NAME}[] = {\n${bytes}\n};\n"
  "extern const size_t ${NAME}Size = ${size};\n}  // namespace launcher\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
