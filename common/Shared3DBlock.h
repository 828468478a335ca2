// The 3D sound parameters that Handset's 3D panel hands to the wave player
// through the named shared-memory block "3DShareName". Both programs use this
// layout: ten little-endian 4-byte fields, 40 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char kShared3DName[] = "3DShareName";

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
