"""Where each window puts its controls (x, y, w, h), as the windows' own
tables place them, and the shapes the windows cut themselves to. The
backgrounds print wells and legends at these places, and the button faces
are made at these sizes."""


def player_shape(h, left=7, right=392):
    return [(0, 0), (0, h - 5), (left, h - 5), (left, h), (left + 63, h), (left + 63, h - 5),
            (right, h - 5), (right, h), (right + 63, h), (right + 63, h - 5), (462, h - 5),
            (462, 0)]


MAIN_PANEL_SHAPE = [(58, 0), (58, 7), (17, 7), (17, 22), (0, 22), (0, 56), (7, 56), (7, 61),
                    (71, 61), (71, 56), (392, 56), (392, 61), (456, 61), (456, 56),
                    (462, 56), (462, 21), (445, 21), (445, 7), (254, 7), (254, 0)]
CD_SHAPE = player_shape(90)
MIDI_SHAPE = player_shape(108, left=6, right=391)
WAVE_SHAPE = player_shape(170)
MIXER_SHAPE = player_shape(123)
PANEL_3D_SHAPE = [(0, 0), (0, 103), (7, 103), (7, 108), (70, 108), (70, 103), (299, 103),
                  (299, 108), (362, 108), (362, 103), (370, 103), (370, 0)]

# Keys: (name, x, y, w, h).
MAIN_PANEL_KEYS = [
    ("POWER", 18, 34, 40, 11), ("CD", 251, 30, 22, 22), ("WAVE", 282, 32, 22, 22),
    ("MIDI", 314, 32, 22, 22), ("MIXER", 345, 32, 22, 22), ("CONFIG", 399, 30, 22, 22),
    ("HELP", 432, 31, 22, 22), ("MIN", 416, 9, 12, 11), ("CLOSE", 430, 9, 13, 11),
]

