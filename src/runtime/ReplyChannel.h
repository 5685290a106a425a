// The reply writer and reply archive of an application: internal to the runtime.
#pragma once

struct ReplyChannel {};
