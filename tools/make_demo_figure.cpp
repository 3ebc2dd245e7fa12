// Writes the tutorial's demonstration figure: a ".lbd" save of a char_vuro figure that the
// figure loader opens as "demo.lbd" while the tutorial runs.
//   vn-demo-figure <out.lbd>

#include "engine/SaveBuffer.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

struct Record {
    const char* package;
    const char* category;
    std::uint32_t item; // package-local; 0 = layer not shown
    std::uint8_t r, g, b;
};

// In the set's category order; items of the logo package are numbered within that package.
const Record kFigure[] = {
    {"char_vuro", "background", 2, 255, 255, 255},
    {"char_vuro", "body", 1, 214, 160, 120},
    {"char_vuro", "eyes", 2, 255, 255, 255},
    {"char_vuro", "mouth", 1, 255, 255, 255},
    {"char_vuro", "pants", 3, 70, 80, 110},
    {"char_vuro", "shoes", 2, 255, 255, 255},
    {"char_vuro", "shirt", 2, 90, 160, 90},
    {"char_vuro", "hair", 3, 90, 55, 35},
    {"char_vuro", "cap", 0, 255, 255, 255},
    {"season_logo", "badge", 1, 255, 255, 255},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vn-demo-figure <out.lbd>\n");
        return 2;
    }
    SaveBuffer buffer;
    buffer.WriteU32(3);
    buffer.WriteU32(sizeof kFigure / sizeof kFigure[0]);
    for (const Record& r : kFigure) {
        buffer.WriteString(r.package);
        buffer.WriteString(r.category);
        buffer.WriteU32(r.item);
        buffer.WriteU8(0);
        buffer.WriteU32(r.r);
        buffer.WriteU32(r.g);
        buffer.WriteU32(r.b);
        buffer.WriteU32(255);
        buffer.WriteFloat(0.0f);
        buffer.WriteFloat(0.0f);
    }
    buffer.WriteString("char_vuro");
    if (!buffer.WriteFile(argv[1], "lbd", "figurePackSaver")) {
        std::fprintf(stderr, "vn-demo-figure: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
