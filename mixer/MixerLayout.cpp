#include "mixer/MixerLayout.h"

#include "resources/ResourceIds.h"

// The bottom five rows are cut away but for two tabs.
const POINT kMixerShape[kMixerShapePoints] = {{0, 0},     {0, 118},   {7, 118},   {7, 123},
                                              {70, 123},  {70, 118},  {392, 118}, {392, 123},
                                              {455, 123}, {455, 118}, {462, 118}, {462, 0}};

const ColumnPlace kColumnPlaces[mixer::kSlotCount] = {
    {{31, 6, 18, 6}, {32, 15, 16, 65}, {14, 82, 50, 14}, {22, 20, 9, 59}, {49, 20, 9, 59}, "BALENCEB"},
    {{82, 6, 18, 6}, {83, 15, 16, 65}, {63, 82, 50, 14}, {72, 20, 9, 59}, {101, 20, 9, 59}, "BALENCEB1"},
    {{135, 6, 18, 6}, {135, 15, 16, 65}, {117, 82, 50, 14}, {125, 20, 9, 59}, {153, 20, 9, 59}, "BALENCEB2"},
    {{188, 6, 18, 6}, {188, 15, 16, 65}, {169, 82, 50, 14}, {178, 20, 9, 59}, {205, 20, 9, 59}, "BALENCEB3"},
    {{241, 6, 18, 6}, {241, 15, 16, 65}, {220, 82, 50, 14}, {231, 20, 9, 59}, {258, 20, 9, 59}, nullptr},
    {{293, 6, 18, 6}, {293, 15, 16, 65}, {273, 82, 50, 14}, {283, 20, 9, 59}, {310, 20, 9, 59}, "BALENCEB5"},
    {{344, 6, 18, 6}, {345, 15, 16, 65}, {327, 82, 50, 14}, {334, 20, 9, 59}, {361, 20, 9, 59}, "BALENCEB6"},
    {{31, 6, 18, 6}, {32, 15, 16, 65}, {14, 82, 50, 14}, {22, 20, 9, 59}, {49, 20, 9, 59}, "BALENCEB2"},
    {{82, 6, 18, 6}, {82, 15, 16, 65}, {63, 82, 50, 14}, {72, 20, 9, 59}, {101, 20, 9, 59}, "BALENCEB"},
    {{135, 6, 18, 6}, {135, 15, 16, 65}, {117, 82, 50, 14}, {125, 20, 9, 59}, {153, 20, 9, 59}, "BALENCEB1"},
};

const PageKeyPlace kPageKeys[3] = {
    {kPlaybackPageKey, "PLAYBACK", {389, 31, 60, 14}},
    {kRecordPageKey, "RECORD", {389, 49, 60, 14}},
    {kAdvancedPageKey, kAdvanceText, {389, 66, 60, 14}},
};

int PageBackground(int page) {
  static const int kFaces[4] = {kMixerPlaybackFace, kMixerRecordFace, kMixerPlaybackAdvancedFace,
                                kMixerRecordAdvancedFace};
  return kFaces[page & 3];
}
