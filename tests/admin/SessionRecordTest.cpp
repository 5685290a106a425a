// The administrator session record: its checksum, its stored form and the inactivity rules.
#include <gtest/gtest.h>

#include <string>

#include "admin/AdminSession.h"

TEST(SessionRecord, FoldTakesGroupsOfFourFirstByteHighest) {
    EXPECT_EQ(FoldText(""), 0u);
    EXPECT_EQ(FoldText("A"), 1u ^ 0x41u);
    EXPECT_EQ(FoldText("ABCD"), 4u ^ 0x41424344u);
    EXPECT_EQ(FoldText("ABCDE"), 5u ^ 0x41424344u ^ 0x45u);
    EXPECT_EQ(FoldText("\xff\xff"), 2u ^ 0xFFFFu);
}

TEST(SessionRecord, ChecksumCoversAddressesTimeAndToken) {
    AdminSession s;
    s.clientAddress = "10.0.0.1";
    s.proxyAddress = "p";
    s.remoteHost = "host";
    s.lastActivity = 1234567;
    s.token = "tok";
    EXPECT_EQ(s.ComputeChecksum(),
              FoldText("10.0.0.1") ^ FoldText("p") ^ FoldText("host") ^ 1234567u ^ FoldText("tok"));
    const uint32_t before = s.ComputeChecksum();
    s.version = 9;  // not covered
    EXPECT_EQ(s.ComputeChecksum(), before);
    s.token = "tol";
    EXPECT_NE(s.ComputeChecksum(), before);
}

TEST(SessionRecord, StoredFormAndRoundTrip) {
    AdminSession s;
    s.version = AdminSession::kVersion;
    s.clientAddress = "10.0.0.1";
    s.lastActivity = 3000000000u;  // above 2^31: travels as negative text
    s.token = "abc";
    const std::string bytes = StoreSession(s);
    EXPECT_EQ(bytes, "\r\nobj|quar_lm_admin_sf|2|10.0.0.1|||-1294967296|abc|" +
                         std::to_string(static_cast<int32_t>(s.checksum)) + "|0\r\nend");
    AdminSession back;
    bool malformed = true;
    ASSERT_TRUE(LoadSessionBytes(bytes, back, &malformed));
    EXPECT_FALSE(malformed);
    EXPECT_EQ(back.lastActivity, 3000000000u);
    EXPECT_EQ(back.token, "abc");
}

TEST(SessionRecord, ReservedItemIsOptionalAndTamperingIsCaught) {
    AdminSession s;
    s.version = 2;
    s.clientAddress = "c";
    s.token = "t";
    std::string bytes = StoreSession(s);
    const std::string withoutReserved = bytes.substr(0, bytes.rfind("|0\r\nend")) + "\r\nend";
    AdminSession back;
    bool malformed = false;
    EXPECT_TRUE(LoadSessionBytes(withoutReserved, back, &malformed));
    EXPECT_EQ(back.reserved, 0u);

    std::string tampered = bytes;
    tampered.replace(tampered.find("|c|"), 3, "|d|");
    EXPECT_FALSE(LoadSessionBytes(tampered, back, &malformed));
    EXPECT_FALSE(malformed);  // a valid archive: not deleted, only not trusted

    EXPECT_FALSE(LoadSessionBytes("garbage", back, &malformed));
    EXPECT_TRUE(malformed);
    EXPECT_FALSE(LoadSessionBytes("", back, &malformed));
    EXPECT_FALSE(malformed);
}

TEST(SessionRecord, ExpiryAcceptsTheExactEndAndNotASecondMore) {
    EXPECT_FALSE(SessionExpired(1000, 600, 1600));
    EXPECT_TRUE(SessionExpired(1000, 600, 1601));
    EXPECT_FALSE(SessionExpired(0, 0, 4000000000u));  // time-out 0: never
    // No wrap-around near the end of the unsigned range.
    EXPECT_FALSE(SessionExpired(0xFFFFFFF0u, 600, 0xFFFFFFF0ull + 600));
}

TEST(SessionRecord, LoginSeesASessionActiveOnlyBeforeItsEnd) {
    EXPECT_TRUE(SessionActive(1000, 600, 1599));
    EXPECT_FALSE(SessionActive(1000, 600, 1600));
    EXPECT_FALSE(SessionActive(1000, 0, 1000));  // time-out 0: login replaces any session
}
