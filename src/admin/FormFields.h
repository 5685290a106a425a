// The fields of the request's form, which the page processor holds as its text variables.
#pragma once

#include <string>

class HtxProcessor;

// A form field of the request as text: empty when absent.
std::string FormText(const HtxProcessor& page, const char* name);
// True when the request carried the field.
bool HasFormField(const HtxProcessor& page, const char* name);
