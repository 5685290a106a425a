// The committed images of the site are whole GIF files: a browser shows a cut or damaged file
// as a broken image, and quarnbxpic sends the file as it is. (The drawing tool's own check, which
// also compares every file with what it draws, is in the "authoring" run.)
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Why `gif` is not a whole GIF file, or "" when it is: the signature, the screen, the colour
// tables, each image inside the screen, every block chain ended, and the trailer last.
std::string GifProblem(const std::string& gif) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(gif[at]); };
    const auto word = [&](std::size_t at) {
        return unsigned{byte(at)} | unsigned{byte(at + 1)} << 8;
    };
    const auto colourTable = [&](std::size_t packed) {
        return (byte(packed) & 0x80) ? 3u << ((byte(packed) & 7) + 1) : 0u;
    };
    if (gif.size() < 13 || (gif.compare(0, 6, "GIF87a") != 0 && gif.compare(0, 6, "GIF89a") != 0)) {
        return "no GIF signature";
    }
    const unsigned width = word(6), height = word(8);
    if (width == 0 || height == 0) {
        return "empty screen";
    }
    std::size_t at = 13 + colourTable(10);
    // Skips a chain of sub-blocks; false when the data ends inside it.
    const auto skipBlocks = [&]() {
        while (at < gif.size() && byte(at) != 0) {
            at += 1 + byte(at);
        }
        return at++ < gif.size();
    };
    int images = 0;
    while (at < gif.size()) {
        const unsigned char introducer = byte(at++);
        if (introducer == 0x3B) {
            if (images == 0) {
                return "no image";
            }
            return at == gif.size() ? "" : "data after the trailer";
        }
        if (introducer == 0x21) {
            ++at;  // the extension's label
            if (!skipBlocks()) {
                return "extension cut";
            }
        } else if (introducer == 0x2C) {
            if (at + 10 > gif.size()) {
                return "image descriptor cut";
            }
            if (word(at) + word(at + 4) > width || word(at + 2) + word(at + 6) > height) {
                return "image outside the screen";
            }
            at += 9 + colourTable(at + 8);
            if (at >= gif.size() || byte(at) < 2 || byte(at) > 8) {
                return "bad code size";
            }
            ++at;
            if (!skipBlocks()) {
                return "image data cut";
            }
            ++images;
        } else {
            return "unknown block";
        }
    }
    return "no trailer";
}

// A 1 x 1 GIF89a with a two-colour table and one image of `width` x 1 at x = 0.
std::string SmallGif(unsigned char imageWidth = 1) {
    return std::string("GIF89a\1\0\1\0\x80\0\0", 13) + std::string(6, '\0') +
           std::string("\x21\xF9\4\1\0\0\0\0", 8) + std::string("\x2C\0\0\0\0", 5) +
           std::string(1, static_cast<char>(imageWidth)) + std::string("\0\1\0\0", 4) +
           std::string("\2\2\x44\1\0", 5) + ";";
}

TEST(SiteImages, GifCheckFindsDamage) {
    const std::string good = SmallGif();
    const struct {
        const char* damage;
        std::string gif;
        std::string problem;
    } cases[] = {
        {"none", good, ""},
        {"GIF87a", "GIF87a" + good.substr(6), ""},
        {"a PNG", "\x89PNG\r\n\x1a\n" + good.substr(8), "no GIF signature"},
        {"zero height", good.substr(0, 8) + std::string(2, '\0') + good.substr(10), "empty screen"},
        {"no trailer", good.substr(0, good.size() - 1), "no trailer"},
        {"cut in the image data", good.substr(0, good.size() - 3), "image data cut"},
        {"cut in the descriptor", good.substr(0, 30), "image descriptor cut"},
        {"bytes after the end", good + "xx", "data after the trailer"},
        {"an image wider than the screen", SmallGif(2), "image outside the screen"},
        {"only the trailer", good.substr(0, 19) + ";", "no image"},
        {"a cut extension", good.substr(0, 19) + "!", "extension cut"},
        {"a stray byte", good.substr(0, 19) + "\x01;", "unknown block"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        EXPECT_EQ(GifProblem(c.gif), c.problem);
    }
}

TEST(SiteImages, EveryCommittedImageIsAWholeGif) {
    int images = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUAR_SITE_DIR)) {
        if (entry.path().extension() != ".gif") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string gif((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
        EXPECT_EQ(GifProblem(gif), "");
        ++images;
    }
    EXPECT_GT(images, 0) << "no images in " QUAR_SITE_DIR;
}

}  // namespace
