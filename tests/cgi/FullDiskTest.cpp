// quarnbxadmin writing its logs on a disk that fills up: a line is whole or absent, and a line
// the log cannot take goes to the fallback log in TMP.
#include <algorithm>
#include <string>

#include "AdminPageFixture.h"

namespace {

class FullDisk : public AdminPageFixture {
  protected:
    // A request refused with LOGGET_OTHER (another client's session is active), on a disk
    // with room for `room` more bytes in any file.
    CgiResult RefusedRequest(long room) {
        CgiRequest request;
        request.env = {{"QUERY_STRING", "main|mine"}, {"REMOTE_ADDR", "10.2.2.2"}};
        request.fileSizeLimit = static_cast<long>(site_.Data("quar_nbx_log.txt").size()) + room;
        return site_.Run(request);
    }
};

}  // namespace

TEST_F(FullDisk, EventLineIsWholeOrAbsentAndTheRestGoesToTheFallback) {
    Initialise();
    WriteSession("10.9.9.9", "theirs", Now());
    RefusedRequest(1 << 20);
    ASSERT_EQ(EventCodes(), std::vector<std::string>{"LOGGET_OTHER"});
    // The limit holds for the fallback file too: a long log leaves it room for a few lines.
    const std::string firstLine = site_.Data("quar_nbx_log.txt");
    std::string before;
    for (int i = 0; i < 50; ++i) {
        before += firstLine;
    }
    site_.dir().Write("data/quar_nbx_log.txt", before);

    for (long room : {0L, 1L, 2L, 20L}) {
        const CgiResult r = RefusedRequest(room);
        EXPECT_EQ(r.exitStatus, 0) << room;
        const std::string log = site_.Data("quar_nbx_log.txt");
        EXPECT_TRUE(log == before)
            << room << ": ..." << log.substr(std::min(log.size(), before.size() - 20));
    }
    // Each refused line reached the fallback whole.
    const std::string fallback = site_.Tmp("quar_nbx.log");
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = fallback.find("LOGGET_OTHER\t", at)) != std::string::npos;
         ++at) {
        ++lines;
        EXPECT_TRUE(at == 0 || fallback.compare(at - 2, 2, "\r\n") == 0) << fallback;
    }
    EXPECT_EQ(lines, 4u) << fallback;
    // With room again, the next line starts a line of its own.
    RefusedRequest(1 << 20);
    const std::vector<std::string> codes = EventCodes();
    EXPECT_EQ(codes.size(), 51u);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "LOGGET_OTHER"), 51);
}
