// The prompt line of the credentials dialog: who asks (the proxy or the server, with its port),
// for which realm, and whether the last answer was refused.
#pragma once

#include <string>

namespace inet {

// The realm of the Basic challenge in a response's header block: the "Proxy-Authenticate"
// header's for a proxy, else "WWW-Authenticate"'s; "" when there is none. It comes from the
// server: control characters become spaces and it is cut to 64 bytes.
std::string ChallengeRealm(const std::string& headers, bool proxy);

// The prompt, for example
//   The password was refused. The proxy proxy.example:3128 wants a user name and password
//   for "Office".
// `who` is "host:port"; an empty `realm` is left out.
std::string CredentialsPrompt(bool proxy, const std::string& who, const std::string& realm,
                              bool refused);

}  // namespace inet
