// The AVX-512 intrinsics for the *_avx512.cpp kernel files. GCC 12 reports
// the "undefined value" idiom inside its own AVX-512 headers as an
// uninitialised variable wherever an intrinsic using it is inlined; the
// header's lines are exempted, every other line keeps the warning.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif
