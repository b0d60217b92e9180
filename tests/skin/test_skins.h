#pragma once
// PNG resources of the skin tests (tests/data/skin, drawn by make_test_pngs.py).
#define IDT_ALL_MAGENTA 201  // 12 x 2 strip, every pixel magenta
#define IDT_OPAQUE 202       // 16 x 3 strip, frame 0 without magenta
#define IDT_RUNS 203         // 22 x 3 strip: one run, two runs, (255, 0, 254)
#define IDT_ALPHA 204        // 4 x 1 straight alpha
#define IDT_RGB 205          // 2 x 1 without alpha
#define IDT_KEYED 206        // 4 x 1 magenta with and without alpha
#define IDT_STRIP 207        // 40 x 10 button strip, one colour per frame
#define IDT_PALETTE 208      // 3 x 1 indexed colours
#define IDT_MISSING 157      // no such resource, in the tests as in the installer
