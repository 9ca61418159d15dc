// Compiler hints, spelled for each compiler the code is built with.
#pragma once

// Keeps a rarely taken, large function out of its caller, so that the
// caller's common path stays small.
#if defined(_MSC_VER)
#define ZELK_NOINLINE __declspec(noinline)
#else
#define ZELK_NOINLINE __attribute__((noinline))
#endif

// Inlines a small function into every caller, whatever the compiler's own
// budget says: for the steps of a hot loop that must not become calls.
#if defined(_MSC_VER)
#define ZELK_ALWAYS_INLINE __forceinline
#else
#define ZELK_ALWAYS_INLINE inline __attribute__((always_inline))
#endif

// The same for a lambda, written after its parameter list (left to the
// compiler's own budget by MSVC, whose spelling for it is recent).
#if defined(_MSC_VER)
#define ZELK_ALWAYS_INLINE_LAMBDA
#else
#define ZELK_ALWAYS_INLINE_LAMBDA __attribute__((always_inline))
#endif

// Tells the compiler that a condition is rarely true, so that the common
// path of a hot loop is laid out straight.
#if defined(_MSC_VER)
#define ZELK_UNLIKELY(condition) (condition)
#else
#define ZELK_UNLIKELY(condition) __builtin_expect(!!(condition), 0)
#endif
