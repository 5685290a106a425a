#include "archive/ClassRegistry.h"
#include "archive/KxTime.h"
#include "imageserver/ImageApplication.h"

namespace {
// This program only writes times: reading one back is refused.
const ClassRegistration kStoreOnlyTime("KxTime", &KxTime::classInfo, &KxTime::serializeStoreOnly);
ImageApplication theApplication;
}  // namespace

int main(int argc, char** argv) {
    return theApplication.Dispatch(argc, argv);
}
