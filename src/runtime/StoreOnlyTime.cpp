// The time form of the programs that only write times (quarnbx, quarnbxpic): reading a time
// back is refused. Linked as an object into each such program, so that the entry is made
// whatever the program refers to; the program's precedence lets it win over the archive
// library's own entry whatever the order of start-up.
#include "archive/ClassRegistry.h"
#include "archive/KxTime.h"

namespace {
const ClassRegistration kStoreOnlyTime("KxTime", &KxTime::classInfo, &KxTime::serializeStoreOnly,
                                       nullptr, nullptr, ClassPrecedence::Program);
}  // namespace
