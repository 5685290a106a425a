#include "support/FailingRegistry.h"

long FailingRegistry::QueryText(Hive h, const std::string& k, const std::string& n,
                                std::string* t) {
    return failReads ? error : inner_->QueryText(h, k, n, t);
}
long FailingRegistry::QueryDword(Hive h, const std::string& k, const std::string& n, uint32_t* v) {
    return failReads ? error : inner_->QueryDword(h, k, n, v);
}
bool FailingRegistry::KeyExists(Hive h, const std::string& k) {
    return !failReads && inner_->KeyExists(h, k);
}
long FailingRegistry::CreateKey(Hive h, const std::string& k) {
    return failWrites ? error : inner_->CreateKey(h, k);
}
long FailingRegistry::SetText(Hive h, const std::string& k, const std::string& n,
                              const std::string& t) {
    return failWrites ? error : inner_->SetText(h, k, n, t);
}
long FailingRegistry::SetDword(Hive h, const std::string& k, const std::string& n, uint32_t v) {
    return failWrites ? error : inner_->SetDword(h, k, n, v);
}
