// Texts of result codes: the two tables, the system's messages and the fallback text.
#include <string>

#include <gtest/gtest.h>

#include "QuarInet.h"

namespace {

TEST(ErrorDescription, TableTexts) {
    EXPECT_STREQ("Connection has been reset by peer", QuarInetGetErrorDescription(10054));
    EXPECT_STREQ("Connection has been reset by peer", QuarInetGetErrorDescription(10052));
    EXPECT_STREQ("WinInet: cannot connect", QuarInetGetErrorDescription(12029));
    EXPECT_STREQ("Blocking Windows Sockets call was canceled", QuarInetGetErrorDescription(10004));
    EXPECT_STREQ("No data record for supplied name", QuarInetGetErrorDescription(11004));
    EXPECT_STREQ("WinInet: out of handles", QuarInetGetErrorDescription(12001));
    EXPECT_STREQ("WinInet: ERROR_INTERNET_SEC_CERT_REVOKED", QuarInetGetErrorDescription(12170));
    // Texts are the system's own, spelling included.
    EXPECT_STREQ("Extended error has occured", QuarInetGetErrorDescription(12003));
    EXPECT_STREQ("WinInet: invalid server responce", QuarInetGetErrorDescription(12152));
}

TEST(ErrorDescription, EveryCodeTheLibraryProducesHasAText) {
    for (uint32_t code : {6u, 8u, 13u, 10054u, 10057u, 12003u, 12004u}) {
        std::string text = QuarInetGetErrorDescription(code);
        EXPECT_NE(0u, text.rfind("Error 0x", 0)) << code << ": " << text;
    }
    EXPECT_STREQ("The handle is invalid.", QuarInetGetErrorDescription(6));
    EXPECT_STREQ("Not enough memory resources are available to process this command.",
                 QuarInetGetErrorDescription(8));
    EXPECT_STREQ("The data is invalid.", QuarInetGetErrorDescription(13));
    EXPECT_STREQ("The operation completed successfully.", QuarInetGetErrorDescription(0));
}

TEST(ErrorDescription, UnknownCodesGetTheFallbackInTheSharedBuffer) {
    EXPECT_STREQ("Error 0x3039 has occured", QuarInetGetErrorDescription(12345));
    EXPECT_STREQ("Error 0xFFFFFFFF has occured", QuarInetGetErrorDescription(0xFFFFFFFFu));
    // Gaps in the tables are not in them.
    EXPECT_STREQ("Error 0x2F03 has occured", QuarInetGetErrorDescription(12035));
    const char* first = QuarInetGetErrorDescription(1);
    const char* second = QuarInetGetErrorDescription(2);
    EXPECT_EQ(first, second);
    EXPECT_STREQ("Error 0x2 has occured", first);
}

}  // namespace
