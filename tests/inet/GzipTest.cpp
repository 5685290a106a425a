// The gzip writer and reader over memory: framing, header fields, damage, limits.
#include <string.h>
#include <zlib.h>

#include <string>

#include <gtest/gtest.h>

#include "SameBytes.h"
#include "TestData.h"
#include "inet/GzipReader.h"
#include "inet/GzipWriter.h"

namespace {

using inet::GunzipStatus;

std::string Compress(const std::string& data) {
    inet::MemoryOutStream out;
    EXPECT_TRUE(inet::GzipCompress(data.data(), data.size(), out));
    return std::string(reinterpret_cast<const char*>(out.Data()), out.Size());
}

struct Decoded {
    GunzipStatus status;
    std::string data;
};

Decoded Decompress(const std::string& bytes, size_t limit = 1 << 30) {
    inet::GunzipResult result =
        inet::GzipDecompress(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), limit);
    Decoded decoded{result.status, ""};
    if (result.data) {
        EXPECT_EQ('\0', result.data.get()[result.size]) << "decoded bytes end with a NUL";
        decoded.data.assign(result.data.get(), result.size);
    }
    return decoded;
}

uint32_t LittleEndian32(const std::string& bytes, size_t at) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Our member with its header flags and fields replaced: `fields` goes between the fixed header
// and the deflate data.
std::string WithHeaderFields(const std::string& member, uint8_t flags, const std::string& fields) {
    std::string header = member.substr(0, 10);
    header[3] = static_cast<char>(flags);
    return header + fields + member.substr(10);
}

TEST(GzipWriter, FixedHeaderRawDeflateAndTrailer) {
    const std::string data = TextLike(100000);
    const std::string gz = Compress(data);
    ASSERT_GT(gz.size(), 18u);
    EXPECT_EQ(std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x0b", 10), gz.substr(0, 10));
    EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size()),
              LittleEndian32(gz, gz.size() - 8));
    EXPECT_EQ(data.size(), LittleEndian32(gz, gz.size() - 4));
    EXPECT_LT(gz.size(), data.size() / 2);

    // The middle is raw deflate data at the default level.
    std::string inflated(data.size(), '\0');
    z_stream stream{};
    ASSERT_EQ(Z_OK, inflateInit2(&stream, -15));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()) + 10);
    stream.avail_in = gz.size() - 18;
    stream.next_out = reinterpret_cast<Bytef*>(inflated.data());
    stream.avail_out = inflated.size();
    EXPECT_EQ(Z_STREAM_END, inflate(&stream, Z_FINISH));
    EXPECT_EQ(0u, stream.avail_in);
    inflateEnd(&stream);
    EXPECT_TRUE(SameBytes(data, inflated));
}

TEST(GzipWriter, EmptyAndIncompressibleInputsRoundTrip) {
    for (const std::string& data : {std::string(), std::string("x"), Noise(300000)}) {
        Decoded decoded = Decompress(Compress(data));
        EXPECT_EQ(GunzipStatus::kDecoded, decoded.status);
        EXPECT_TRUE(SameBytes(data, decoded.data));
    }
}

TEST(GzipReader, BytesWithoutTheMagicAreNotGzip) {
    EXPECT_EQ(GunzipStatus::kNotGzip, Decompress("plain text").status);
    EXPECT_EQ(GunzipStatus::kNotGzip, Decompress("\x1f").status);
    EXPECT_EQ(GunzipStatus::kNotGzip, Decompress("").status);
}

TEST(GzipReader, UnreadableHeadersDecodeNothing) {
    const std::string gz = Compress("hello");
    std::string method = gz;
    method[2] = 9;
    EXPECT_EQ(GunzipStatus::kBadHeader, Decompress(method).status);
    for (uint8_t reserved : {0x20, 0x40, 0x80}) {
        EXPECT_EQ(GunzipStatus::kBadHeader, Decompress(WithHeaderFields(gz, reserved, "")).status);
    }
    EXPECT_EQ(GunzipStatus::kBadHeader, Decompress(gz.substr(0, 9)).status);
    // A name that never ends, an extra field longer than the data.
    EXPECT_EQ(GunzipStatus::kBadHeader,
              Decompress(WithHeaderFields(gz.substr(0, 10), 0x08, "name")).status);
    std::string extra = gz.substr(0, 10) + std::string("\xff\x00", 2) + "abc";
    extra[3] = 0x04;
    EXPECT_EQ(GunzipStatus::kBadHeader, Decompress(extra).status);
}

