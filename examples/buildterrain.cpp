// Builds a terrain through the core library alone, as the README shows: a ridge stroke, the
// four stages, a rougher cross-section, and the .grd grid. Usage: buildterrain [OUTPUT.grd]
#include <cstdio>
#include <string>

#include "sketch/sketchsession.h"

int main(int argc, char** argv) {
    const std::string output = argc > 1 ? argv[1] : "peak.grd";

    SketchSession session;
    session.setPrinting(false);
    session.setViewSize(800, 600);

    // Stage 0: a ridge drawn left to right, in mouse pixels (y down), into the curve.
    session.beginStroke(20, 450);
    for (int x = 24; x <= 780; x += 4)
        session.extendStroke(x, 450 - x * (800 - x) / 1000);
    session.processLine();

    std::string message;
    bool ok = session.next(message);  // stage 1: the first terrain, one profile for all columns
    ok = ok && session.next(message); // stage 2: randomness
    if (ok) {
        session.setSliderValue(30);        // rougher cross-sections
        session.changeBottomDropOff(true); // and more of it at the foot
        ok = session.next(message);        // stage 3: every row refined
    }
    ok = ok && session.saveTerrain(output, message);
    if (!ok) {
        std::fprintf(stderr, "buildterrain: %s\n", message.c_str());
        return 1;
    }
    std::printf("%s: %d rows of %d columns\n", output.c_str(),
                static_cast<int>(session.model().grid().size()), session.model().gridColumns());
    return 0;
}
