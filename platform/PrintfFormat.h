#pragma once
// Compiler checks for our printf-style functions. Their texts use C99 formats ("%zu", "%lld")
// on every side; MinGW's own printf checks would otherwise expect the old Microsoft ones.
#ifdef __MINGW32__
#define VX_PRINTF_FORMAT(fmt, first) __attribute__((format(gnu_printf, fmt, first)))
#else
#define VX_PRINTF_FORMAT(fmt, first) __attribute__((format(printf, fmt, first)))
#endif
