// SPDX-License-Identifier: GPL-2.0-or-later
// Marks a function whose loops run many samples at once to be compiled
// three times on x86-64: for the baseline every such processor has, for
// AVX2 and for AVX-512, chosen by the processor it runs on when the program
// starts. The loops fix the order of every addition in their own code, and
// products are never fused into multiply-adds, so every version computes
// the same bits; the wider ones only do more of them at a time.
#pragma once

// Not under the thread sanitizer: the choice is made while the program is
// loaded, before that sanitizer's run-time is ready for the code making it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__)
#define CHIPBOX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define CHIPBOX_VECTOR_CLONES
#endif

// For the helpers of such a function: compiled into each of its versions
// rather than called in the baseline one.
#define CHIPBOX_INLINE_INTO_CLONES __attribute__((always_inline)) inline
