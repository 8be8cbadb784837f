// The show's music, composed in code: a four-channel module in A minor whose
// sections follow the storyboard and whose drums land on every row where the
// pictures pulse or flash.
#pragma once

#include <cstdint>
#include <vector>

// The complete module file, deterministic byte for byte.
std::vector<uint8_t> compose_zurivovariv();
