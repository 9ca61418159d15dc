// Lets the compiler check printf-style formats against their arguments.
#pragma once

#if defined(__GNUC__)
#if defined(__MINGW32__)
#define ZELK_PRINTF_CHECK(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define ZELK_PRINTF_CHECK(fmt, args) __attribute__((format(printf, fmt, args)))
#endif
#else
#define ZELK_PRINTF_CHECK(fmt, args)
#endif
