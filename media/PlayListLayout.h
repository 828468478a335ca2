// Where everything of the playlist window's face sits: its size, its bitmap
// keys and its list box.
#pragma once

constexpr char kPlayListClass[] = "PlayListClass";
constexpr char kPlayListTitle[] = "PlayList";
constexpr int kPlayListWidth = 252;
constexpr int kPlayListHeight = 272;

// Control ids; the keys' ids are what they do. The "X" key and CANCELSMALL
// share the cancel id.
enum PlayListControl : int {
  kPlayListBox = 999,
  kPlayListOk = 1001,
  kPlayListCancel = 1002,
  kPlayListAdd = 1004,
  kPlayListDelete = 1005,
  kPlayListUp = 1006,
  kPlayListDown = 1007,
  kPlayListSave = 1008,
  kPlayListLoad = 1009,
};

struct PlayListKeyPlace {
  int id;
  const char* name;  // base name of the key's images
  int x, y, width, height;
};
// The "X" key comes first, CANCELSMALL second.
constexpr int kPlayListKeyCount = 9;
extern const PlayListKeyPlace kPlayListKeys[kPlayListKeyCount];

struct PlayListBoxPlace {
  int x, y, width, height;
};
extern const PlayListBoxPlace kPlayListBoxPlace;
