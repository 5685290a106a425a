#include "admin/FormFields.h"

#include "htx/HtxProcessor.h"

std::string FormText(const HtxProcessor& page, const char* name) {
    const HtxValue* value = page.FindVar(name);
    return value && value->AsText() ? *value->AsText() : std::string();
}

bool HasFormField(const HtxProcessor& page, const char* name) {
    const HtxValue* value = page.FindVar(name);
    return value && value->AsText();
}
