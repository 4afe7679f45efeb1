/* Memory allocation of the macOS C library used by the plug-in. */
#ifndef SIMPLEXQP_MACOS_STDLIB_H
#define SIMPLEXQP_MACOS_STDLIB_H
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif
void* malloc(size_t bytes);
void free(void* block);
#ifdef __cplusplus
}
#endif
#endif
