// One gzip member of some bytes, made by zlib itself, as a server that compresses sends it.
#pragma once

#include <string>

#include <zlib.h>

inline std::string GzipBytes(const std::string& data, int level = Z_DEFAULT_COMPRESSION) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
