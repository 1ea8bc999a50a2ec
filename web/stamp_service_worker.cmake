# Writes the page's service worker: TEMPLATE with @PAGE_FILES@ replaced by
# the cached files (FILES, relative to DIR; "./" is the page itself),
# @PAGE_BUILD@ by the first 16 hex digits of a SHA-256 over their contents,
# so that any change of a file names a new cache, and @PAGE_STORAGE_PREFIX@
# by the prefix of everything the page keeps, as KEYS (storage_keys.js)
# exports it.
#   cmake -DTEMPLATE=... -DDIR=... -DFILES="a;b" -DKEYS=... -DOUT=... -P stamp_service_worker.cmake
file(STRINGS "${KEYS}" prefix_lines REGEX "^export const storagePrefix = '[a-z-]+';$")
list(LENGTH prefix_lines prefix_count)
if(NOT prefix_count EQUAL 1)
  message(FATAL_ERROR "${KEYS}: expected one line \"export const storagePrefix = '...';\"")
endif()
string(REGEX MATCH "'([a-z-]+)'" prefix_quoted "${prefix_lines}")
set(PAGE_STORAGE_PREFIX "${CMAKE_MATCH_1}")
set(digests "")
set(names "")
foreach(file IN LISTS FILES)
  if(file STREQUAL "./")
    file(SHA256 "${DIR}/index.html" digest)
  else()
    file(SHA256 "${DIR}/${file}" digest)
  endif()
  string(APPEND digests "${file} ${digest}\n")
  if(names)
    string(APPEND names ", ")
  endif()
  string(APPEND names "'${file}'")
endforeach()
string(SHA256 build "${digests}")
string(SUBSTRING "${build}" 0 16 PAGE_BUILD)
set(PAGE_FILES "${names}")
configure_file("${TEMPLATE}" "${OUT}" @ONLY)
