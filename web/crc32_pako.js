// crc32_z (web/zlib/zlib.h) for the module: pako's CRC32, the JavaScript
// port of zlib's, over the module's own memory. `pakoCrc32` is pako's
// lib/zlib/crc32.js, which the build places before the module's code.
mergeInto(LibraryManager.library, {
  crc32_z: function (crc, buf, len) {
    return pakoCrc32(crc, HEAPU8, len, buf) >>> 0;
  },
});
