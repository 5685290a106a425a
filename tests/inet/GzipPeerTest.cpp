// Interoperation with gzip(1): its members at several levels, with a stored name, and damaged,
// are unpacked exactly; what our writer makes, gzip -dc reads back byte for byte.
#include <stdlib.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "FileBytes.h"
#include "QuarInet.h"
#include "SameBytes.h"
#include "TestData.h"
#include "inet/GzipWriter.h"
#include "inet/InetHeap.h"
#include "support/TempDir.h"

namespace {

int Shell(const std::string& command) {
    int status = system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// UnpackContent on `gz` announced as gzip; the decoded body.
std::string Unpack(const std::string& gz) {
    const char* headerText = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
    uint32_t headersLength = static_cast<uint32_t>(strlen(headerText));
    char* headers = static_cast<char*>(inet::HeapAllocate(headersLength + 1));
    memcpy(headers, headerText, headersLength + 1);
    uint32_t bodyLength = static_cast<uint32_t>(gz.size());
    char* body = static_cast<char*>(inet::HeapAllocate(gz.size()));
    memcpy(body, gz.data(), gz.size());
    EXPECT_TRUE(UnpackContent(headers, headersLength, body, bodyLength));
    EXPECT_EQ(nullptr, strstr(headers, "Content-Encoding")) << "body was not decoded";
    std::string decoded(body, bodyLength);
    QuarInetFree(headers);
    QuarInetFree(body);
    return decoded;
}

class GzipPeer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Shell("gzip --version >/dev/null 2>&1") != 0) {
            GTEST_FAIL() << "gzip(1) is needed (scripts/install-deps.sh installs it)";
        }
        WriteFile(dir_ / "data.txt", data_);
    }
    TempDir dir_;
    const std::string data_ = TextLike(400000) + Noise(50000) + TextLike(100000, 3);
};

TEST_F(GzipPeer, MembersAtEveryLevelWithAndWithoutNameAreUnpackedExactly) {
    for (const char* options : {"-1", "-6", "-9", "-9 -n", "-1 -n"}) {
        SCOPED_TRACE(options);
        const std::string gz = dir_ / "data.gz";
        // From a file, gzip stores the file's name and time unless told -n.
        ASSERT_EQ(
            0, Shell(std::string("gzip -c ") + options + " " + (dir_ / "data.txt") + " > " + gz));
        const std::string bytes = ReadFile(gz);
        EXPECT_EQ(strchr(options, 'n') == nullptr, (bytes[3] & 0x08) != 0) << "name flag";
        EXPECT_TRUE(SameBytes(data_, Unpack(bytes)));
    }
}

TEST_F(GzipPeer, StreamedInputAndConcatenatedFiles) {
    ASSERT_EQ(0, Shell("gzip -c < " + (dir_ / "data.txt") + " > " + (dir_ / "a.gz")));
    WriteFile(dir_ / "b.txt", "second member\n");
    ASSERT_EQ(0, Shell("gzip -c " + (dir_ / "b.txt") + " >> " + (dir_ / "a.gz")));
    EXPECT_TRUE(SameBytes(data_ + "second member\n", Unpack(ReadFile(dir_ / "a.gz"))));
}

TEST_F(GzipPeer, DamagedTailsGiveWhatGzipItselfRecovers) {
    ASSERT_EQ(0, Shell("gzip -c -6 " + (dir_ / "data.txt") + " > " + (dir_ / "data.gz")));
    const std::string gz = ReadFile(dir_ / "data.gz");
    for (size_t cut : {4u, 8u, 9u, 100u, 5000u, 60000u}) {
        SCOPED_TRACE(cut);
        const std::string damaged = gz.substr(0, gz.size() - cut);
        WriteFile(dir_ / "damaged.gz", damaged);
        // gzip reports the damage and writes what it could decode.
        EXPECT_NE(0, Shell("gzip -dc " + (dir_ / "damaged.gz") + " > " + (dir_ / "out") +
                           " 2>/dev/null"));
        const std::string recovered = ReadFile(dir_ / "out");
        const std::string ours = Unpack(damaged);
        EXPECT_EQ(recovered.size(), ours.size());
        EXPECT_TRUE(SameBytes(recovered, ours));
        EXPECT_TRUE(data_.compare(0, ours.size(), ours) == 0);
    }
    // A damaged CRC: all bytes are there.
    std::string crc = gz;
    crc[crc.size() - 8] ^= 0x01;
    EXPECT_TRUE(SameBytes(data_, Unpack(crc)));
}

TEST_F(GzipPeer, OurMembersAreReadBackByGzip) {
    for (const std::string& data : {std::string(), std::string("x"), data_, Noise(200000, 9)}) {
        SCOPED_TRACE(data.size());
        inet::MemoryOutStream out;
        ASSERT_TRUE(inet::GzipCompress(data.data(), data.size(), out));
        WriteFile(dir_ / "ours.gz",
                  std::string(reinterpret_cast<const char*>(out.Data()), out.Size()));
        ASSERT_EQ(0, Shell("gzip -t " + (dir_ / "ours.gz")));
        ASSERT_EQ(0, Shell("gzip -dc " + (dir_ / "ours.gz") + " > " + (dir_ / "back")));
        EXPECT_TRUE(SameBytes(data, ReadFile(dir_ / "back")));
    }
}

}  // namespace
