// What the 3D panel holds and computes, without any window: the slider steps
// of its four pages, the arrow and tab zones a click can hit, and the block
// of 3D parameters the wave player receives. Portable, so it is checked
// natively too.
#pragma once

#include "common/Shared3DBlock.h"

enum Panel3DPage : int { kPageVelocity = 0, kPagePosition = 1, kPageCone = 2, kPageDistance = 3 };

struct Panel3DSteps {
  int velocity[3] = {0, 0, 0};  // -9..9
  int position[3] = {0, 0, 0};  // -9..9
  int coneInside = 0;           // 0..19
  int coneOutside = 0;          // 0..19
  int minDistance = 0;          // 0..19
  int maxDistance = 0;          // 0..19
};

struct Panel3DModel {
  Panel3DSteps steps;
  int page = kPagePosition;
};

// What a press on the panel does, in the order the zones are tested.
enum Panel3DAction : int {
  kActionNone = -1,  // no zone: the press moves the window
  kActionVelocityPage = 0,
  kActionConePage,
  kActionPositionPage,
  kActionDistancePage,
  kActionSlider1Down,
  kActionSlider2Down,
  kActionSlider3Down,
  kActionSlider1Up,
  kActionSlider2Up,
  kActionSlider3Up,
  kActionResetAndHide,
};

// The first enabled zone containing the point; slider 3's arrows are
// disabled on the pages that have two sliders.
Panel3DAction HitPanel3DZone(int page, int x, int y);

// The page a tab action selects, or -1 for other actions.
int PageOfAction(Panel3DAction action);

// Sliders shown on a page: three on velocity and position, two otherwise.
int SlidersOnPage(int page);

// Moves slider (1..3) of the current page one step; false at a limit or
// for a slider the page does not have.
bool StepSliderDown(Panel3DModel& model, int slider);
bool StepSliderUp(Panel3DModel& model, int slider);

// The step slider (1..3) of the current page shows, and where its marker
// sits (0..18 on the signed pages, 0..19 otherwise). -1 when there is none.
int SliderStep(const Panel3DModel& model, int slider);
int SliderMarker(const Panel3DModel& model, int slider);

// The block sent to the wave player. Distances are kept where the sound
// stays audible: a minimum of at least 1 and a maximum not below it (zero
// distances silence a 3D buffer). The inside cone never exceeds the outside.
Shared3DBlock Compute3DBlock(const Panel3DSteps& steps);
