// SPDX-License-Identifier: MIT
#pragma once
// The filters round every single-precision step to a 32-bit float. That holds
// only where the compiler evaluates float expressions in float (not in a wider
// x87 register), so refuse to build anywhere else.

#include <cfloat>
#include <limits>

static_assert(FLT_EVAL_METHOD == 0, "float expressions must be evaluated in single precision");
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "the filters need IEEE-754 single and double precision");
