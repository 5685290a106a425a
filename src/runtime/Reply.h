// What a request answers: computed by its handler, given once by the application object.
#pragma once

#include <string>
#include <utility>

struct Reply {
    enum class Kind {
        kNone,    // nothing more is written
        kPage,    // the page made from the template `text`
        kBanner,  // the program's banner
        kText,    // `text` as it stands
        kError,   // the program's error reply with the message `text`
    };
    Kind kind = Kind::kNone;
    std::string text;

    static Reply None() { return {}; }
    static Reply Page(std::string prototype) { return {Kind::kPage, std::move(prototype)}; }
    static Reply Banner() { return {Kind::kBanner, std::string()}; }
    static Reply Text(std::string text) { return {Kind::kText, std::move(text)}; }
    static Reply Error(std::string message) { return {Kind::kError, std::move(message)}; }
};