CD_KEYS = [
    ("PLAYLIST", 346, 33, 24, 14), ("EJECT", 370, 33, 24, 14), ("TRACKF", 420, 33, 24, 14),
    ("TRACKB", 395, 33, 24, 14), ("PLAY", 345, 58, 24, 14), ("STOP", 370, 58, 24, 14),
    ("PAUSE", 395, 58, 24, 14), ("SKIPF", 420, 58, 24, 14), ("SKIPB", 321, 58, 24, 14),
]
MIDI_KEYS = [
    ("PLAYLIST", 371, 33, 24, 14), ("TRACKF", 421, 33, 24, 14), ("TRACKB", 396, 33, 24, 14),
    ("PLAY", 346, 58, 24, 14), ("STOP", 371, 58, 24, 14), ("PAUSE", 396, 58, 24, 14),
    ("SKIPF", 421, 58, 24, 14), ("SKIPB", 321, 58, 24, 14),
]
WAVE_KEYS = [
    ("PLAYLIST", 371, 33, 24, 14), ("TRACKB", 396, 33, 24, 14), ("TRACKF", 421, 33, 24, 14),
    ("SKIPB", 321, 58, 24, 14), ("PLAY", 346, 58, 24, 14), ("STOP", 371, 58, 24, 14),
    ("PAUSE", 396, 58, 24, 14), ("SKIPF", 421, 58, 24, 14), ("RECFILE", 346, 137, 24, 14),
    ("RECPLAY", 371, 137, 24, 14), ("RECSTOP", 396, 137, 24, 14), ("RECPAUSE", 421, 137, 24, 14),
]
# The display parts every player shares: lamps, labels, digits, track grid.
PLAYER_LAMPS = [(260, 20, "ONCE"), (260, 32, "LOOP"), (260, 44, "RANDOM")]
PLAYER_DIGITS_X = [65, 82, 107, 121, 140, 154]
TRACK_GRID = [(196 + 12 * (k % 5), 20 + 12 * (k // 5)) for k in range(20)]
MIDI_EXTRAS = [("SLOW", 18, 80, 10, 9), ("FAST", 292, 80, 10, 9), ("TEMPO", 29, 80, 261, 9)]

MIXER_SLOTS = [  # button, fader, balance, bar left, bar right
    ((31, 6, 18, 6), (32, 15, 16, 65), (14, 82, 50, 14), (22, 20, 9, 59), (49, 20, 9, 59)),
    ((82, 6, 18, 6), (83, 15, 16, 65), (63, 82, 50, 14), (72, 20, 9, 59), (101, 20, 9, 59)),
    ((135, 6, 18, 6), (135, 15, 16, 65), (117, 82, 50, 14), (125, 20, 9, 59), (153, 20, 9, 59)),
    ((188, 6, 18, 6), (188, 15, 16, 65), (169, 82, 50, 14), (178, 20, 9, 59), (205, 20, 9, 59)),
    ((241, 6, 18, 6), (241, 15, 16, 65), (220, 82, 50, 14), (231, 20, 9, 59), (258, 20, 9, 59)),
    ((293, 6, 18, 6), (293, 15, 16, 65), (273, 82, 50, 14), (283, 20, 9, 59), (310, 20, 9, 59)),
    ((344, 6, 18, 6), (345, 15, 16, 65), (327, 82, 50, 14), (334, 20, 9, 59), (361, 20, 9, 59)),
]
MIXER_PAGE_KEYS = [("PLAYBACK", 389, 31, 60, 14), ("RECORD", 389, 49, 60, 14),
                   ("ADVANCE", 389, 66, 60, 14)]
MIXER_LABELS = {
    "playback": ["MASTER", "WAVE", "SYNTH", "CD", "MIC", "LINE", "AUX"],
    "record": ["MASTER", "MIX", "MONO", "CD", "MIC", "LINE", "AUX"],
    "playback advanced": ["VIDEO", "PHONE", "BEEP"],
    "record advanced": ["VIDEO", "PHONE", "I2S"],
}

PLAYLIST_KEYS = [
    ("X", 232, 4, 16, 15), ("OKSMALL", 133, 243, 49, 16), ("CANCELSMALL", 193, 243, 49, 16),
    ("ADD", 180, 36, 62, 16), ("DELETE", 180, 63, 62, 16), ("UP", 180, 90, 62, 16),
    ("DOWN", 180, 117, 62, 16), ("LOAD", 72, 243, 49, 16), ("SAVE", 10, 243, 49, 16),
]
PLAYLIST_LIST = (11, 36, 160, 195)

CONFIG_KEYS = [("OK", 234, 71, 62, 16), ("CANCEL", 234, 96, 62, 16), ("X", 328, 4, 16, 15)]
CONFIG_CHECKS = [(17, 31, "AUTO PLAY STORED MP3 LIST"),
                 (17, 48, "AUTO PLAY AUDIO CD")]
CONFIG_LISTS = [(19, 72, 201, 38, "QUALITY"), (19, 125, 308, 70, "PCM FORMAT")]

HANDSET_KEYS = [
    ("POWER", 11, 17, 40, 11), ("CD", 16, 42, 34, 32), ("MIDI", 58, 42, 34, 32),
    ("WAVE", 103, 42, 34, 32), ("PLAYLIST", 12, 95, 24, 14), ("TRACKB", 37, 95, 24, 14),
    ("TRACKF", 62, 95, 24, 14), ("EJECT", 87, 95, 24, 14), ("REC", 112, 95, 24, 14),
    ("SKIPB", 12, 115, 24, 14), ("PLAY", 37, 115, 24, 14), ("STOP", 62, 115, 24, 14),
    ("PAUSE", 87, 115, 24, 14), ("SKIPF", 112, 115, 24, 14), ("3D", 85, 142, 32, 32),
    ("-", 9, 159, 21, 10), ("+", 51, 159, 21, 10), ("RANDOM", 9, 182, 63, 16),
    ("REPEAT", 75, 182, 63, 16),
    ("NUM1", 9, 206, 30, 14), ("NUM2", 42, 206, 30, 14), ("NUM3", 75, 206, 30, 14),
    ("NUM4", 108, 206, 30, 14), ("NUM5", 9, 224, 30, 14), ("NUM6", 42, 224, 30, 14),
    ("NUM7", 75, 224, 30, 14), ("NUM8", 108, 224, 30, 14), ("NUM9", 9, 242, 30, 14),
    ("NUM0", 42, 242, 30, 14),
]

PANEL_3D_TABS = [("VELOCITY", 0, 80, 79, 23), ("POSITION", 77, 80, 75, 23),
                 ("CONE", 150, 80, 57, 23), ("DISTANCE", 205, 80, 157, 23)]
PANEL_3D_ROWS = [16, 37, 58]
PANEL_3D_SLIDER_NAMES = {
    "VELOCITY": ["X", "Y", "Z"], "POSITION": ["X", "Y", "Z"],
    "CONE": ["INNER", "OUTER"], "DISTANCE": ["MIN", "MAX"],
}
PANEL_3D_RESET = (302, 32, 26, 26)
