// Colours and drawing constants. Plain values.
#pragma once

#include "kit/kernel/OS.h"

struct rgb_color {
    uint8 red;
    uint8 green;
    uint8 blue;
    uint8 alpha;

    constexpr bool operator==(const rgb_color&) const = default;
};

// The only pattern the kit draws with: the view's high colour.
enum pattern { B_SOLID_HIGH };
