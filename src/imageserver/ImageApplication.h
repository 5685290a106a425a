// quarnbxpic: sends the GIF images that lie beside the program, named by the query string, and a
// built-in transparent pixel for a file that cannot be read.
#pragma once

#include <string>

#include "runtime/CgiApplication.h"

// The transparent one-pixel GIF89a sent in place of a missing image.
extern const unsigned char kBuiltInPixel[49];

class ImageApplication : public CgiApplication {
  public:
    // The whole request: start-up, then the image, the pixel or the banner.
    void Serve(int argc, char** argv);

    // The base name of the requested file: the query string after its last "/", then after
    // its last "\", then after its last ":".
    static std::string FileNameOf(const std::string& query);

  protected:
    const char* ContentType() const override { return "image/gif"; }
    std::optional<Reply> ReadRequestInput() override { return std::nullopt; }

  private:
    std::string fileName_;
    std::string programDirectory_;
};
