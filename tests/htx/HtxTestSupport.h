// A scratch directory of template files and a processor whose output the test captures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "htx/HtxProcessor.h"
#include "support/TempDir.h"

class HtxTemplateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        // Include names are relative to the working directory, as in the CGI program.
        std::filesystem::current_path(dir_.path());
    }

    void TearDown() override { std::filesystem::current_path(previous_); }

    static void WriteFile(const std::string& name, const std::string& content) {
        std::ofstream file(name, std::ios::binary);
        file.write(content.data(), static_cast<std::streamsize>(content.size()));
        ASSERT_TRUE(file.good()) << name;
    }

    // Writes the template to a file, processes it and gives everything written.
    std::string Render(const std::string& text) {
        WriteFile("page.htx", text);
        std::string output;
        const std::int32_t result = proc_.ProcessTemplate(
            "page.htx", [&](const char* bytes, std::size_t n) { output.append(bytes, n); });
        EXPECT_EQ(result, HtxProcessor::kProcessed);
        return output;
    }

    // A list of rows each holding one String field "a" with the given values, first to last.
    static std::shared_ptr<RowList> ListOfA(std::initializer_list<const char*> values) {
        auto list = std::make_shared<RowList>();
        for (const char* value : values) {
            MapSetString(list->AddBack(), "a", value);
        }
        return list;
    }

    HtxProcessor proc_{false};
    TempDir dir_;
    std::filesystem::path previous_;
};
