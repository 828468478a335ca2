// The 3D sound parameters that Handset's 3D panel hands to the wave player
// through the named shared-memory block "3DShareName". Both programs use this
// layout: ten little-endian 4-byte fields, 40 bytes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

constexpr char kShared3DName[] = "3DShareName";
// Held while the block is written or copied, so a half-written block is
// never applied. The reader waits for it only briefly: a program holding it
// must not stall the player.
constexpr char kShared3DLockName[] = "Local\\3DShareLock";
constexpr unsigned long kShared3DLockWaitMs = 100;

struct Shared3DBlock {
  float maxDistance;        // group 1
  float minDistance;        // group 1
  float positionX;          // group 2
  float positionY;
  float positionZ;
  float velocityX;          // group 8
  float velocityY;
  float velocityZ;
  uint32_t coneInsideAngle;   // group 4, degrees
  uint32_t coneOutsideAngle;  // group 4, degrees
};
static_assert(sizeof(Shared3DBlock) == 40, "the shared 3D block has 40 bytes");
static_assert(offsetof(Shared3DBlock, positionX) == 8 && offsetof(Shared3DBlock, velocityX) == 20 &&
                  offsetof(Shared3DBlock, coneInsideAngle) == 32,
              "shared 3D block layout");

// Bits of the group mask sent with commands 5020 (apply) and 5021 (read back).
enum Shared3DGroup : uint32_t {
  k3DDistances = 1,
  k3DPosition = 2,
  k3DConeAngles = 4,
  k3DVelocity = 8,
  k3DAllGroups = 15,
};

// Any program may write the block, so what reaches the sound device is
// bounded: distances positive and at most a million, positions as far,
// cone angles 0..360 with the inside one no wider than the outside one.
constexpr float k3DMinDistance = 0.001f;
constexpr float k3DMaxDistance = 1.0e6f;
constexpr float k3DMaxCoordinate = 1.0e6f;
// Near the speed of sound (343 m/s) the Doppler shift runs away; per axis
// this keeps a source's speed below it.
constexpr float k3DMaxSpeed = 190.0f;
constexpr uint32_t k3DMaxConeAngle = 360;

// A group holding a value that is not a finite number is dropped from the
// mask returned; the values of the other selected groups are clamped.
inline uint32_t Sanitize3DBlock(Shared3DBlock* b, uint32_t mask) {
  auto finite = [](std::initializer_list<float> values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
  };
  auto clamp = [](float* v, float low, float high) { *v = std::min(std::max(*v, low), high); };
  if ((mask & k3DDistances) && !finite({b->maxDistance, b->minDistance})) mask &= ~k3DDistances;
  if ((mask & k3DPosition) && !finite({b->positionX, b->positionY, b->positionZ})) mask &= ~k3DPosition;
  if ((mask & k3DVelocity) && !finite({b->velocityX, b->velocityY, b->velocityZ})) mask &= ~k3DVelocity;
  clamp(&b->maxDistance, k3DMinDistance, k3DMaxDistance);
  clamp(&b->minDistance, k3DMinDistance, b->maxDistance);
  for (float* v : {&b->positionX, &b->positionY, &b->positionZ}) clamp(v, -k3DMaxCoordinate, k3DMaxCoordinate);
  for (float* v : {&b->velocityX, &b->velocityY, &b->velocityZ}) clamp(v, -k3DMaxSpeed, k3DMaxSpeed);
  b->coneOutsideAngle = std::min(b->coneOutsideAngle, k3DMaxConeAngle);
  b->coneInsideAngle = std::min(b->coneInsideAngle, b->coneOutsideAngle);
  return mask;
}
