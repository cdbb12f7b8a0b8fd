#pragma once

// The animation of the animated-GIF control's benchmarks: 120 x 50, 10 frames at 10 a second, looping
// forever, 16 colours with transparency.

#include <cstdint>
#include <vector>

#include "controls/anigif/gif_builder.h"

namespace pap::bench {

// Each frame a diagonal band pattern, index 0 transparent.
inline std::vector<uint8_t> ControlAnimation()
{
    using namespace anigif::test;
    Bytes out;
    Header(out, "GIF89a", 120, 50, 0x83);  // 16 colours
    for (unsigned i = 0; i < 16; ++i)
        out.insert(out.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 7)});
    Application(out, "NETSCAPE2.0", {0x01, 0x00, 0x00});
    for (unsigned k = 0; k < 10; ++k) {
        Gce(out, 1, 10, true, 0);
        Descriptor(out, 0, 0, 120, 50, 0);
        std::vector<unsigned> codes;
        for (unsigned y = 0; y < 50; ++y)
            for (unsigned x = 0; x < 120; ++x) {
                if ((x + y) % 64 == 0)
                    codes.push_back(16);  // a clear now and then keeps the code width at 5 bits
                codes.push_back((x + y + k * 3) % 16);
            }
        codes.insert(codes.begin(), 16);
        codes.push_back(17);
        ImageData(out, 4, PackCodes(4, codes));
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace pap::bench
