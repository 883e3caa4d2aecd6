// Shim: the Carbon declarations the macOS layer uses (see tests/macos-shim/README.md).
#pragma once

#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

// HIToolbox/CarbonEventsCore.h
extern Boolean IsSecureEventInputEnabled(void);

CF_EXTERN_C_END
