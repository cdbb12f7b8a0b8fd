# Writes a C++ source that holds a file's bytes as an array.
#   cmake -DINPUT=file -DOUTPUT=source.cpp -DNAME=kName -DHEADER=path/of/header.h -P embed_file.cmake
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUTPUT} "// Made by the build from ${INPUT}.\n#include \"${HEADER}\"\n\nnamespace pap {\n\nconst uint8_t ${NAME}[] = {\n    ${bytes}\n};\nconst size_t ${NAME}Size = ${size};\n\n}  // namespace pap\n")
