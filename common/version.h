#pragma once

// The suite's version, printed by every program's version line and usage text.
inline constexpr const char zelvane_version[] = "0.3.0";
