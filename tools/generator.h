#pragma once
// Makers of the show's data files. Each returns the complete bytes of one
// file; a maker that finds its own output unusable throws std::runtime_error.
#include <string>
#include <vector>

#include "gen_util.h"

namespace gen {

struct DataFile {
    std::string path;  // relative to the output folder, e.g. "bitmap/font.Raw"
    Bytes (*make)();
};

// Every file the show reads, in the order they are written.
const std::vector<DataFile>& DataFiles();

Bytes MakeFont();         // bitmap/font.Raw, 704 x 26
Bytes MakeFlag();         // bitmap/zastava.Raw, 512 x 256
Bytes MakeMetalPlate();   // bitmap/meta.Raw, 256 x 256
Bytes MakeTitleCard();    // bitmap/moldivane.Raw, 320 x 240
Bytes MakeCreditsCard();  // bitmap/kesto.Raw, 320 x 240
Bytes MakeBandOne();      // bitmap/one.Raw, 320 x 80
Bytes MakeBandTargets();  // bitmap/targets.Raw, 320 x 80
Bytes MakeWorldMap();     // bitmap/zemlja.Raw, 640 x 320
Bytes MakeStripWho();     // bitmap/who.Raw, 64 x 240
Bytes MakeLogo();         // bitmap/logo.Raw, 320 x 240

Bytes MakePanelObject();  // obj/nrect.lwo
Bytes MakeBallObject();   // obj/nball.lwo
Bytes MakeGlobeObject();  // obj/nballx.lwo
Bytes MakeBoxObject();    // obj/nbox.lwo

Bytes MakeModule();      // snd/pelerind.xm
Bytes MakeScrollText();  // dat/text.dat

}  // namespace gen
