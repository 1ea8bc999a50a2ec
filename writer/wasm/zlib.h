// The one function of zlib that the patches use, for the WebAssembly build:
// Debian's Emscripten ships no zlib, so the module takes CRC32 from pako, the
// JavaScript port of zlib (Debian's node-pako), through web/crc32_pako.js.
#ifndef LABYRINTH_WASM_ZLIB_H
#define LABYRINTH_WASM_ZLIB_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/// zlib's crc32_z: the CRC32 of `len` bytes at `buf`, continuing from `crc`.
unsigned long crc32_z(unsigned long crc, const unsigned char* buf, size_t len);

#ifdef __cplusplus
}
#endif

#endif
