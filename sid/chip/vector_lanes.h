// SPDX-License-Identifier: GPL-2.0-or-later
// Floats and doubles side by side, for the loops compiled in several
// versions (see vector_clones.h). Arithmetic on them is lane by lane, so
// every version makes the same bits. None is wider than 32 bytes: wider
// vectors than the processor's widest are split through memory.
//
// Vectors are handed by reference, never by value: by value their passing
// would differ between the versions.
#pragma once

#include <cstring>

#include "sid/chip/vector_clones.h"

namespace chipbox::sidchip {

using FourFloats = float __attribute__((vector_size(16)));
using EightFloats = float __attribute__((vector_size(32)));
using FourDoubles = double __attribute__((vector_size(32)));

// The lanes from `values`, which need not be aligned.
template <class Vector, class Scalar>
CHIPBOX_INLINE_INTO_CLONES void LoadLanes(Vector& lanes, const Scalar* values) {
    static_assert(sizeof lanes % sizeof *values == 0);
    std::memcpy(&lanes, values, sizeof lanes);
}

}  // namespace chipbox::sidchip
