// Texts of result codes: the two tables, the system's messages and the fallback text.
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "QuarInet.h"

namespace {

TEST(ErrorDescription, Texts) {
    const std::pair<uint32_t, const char*> cases[] = {
        // The two tables; texts are the system's own, spelling included.
        {10054, "Connection has been reset by peer"},
        {10052, "Connection has been reset by peer"},
        {12029, "WinInet: cannot connect"},
        {10004, "Blocking Windows Sockets call was canceled"},
        {11004, "No data record for supplied name"},
        {12001, "WinInet: out of handles"},
        {12170, "WinInet: ERROR_INTERNET_SEC_CERT_REVOKED"},
        {12003, "Extended error has occured"},
        {12152, "WinInet: invalid server responce"},
        // The system's messages for the other codes the library produces.
        {0, "The operation completed successfully."},
        {6, "The handle is invalid."},
        {8, "Not enough memory resources are available to process this command."},
        {13, "The data is invalid."},
        // Unknown codes, gaps in the tables included: the fallback.
        {12345, "Error 0x3039 has occured"},
        {0xFFFFFFFFu, "Error 0xFFFFFFFF has occured"},
        {12035, "Error 0x2F03 has occured"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_STREQ(text, QuarInetGetErrorDescription(code)) << code;
    }
    // Every code the library produces has a text of its own.
    for (uint32_t code : {6u, 8u, 13u, 10054u, 10057u, 12003u, 12004u}) {
        std::string text = QuarInetGetErrorDescription(code);
        EXPECT_NE(0u, text.rfind("Error 0x", 0)) << code << ": " << text;
    }
}

TEST(ErrorDescription, FallbackIsInTheSharedBuffer) {
    const char* first = QuarInetGetErrorDescription(1);
    const char* second = QuarInetGetErrorDescription(2);
    EXPECT_EQ(first, second);
    EXPECT_STREQ("Error 0x2 has occured", first);
}

}  // namespace
