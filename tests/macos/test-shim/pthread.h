// Test shim: <pthread.h> of macOS declares pthread_main_np beside the POSIX interface.
#pragma once
#include_next <pthread.h>

#if defined(__cplusplus)
extern "C" {
#endif
int pthread_main_np(void);
#if defined(__cplusplus)
}
#endif
