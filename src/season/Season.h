// The two seasons the tool makes from a summer texture.
#pragma once

namespace season {

enum class Season { Winter, Fall };

} // namespace season
