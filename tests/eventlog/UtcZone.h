// Runs a test with the local time zone set to UTC, so that time texts are exact.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <gtest/gtest.h>

class UtcZoneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
};
