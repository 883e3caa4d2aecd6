// Shim: the libdispatch declarations the macOS layer uses (see tests/macos-shim/README.md).
// Only the plain C interface (the _f functions) is declared: the layer uses no blocks.
#pragma once

#include <stdint.h>

#if defined(__cplusplus)
extern "C" {
#endif

typedef uint64_t dispatch_time_t;
#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)
#define NSEC_PER_SEC 1000000000ull

typedef struct dispatch_queue_s* dispatch_queue_t;
typedef void (*dispatch_function_t)(void* _Nullable);

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);
dispatch_queue_t _Nonnull dispatch_get_main_queue(void);
void dispatch_after_f(dispatch_time_t when, dispatch_queue_t _Nonnull queue,
                      void* _Nullable context, dispatch_function_t _Nonnull work);

#if defined(__cplusplus)
}
#endif
