// A registry for tests whose operations fail with `error` while the switches say so, and
// otherwise pass to `inner`.
#pragma once

#include <memory>

#include "platform/Registry.h"

class FailingRegistry : public Registry {
  public:
    explicit FailingRegistry(std::unique_ptr<Registry> inner) : inner_(std::move(inner)) {}
    bool failReads = false;
    bool failWrites = false;
    long error = ERROR_ACCESS_DENIED;

    long QueryText(Hive h, const std::string& k, const std::string& n, std::string* t) override;
    long QueryDword(Hive h, const std::string& k, const std::string& n, uint32_t* v) override;
    bool KeyExists(Hive h, const std::string& k) override;
    long CreateKey(Hive h, const std::string& k) override;
    long SetText(Hive h, const std::string& k, const std::string& n, const std::string& t) override;
    long SetDword(Hive h, const std::string& k, const std::string& n, uint32_t v) override;

  private:
    std::unique_ptr<Registry> inner_;
};
