# Writes a C++ source that holds the bytes of INPUT as a string constant named NAME in namespace tide.
# Used so that the built-in English pack is the very file that is also compiled in as a resource.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_len)
math(EXPR byte_count "${hex_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," body "${hex}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n" body "${body}")
file(WRITE "${OUTPUT}.new"
"// Generated from ${INPUT_NAME} at build time; do not edit.\n#include <string_view>\n\nnamespace tide {\nnamespace {\nconstexpr char k_bytes[] = {\n${body}'\\0'};\n}\nextern const std::string_view ${NAME}(k_bytes, ${byte_count});\n}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
