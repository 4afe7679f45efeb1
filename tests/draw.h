// A small seeded generator for test and benchmark problems: a 64-bit linear
// congruential sequence whose top 53 bits give a double in [0, 1). Its own,
// so that these problems do not depend on how the corpus draws its numbers.
#ifndef SIMPLEXQP_TESTS_DRAW_H
#define SIMPLEXQP_TESTS_DRAW_H

#include <cstdint>

struct Draw {
    uint64_t state;
};

inline double unit(Draw& draw)
{
    draw.state = draw.state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(draw.state >> 11) * 0x1.0p-53;
}

#endif