TEST(GzipReader, OptionalHeaderFieldsAreSkipped) {
    const std::string data = TextLike(5000);
    const std::string gz = Compress(data);
    const std::string extra = std::string(
        "\x05\x00"
        "AB\x01\x00Z",
        7);
    const std::string cases[] = {
        WithHeaderFields(gz, 0x04, extra),
        WithHeaderFields(gz, 0x08, std::string("file.txt\0", 9)),
        WithHeaderFields(gz, 0x10, std::string("a comment\0", 10)),
        WithHeaderFields(gz, 0x02, "\x12\x34"),
        WithHeaderFields(gz, 0x1E, extra + std::string("n\0c\0", 4) + "\x12\x34"),
    };
    for (const std::string& member : cases) {
        Decoded decoded = Decompress(member);
        EXPECT_EQ(GunzipStatus::kDecoded, decoded.status);
        EXPECT_TRUE(SameBytes(data, decoded.data));
    }
}

TEST(GzipReader, DamageKeepsWhatWasDecodedBeforeIt) {
    const std::string data = TextLike(200000);
    const std::string gz = Compress(data);

    std::string crc = gz;
    crc[crc.size() - 6] ^= 0x55;
    Decoded decoded = Decompress(crc);
    EXPECT_EQ(GunzipStatus::kDamaged, decoded.status);
    EXPECT_TRUE(SameBytes(data, decoded.data));

    std::string length = gz;
    length[length.size() - 1] ^= 0x01;
    EXPECT_EQ(GunzipStatus::kDamaged, Decompress(length).status);

    decoded = Decompress(gz.substr(0, gz.size() - 8));
    EXPECT_EQ(GunzipStatus::kDamaged, decoded.status);
    EXPECT_TRUE(SameBytes(data, decoded.data));

    decoded = Decompress(gz.substr(0, gz.size() / 2));
    EXPECT_EQ(GunzipStatus::kDamaged, decoded.status);
    EXPECT_GT(decoded.data.size(), data.size() / 4);
    EXPECT_LT(decoded.data.size(), data.size());
    EXPECT_TRUE(SameBytes(data.substr(0, decoded.data.size()), decoded.data));

    std::string garbage = gz;
    memset(&garbage[gz.size() / 2], 0xFF, 64);
    decoded = Decompress(garbage);
    EXPECT_EQ(GunzipStatus::kDamaged, decoded.status);
    EXPECT_TRUE(SameBytes(data.substr(0, decoded.data.size()), decoded.data));

    decoded = Decompress(gz.substr(0, 10));
    EXPECT_EQ(GunzipStatus::kDamaged, decoded.status);
    EXPECT_EQ("", decoded.data);
}

TEST(GzipReader, ConcatenatedMembersAndTrailingBytes) {
    const std::string a = TextLike(3000, 1), b = TextLike(4000, 2);
    Decoded decoded = Decompress(Compress(a) + Compress(b));
    EXPECT_EQ(GunzipStatus::kDecoded, decoded.status);
    EXPECT_TRUE(SameBytes(a + b, decoded.data));

    decoded = Decompress(Compress(a) + std::string(16, '\0'));
    EXPECT_EQ(GunzipStatus::kDecoded, decoded.status);
    EXPECT_TRUE(SameBytes(a, decoded.data));

    decoded = Decompress(Compress(a) + "\x1f\x8b\x09");
    EXPECT_EQ(GunzipStatus::kDamaged, decoded.status);
    EXPECT_TRUE(SameBytes(a, decoded.data));
}

TEST(GzipReader, TrailerLengthOnlyGuidesTheFirstCapacity) {
    const std::string data = TextLike(300000);
    const std::string gz = Compress(data);
    // Trailers that claim far too little or far too much still decode exactly (as damaged).
    for (uint32_t claim : {1u, 1000u, 0x7FFFFFFFu, 0u}) {
        std::string lying = gz;
        for (int i = 0; i < 4; ++i) {
            lying[lying.size() - 4 + i] = static_cast<char>(claim >> (8 * i));
        }
        Decoded decoded = Decompress(lying);
        EXPECT_EQ(GunzipStatus::kDamaged, decoded.status) << claim;
        EXPECT_TRUE(SameBytes(data, decoded.data)) << claim;
    }
}

TEST(GzipReader, OutputIsBoundedByTheLimit) {
    const std::string zeros(1 << 20, '\0');
    const std::string gz = Compress(zeros);
    EXPECT_EQ(GunzipStatus::kTooLarge, Decompress(gz, (1 << 20) - 1).status);
    Decoded exact = Decompress(gz, 1 << 20);
    EXPECT_EQ(GunzipStatus::kDecoded, exact.status);
    EXPECT_TRUE(SameBytes(zeros, exact.data));
    // Over several members, too.
    EXPECT_EQ(GunzipStatus::kTooLarge, Decompress(gz + gz, (3 << 20) / 2).status);
    EXPECT_EQ(GunzipStatus::kTooLarge, Decompress(gz, 1000).status);
}

}  // namespace
