#include "media/PlayListLayout.h"

const PlayListKeyPlace kPlayListKeys[kPlayListKeyCount] = {
    {kPlayListCancel, "X", 232, 4, 16, 15},
    {kPlayListCancel, "CANCELSMALL", 193, 243, 49, 16},
    {kPlayListOk, "OKSMALL", 133, 243, 49, 16},
    {kPlayListAdd, "ADD", 180, 36, 62, 16},
    {kPlayListDelete, "DELETE", 180, 63, 62, 16},
    {kPlayListUp, "UP", 180, 90, 62, 16},
    {kPlayListDown, "DOWN", 180, 117, 62, 16},
    {kPlayListLoad, "LOAD", 72, 243, 49, 16},
    {kPlayListSave, "SAVE", 10, 243, 49, 16},
};

const PlayListBoxPlace kPlayListBoxPlace = {11, 36, 160, 195};
