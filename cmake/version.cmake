# Writes OUT, a header with the program's version: the project's version and,
# when built from a git checkout, the revision. Runs at every build, and
# rewrites the header only when the text changed, so nothing rebuilds for it.
#   cmake -DSOURCE_DIR=... -DVERSION=... -DOUT=... -P version.cmake
execute_process(COMMAND git -C "${SOURCE_DIR}" describe --always --dirty --abbrev=10
                OUTPUT_VARIABLE revision ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
if(failed OR revision STREQUAL "")
  set(text "${VERSION}")
else()
  set(text "${VERSION} (git ${revision})")
endif()
file(WRITE "${OUT}.new" "#pragma once\n// Generated at build time by cmake/version.cmake.\nnamespace labyrinth {\n"
     "inline constexpr const char* versionText = \"${text}\";\n}  // namespace labyrinth\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
