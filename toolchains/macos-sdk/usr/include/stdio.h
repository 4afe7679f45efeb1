/* Formatting into a buffer, as the macOS C library offers it. */
#ifndef SIMPLEXQP_MACOS_STDIO_H
#define SIMPLEXQP_MACOS_STDIO_H
#include <stdarg.h>
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif
int snprintf(char* buffer, size_t capacity, const char* format, ...) __attribute__((format(printf, 3, 4)));
int vsnprintf(char* buffer, size_t capacity, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));
#ifdef __cplusplus
}
#endif
#endif
