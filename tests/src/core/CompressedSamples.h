#pragma once
// Bytes compressed in every form the decoders read, by the real libraries, for tests.
#include <bzlib.h>
#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include "foundation/Value.h"

inline Data gzipOf(const Data& plain) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY), Z_OK);
  Data out(deflateBound(&s, plain.size()) + 64);
  s.next_in = const_cast<Bytef*>(plain.data());
  s.avail_in = static_cast<uInt>(plain.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

inline Data zlibOf(const Data& plain) {
  uLongf size = compressBound(plain.size());
  Data out(size);
  EXPECT_EQ(compress(out.data(), &size, plain.data(), plain.size()), Z_OK);
  out.resize(size);
  return out;
}

inline Data bzip2Of(const Data& plain) {
  unsigned size = static_cast<unsigned>(plain.size() + plain.size() / 100 + 600);
  Data out(size);
  EXPECT_EQ(BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &size,
                                     reinterpret_cast<char*>(const_cast<uint8_t*>(plain.data())),
                                     static_cast<unsigned>(plain.size()), 9, 0, 0),
            BZ_OK);
  out.resize(size);
  return out;
}

inline Data xzOf(const Data& plain) {
  Data out(lzma_stream_buffer_bound(plain.size()));
  size_t size = 0;
  EXPECT_EQ(lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, plain.data(), plain.size(),
                                    out.data(), &size, out.size()),
            LZMA_OK);
  out.resize(size);
  return out;
}

inline Data concat(Data a, const Data& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
