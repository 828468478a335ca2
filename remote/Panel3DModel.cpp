#include "remote/Panel3DModel.h"

#include <algorithm>

namespace {

struct Zone {
  int x, y, width, height;
  Panel3DAction action;
};

// Tested in this order: the cone tab overlaps the position tab's right end
// and wins there.
const Zone kZones[] = {
    {0, 80, 79, 23, kActionVelocityPage},    {150, 80, 57, 23, kActionConePage},
    {77, 80, 75, 23, kActionPositionPage},   {205, 80, 157, 23, kActionDistancePage},
    {62, 16, 10, 9, kActionSlider1Down},     {62, 37, 10, 9, kActionSlider2Down},
    {62, 58, 10, 9, kActionSlider3Down},     {255, 16, 10, 9, kActionSlider1Up},
    {255, 37, 10, 9, kActionSlider2Up},      {255, 58, 10, 9, kActionSlider3Up},
    {302, 32, 26, 26, kActionResetAndHide},
};

bool SignedPage(int page) { return page == kPageVelocity || page == kPagePosition; }

int* StepOf(Panel3DSteps& s, int page, int slider) {
  if (slider < 1 || slider > SlidersOnPage(page)) return nullptr;
  switch (page) {
    case kPageVelocity: return &s.velocity[slider - 1];
    case kPagePosition: return &s.position[slider - 1];
    case kPageCone: return slider == 1 ? &s.coneInside : &s.coneOutside;
    case kPageDistance: return slider == 1 ? &s.minDistance : &s.maxDistance;
    default: return nullptr;
  }
}

bool MoveStep(Panel3DModel& model, int slider, int delta) {
  int* step = StepOf(model.steps, model.page, slider);
  if (step == nullptr) return false;
  const int low = SignedPage(model.page) ? -9 : 0;
  const int high = SignedPage(model.page) ? 9 : 19;
  const int next = *step + delta;
  if (next < low || next > high) return false;
  *step = next;
  return true;
}

}  // namespace

Panel3DAction HitPanel3DZone(int page, int x, int y) {
  const bool thirdSlider = SlidersOnPage(page) == 3;
  for (const Zone& z : kZones) {
    if (!thirdSlider && (z.action == kActionSlider3Down || z.action == kActionSlider3Up)) continue;
    if (x >= z.x && x < z.x + z.width && y >= z.y && y < z.y + z.height) return z.action;
  }
  return kActionNone;
}

int PageOfAction(Panel3DAction action) {
  switch (action) {
    case kActionVelocityPage: return kPageVelocity;
    case kActionPositionPage: return kPagePosition;
    case kActionConePage: return kPageCone;
    case kActionDistancePage: return kPageDistance;
    default: return -1;
  }
}

int SlidersOnPage(int page) { return SignedPage(page) ? 3 : 2; }

bool StepSliderDown(Panel3DModel& model, int slider) { return MoveStep(model, slider, -1); }
bool StepSliderUp(Panel3DModel& model, int slider) { return MoveStep(model, slider, +1); }

int SliderStep(const Panel3DModel& model, int slider) {
  const int* step = StepOf(const_cast<Panel3DSteps&>(model.steps), model.page, slider);
  return step != nullptr ? *step : -1;
}

int SliderMarker(const Panel3DModel& model, int slider) {
  if (slider < 1 || slider > SlidersOnPage(model.page)) return -1;
  const int step = SliderStep(model, slider);
  return SignedPage(model.page) ? step + 9 : step;
}

Shared3DBlock Compute3DBlock(const Panel3DSteps& s) {
  Shared3DBlock b{};
  b.minDistance = static_cast<float>(std::max(s.minDistance, 1));
  b.maxDistance = std::max(static_cast<float>(s.maxDistance), b.minDistance);
  // The position scales with the distance range; formed in extended
  // precision and rounded once to the block's float.
  auto place = [&](int step) {
    return static_cast<float>(static_cast<long double>(step) * s.maxDistance * 0.1);
  };
  b.positionX = place(s.position[0]);
  b.positionY = place(s.position[1]);
  b.positionZ = place(s.position[2]);
  b.velocityX = static_cast<float>(s.velocity[0]);
  b.velocityY = static_cast<float>(s.velocity[1]);
  b.velocityZ = static_cast<float>(s.velocity[2]);
  const uint32_t outside = static_cast<uint32_t>(3 * s.coneOutside + 60);
  b.coneInsideAngle = std::min(static_cast<uint32_t>(3 * s.coneInside + 30), outside);
  b.coneOutsideAngle = outside;
  return b;
}
