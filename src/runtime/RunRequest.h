// The catch-all around a request: every exception that reaches it becomes a Fatal report.
#pragma once

#include <functional>

class CgiApplication;

// Runs `body`; an archive, tokenizer, file or any other exception is reported through
// application.Fatal with its error text (at most 255 characters), errno and strerror.
void RunGuarded(CgiApplication& application, const std::function<void()>& body);
