/* Byte and string operations of the macOS C library used by the plug-in. */
#ifndef SIMPLEXQP_MACOS_STRING_H
#define SIMPLEXQP_MACOS_STRING_H
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif
void* memcpy(void* destination, const void* source, size_t bytes);
void* memmove(void* destination, const void* source, size_t bytes);
void* memset(void* destination, int value, size_t bytes);
int memcmp(const void* first, const void* second, size_t bytes);
size_t strlen(const char* text);
#ifdef __cplusplus
}
#endif
#endif
