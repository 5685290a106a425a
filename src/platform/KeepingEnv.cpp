#include "platform/KeepingEnv.h"

#include "platform/Registry.h"

std::unique_ptr<Registry> KeepingEnv::OpenRegistry() {
    return OpenSystemRegistry(
        [this](const std::string& path, std::size_t maxBytes) { return ReadFile(path, maxBytes); });
}

std::optional<std::string> KeepingEnv::ReadFile(const std::string& path, std::size_t maxBytes) {
    const std::shared_ptr<const std::string> text = kept_.Read(path, maxBytes, nullptr);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}
