// SPDX-License-Identifier: GPL-2.0-or-later
// The SID's envelope times, in seconds per full-scale sweep. These are
// measured times, not the rounded datasheet values.
#pragma once

#include <array>

namespace chipbox {

constexpr std::array<double, 16> ATTACK_TIMES = {
    0.0022528606, 0.0080099577, 0.0157696042, 0.0237795619, 0.0372963655, 0.0550684591,
    0.0668330845, 0.0783473987, 0.0981219818, 0.244554021,  0.489108042,  0.782472742,
    0.977715461,  2.93364701,   4.88907793,   7.82272493,
};

constexpr std::array<double, 16> DECAY_RELEASE_TIMES = {
    0.00891777693, 0.024594051, 0.0484185907, 0.0730116639, 0.114512475, 0.169078356,
    0.205199432,   0.240551975, 0.301266125,  0.750858245,  1.50171551,  2.40243682,
    3.00189298,    9.00721405,  15.010998,    24.0182111,
};

}  // namespace chipbox
