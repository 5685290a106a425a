// The gzip writer and reader over memory: framing, header fields, damage, limits.
#include <string.h>
#include <zlib.h>

#include <string>

#include <gtest/gtest.h>

#include "SameBytes.h"
#include "TestData.h"
#include "inet/GzipReader.h"
#include "inet/GzipWholeMember.h"
#include "inet/GzipWriter.h"
#include "platform/FailurePoint.h"

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

// What the reader makes of members that are not whole: its status, and the bytes it decoded
// before the fault, which are all of `data` or (`prefix`) a beginning of it.
TEST(GzipReader, StatusAndWhatWasDecoded) {
    const std::string data = TextLike(200000);
    const std::string gz = Compress(data);
    const std::string hello = Compress("hello");
    const std::string a = TextLike(3000, 1), b = TextLike(4000, 2);
    std::string method = hello, crc = gz, length = gz, garbage = gz;
    method[2] = 9;
    crc[crc.size() - 6] ^= 0x55;
    length[length.size() - 1] ^= 0x01;
    memset(&garbage[gz.size() / 2], 0xFF, 64);
    std::string longExtra = hello.substr(0, 10) + std::string("\xff\x00", 2) + "abc";
    longExtra[3] = 0x04;
    struct Case {
        const char* name;
        std::string input;
        GunzipStatus status;
        std::string data;
        bool prefix = false;
    };
    const Case cases[] = {
        {"text", "plain text", GunzipStatus::kNotGzip, ""},
        {"half a magic", "\x1f", GunzipStatus::kNotGzip, ""},
        {"nothing", "", GunzipStatus::kNotGzip, ""},
        // Headers that cannot be read decode nothing.
        {"another method", method, GunzipStatus::kBadHeader, ""},
        {"reserved flag 0x20", WithHeaderFields(hello, 0x20, ""), GunzipStatus::kBadHeader, ""},
        {"reserved flag 0x40", WithHeaderFields(hello, 0x40, ""), GunzipStatus::kBadHeader, ""},
        {"reserved flag 0x80", WithHeaderFields(hello, 0x80, ""), GunzipStatus::kBadHeader, ""},
        {"header cut short", hello.substr(0, 9), GunzipStatus::kBadHeader, ""},
        {"a name that never ends", WithHeaderFields(hello.substr(0, 10), 0x08, "name"),
         GunzipStatus::kBadHeader, ""},
        {"an extra field longer than the data", longExtra, GunzipStatus::kBadHeader, ""},
        // Damage keeps what was decoded before it.
        {"wrong CRC", crc, GunzipStatus::kDamaged, data},
        {"wrong length", length, GunzipStatus::kDamaged, data},
        {"no trailer", gz.substr(0, gz.size() - 8), GunzipStatus::kDamaged, data},
        {"garbage in the middle", garbage, GunzipStatus::kDamaged, data, true},
        {"the fixed header alone", gz.substr(0, 10), GunzipStatus::kDamaged, ""},
        // Members follow one another; zeros after the last are padding.
        {"two members", Compress(a) + Compress(b), GunzipStatus::kDecoded, a + b},
        {"zeros after the member", Compress(a) + std::string(16, '\0'), GunzipStatus::kDecoded, a},
        {"the start of a second member", Compress(a) + "\x1f\x8b\x09", GunzipStatus::kDamaged, a},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded decoded = Decompress(c.input);
        EXPECT_EQ(c.status, decoded.status);
        const std::string expected = c.prefix ? c.data.substr(0, decoded.data.size()) : c.data;
        EXPECT_TRUE(SameBytes(expected, decoded.data));
    }
    // Half a member: a good part of the data, not all of it.
    const Decoded half = Decompress(gz.substr(0, gz.size() / 2));
    EXPECT_EQ(GunzipStatus::kDamaged, half.status);
    EXPECT_GT(half.data.size(), data.size() / 4);
    EXPECT_LT(half.data.size(), data.size());
    EXPECT_TRUE(SameBytes(data.substr(0, half.data.size()), half.data));
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

TEST(GzipWholeMember, OnlyAClaimDeflateCanGiveIsAllocated) {
    const std::string gz = Compress("hello, hello, hello");
    struct Case {
        const char* name;
        uint32_t claim;  // 0: the member's own trailer
        bool decoded;
        uint64_t allocations;
    };
    const Case cases[] = {
        {"true claim", 0, true, 1},
        {"wrong claim within 1032 to 1", 100, false, 1},
        {"claim beyond 1032 to 1", 400u << 20, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string member = gz;
        for (int i = 0; c.claim != 0 && i < 4; ++i) {
            member[member.size() - 4 + i] = static_cast<char>(c.claim >> (8 * i));
        }
        inet::GunzipResult result;
        failure_point::Arm(static_cast<unsigned>(FailureSite::kHeap), 0);
        const bool decoded = inet::DecodeWholeMember(
            reinterpret_cast<const uint8_t*>(member.data()), member.size(), 512u << 20, result);
        const uint64_t allocations = failure_point::Count();
        failure_point::Disarm();
        EXPECT_EQ(c.decoded, decoded);
        EXPECT_EQ(c.allocations, allocations);
    }
}

}  // namespace
