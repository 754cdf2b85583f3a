# SPDX-License-Identifier: GPL-2.0-or-later
# Writes the bytes of each input file into OUTPUT as a span named after it,
# in NAMESPACE: cmake -DOUTPUT=file.cpp -DNAMESPACE=ns -DINPUTS="name=file.bin;..."
#     -P embed_binary.cmake
set(text "// Generated from assembled 6502 sources; do not edit.\n#include <cstdint>\n#include <span>\n\nnamespace ${NAMESPACE} {\n")
foreach(entry ${INPUTS})
    string(REPLACE "=" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 file)
    file(READ "${file}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND text "\nnamespace {\nconst std::uint8_t ${name}Bytes[] = {${bytes}};\n}\n"
                       "extern const std::span<const std::uint8_t> ${name};\n"
                       "const std::span<const std::uint8_t> ${name}(${name}Bytes);\n")
endforeach()
string(APPEND text "\n}  // namespace ${NAMESPACE}\n")
file(WRITE "${OUTPUT}.tmp" "${text}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
