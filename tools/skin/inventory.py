"""Every image of both programs: resource name or number, size, where it is
used, and how it is drawn. The resource scripts are written from this list,
so an image the programs use but the list lacks has no resource and fails
the build, and an entry without a drawing fails the generator."""
import faces as F
import glyphs as G
import layouts as L
import panels as P
from font import GLYPHS

TRANSPORT = {  # 24 x 14 keys of the players and the remote: glyph, accent
    "PLAYLIST": G.PLAYLIST, "EJECT": G.EJECT, "TRACKF": G.TRACK_FORWARD,
    "TRACKB": G.TRACK_BACK, "PLAY": G.PLAY, "STOP": G.STOP, "PAUSE": G.PAUSE,
    "SKIPF": G.SKIP_FORWARD, "SKIPB": G.SKIP_BACK, "RECFILE": G.FOLDER, "RECPLAY": G.RECORD,
    "RECSTOP": G.STOP, "RECPAUSE": G.PAUSE, "REC": G.RECORD,
}
RED_KEYS = {"RECPLAY", "REC"}


def _red(state):
    import style as s
    return s.red(31) if state != "X" else None


def transport_face(name):
    def build(state):
        accent = _red(state) if name in RED_KEYS else None
        return F.key(24, 14, state, glyph=TRANSPORT[name], accent=accent)
    return build


def legend_face(w, h, legend, glyph=None, small=None):
    return lambda state: F.key(w, h, state, legend=legend, glyph=glyph, small=small)


def selector_face(w, h, glyph, legend):
    return lambda state: F.round_key(w, h, state, glyph, legend, None)


def button_set(entries, program, name, size, use, build, states):
    for st in states:
        entries.append((program, name + st, size, use, (lambda b, st: lambda: b(st))(build, st)))


def cantorix_entries():
    e = []
    add = e.append
    add(("cantorix", 149, (462, 61), "main panel face; palette of every Cantorix image", P.main_panel))
    add(("cantorix", 165, (462, 90), "CD player face", P.cd_player))
    add(("cantorix", 478, (462, 108), "MIDI player face", P.midi_player))
    add(("cantorix", 481, (462, 170), "wave player face", P.wave_player))
    for number, side, adv in ((499, "playback", False), (516, "record", False),
                              (519, "playback", True), (520, "record", True)):
        add(("cantorix", number, (462, 123), "mixer page %s%s" % (side, " advanced" if adv else ""),
             (lambda a, b: lambda: P.mixer_page(a, b))(side, adv)))
    add(("cantorix", 581, (252, 272), "playlist window face", P.playlist))
    add(("cantorix", 604, (347, 214), "configuration window face", P.config_window))
    for d in range(10):
        add(("cantorix", 193 + d, (14, 20), "LED digit %d" % d, (lambda d: lambda: F.led_digit(d))(d)))
    add(("cantorix", 203, (30, 6), "TRACK label of the player displays",
         lambda: F.small_label(30, 6, "TRACK")))
    add(("cantorix", 451, (30, 6), "MIN label", lambda: F.small_label(30, 6, "MIN")))
    add(("cantorix", 452, (30, 6), "SEC label", lambda: F.small_label(30, 6, "SEC")))
    for n in range(1, 101):
        add(("cantorix", 202 + 2 * n, (10, 9), "track %d indicator, played" % n,
             (lambda n: lambda: F.track_indicator(n, False))(n)))
        add(("cantorix", 203 + 2 * n, (10, 9), "track %d indicator, to come" % n,
             (lambda n: lambda: F.track_indicator(n, True))(n)))
    add(("cantorix", 420, (10, 9), "previous page of track indicators", lambda: F.page_arrow(True)))
    add(("cantorix", 423, (10, 9), "next page of track indicators", lambda: F.page_arrow(False)))
    for number, text, lit in ((444, "LOOP", True), (453, "LOOP", False), (446, "ONCE", True),
                              (445, "ONCE", False), (450, "RANDOM", True), (449, "RANDOM", False)):
        add(("cantorix", number, (34, 8), "%s lamp %s" % (text, "lit" if lit else "dark"),
             (lambda t, l: lambda: F.mode_lamp(t, l))(text, lit)))
    add(("cantorix", 477, (262, 9), "MIDI tempo strip", lambda: F.tempo_strip(262, 29, 11)))
    add(("cantorix", 504, (18, 6), "mixer mute/select off", lambda: F.mute_button(False)))
    add(("cantorix", 505, (18, 6), "mixer mute/select on", lambda: F.mute_button(True)))
    add(("cantorix", 515, (9, 59), "mixer level bar", F.level_track))
    add(("cantorix", "FADERB", (16, 65), "mixer fader track", F.fader_track))
    add(("cantorix", "FADER", (16, 7), "mixer fader thumb", F.fader_thumb))
    for i, name in enumerate(["BALENCEB", "BALENCEB1", "BALENCEB2", "BALENCEB3", "BALENCEB5",
                              "BALENCEB6"]):
        add(("cantorix", name, (50, 14), "mixer balance track",
             (lambda i: lambda: F.balance_track(i))(i)))
    add(("cantorix", "BALENCE", (5, 14), "mixer balance thumb", F.balance_thumb))
    add(("cantorix", "SLOWU", (10, 9), "MIDI tempo down", lambda: F.small_arrow_key(True)))
    add(("cantorix", "FASTU", (10, 9), "MIDI tempo up", lambda: F.small_arrow_key(False)))
    add(("cantorix", "CHECKED", (13, 13), "configuration check box on", lambda: F.check_box(True)))
    add(("cantorix", "CHECKIT", (13, 13), "configuration check box off", lambda: F.check_box(False)))

    UD, UDX = "UD", "XUD"
    button_set(e, "cantorix", "POWER", (40, 11), "main panel key",
               legend_face(40, 11, "POWER", G.POWER, small=True), UD)
    for name, glyph, legend in (("CD", G.DISC, "CD"), ("WAVE", G.WAVE, "WAV"),
                                ("MIDI", G.NOTE, "MIDI"), ("MIXER", G.SLIDERS, "MIX"),
                                ("CONFIG", G.GEAR, "CFG"), ("HELP", GLYPHS["?"], "HELP")):
        button_set(e, "cantorix", name, (22, 22), "main panel key", selector_face(22, 22, glyph, legend), UD)
    button_set(e, "cantorix", "MIN", (12, 11), "main panel key", legend_face(12, 11, None, G.MINIMIZE), UD)
    button_set(e, "cantorix", "CLOSE", (13, 11), "main panel key", legend_face(13, 11, None, G.CLOSE), UD)
    for name in ("PLAYLIST", "EJECT", "TRACKF", "TRACKB", "PLAY", "STOP", "PAUSE", "SKIPF",
                 "SKIPB", "RECFILE", "RECPLAY", "RECSTOP", "RECPAUSE"):
        button_set(e, "cantorix", name, (24, 14), "player key", transport_face(name), UDX)
    button_set(e, "cantorix", "OK", (62, 16), "configuration key", legend_face(62, 16, "OK"), UD)
    button_set(e, "cantorix", "CANCEL", (62, 16), "configuration key", legend_face(62, 16, "CANCEL"), UD)
    button_set(e, "cantorix", "X", (16, 15), "configuration and playlist close key",
               legend_face(16, 15, None, G.CLOSE), UDX)
    for name, size, legend, glyph in (("OKSMALL", (49, 16), "OK", None),
                                      ("CANCELSMALL", (49, 16), "CANCEL", None),
                                      ("LOAD", (49, 16), "LOAD", None), ("SAVE", (49, 16), "SAVE", None),
                                      ("ADD", (62, 16), "ADD", None), ("DELETE", (62, 16), "DELETE", None),
                                      ("UP", (62, 16), "UP", G.UP), ("DOWN", (62, 16), "DOWN", G.DOWN)):
        button_set(e, "cantorix", name, size, "playlist key", legend_face(size[0], size[1], legend, glyph), UDX)
    for name, legend, states in (("PLAYBACK", "PLAYBACK", UDX), ("RECORD", "RECORD", UDX),
                                 ("ADVANCE", "ADVANCE", UD), ("NORMAL", "NORMAL", UD)):
        button_set(e, "cantorix", name, (60, 14), "mixer page key", legend_face(60, 14, legend), states)
    return e


def handset_entries():
    e = []
    add = e.append
    add(("handset", 102, (150, 305), "remote face; palette of every Handset image", P.handset))
    for page in ("VELOCITY", "POSITION", "CONE", "DISTANCE"):
        add(("handset", "IDB_3D" + page, (370, 108), "3D panel page",
             (lambda p: lambda: P.panel_3d(p))(page)))
    add(("handset", "WAVETEMPO", (181, 9), "3D panel slider strip", lambda: F.tempo_strip(181, 20, 9)))
    UD, UDX = "UD", "XUD"
    button_set(e, "handset", "POWER", (40, 11), "remote key",
               legend_face(40, 11, "POWER", G.POWER, small=True), UD)
    for name, glyph, legend in (("CD", G.DISC, "CD"), ("MIDI", G.NOTE, "MIDI"), ("WAVE", G.WAVE, "WAVE")):
        add(("handset", name + "U", (34, 32), "player selector, chosen",
             (lambda g, l: lambda: F.lamp_key(34, 32, True, g, l))(glyph, legend)))
        add(("handset", name + "D", (34, 32), "player selector, not chosen",
             (lambda g, l: lambda: F.lamp_key(34, 32, False, g, l))(glyph, legend)))
    for name in ("PLAYLIST", "TRACKB", "TRACKF", "EJECT", "REC", "SKIPB", "PLAY", "STOP", "PAUSE", "SKIPF"):
        button_set(e, "handset", name, (24, 14), "remote transport key", transport_face(name), UDX)
    button_set(e, "handset", "3D", (32, 32), "remote 3D panel key", legend_face(32, 32, "3D"), UD)
    button_set(e, "handset", "-", (21, 10), "remote volume down", legend_face(21, 10, "-"), UD)
    button_set(e, "handset", "+", (21, 10), "remote volume up", legend_face(21, 10, "+"), UD)
    button_set(e, "handset", "RANDOM", (63, 16), "remote key", legend_face(63, 16, "RANDOM"), UD)
    button_set(e, "handset", "REPEAT", (63, 16), "remote key", legend_face(63, 16, "REPEAT"), UD)
    for d in range(10):
        button_set(e, "handset", "NUM%d" % d, (30, 14), "remote number key",
                   legend_face(30, 14, str(d)), UD)
    return e


def entries():
    return cantorix_entries() + handset_entries()


# The names the code uses for numbered resources (icons and cursors too), so
# every number is written once. A series (digits, track indicators) is named
# by its first member; the code adds the offset.
CODE_NAMES = [
    ("cantorix", 128, "kCantorixIcon", "program icon"),
    ("cantorix", 164, "kButtonCursor", "cursor over bitmap buttons and pictures"),
    ("cantorix", 149, "kMainPanelFace", "main panel face; its palette is the skin palette"),
    ("cantorix", 165, "kCdPlayerFace", None),
    ("cantorix", 478, "kMidiPlayerFace", None),
    ("cantorix", 481, "kWavePlayerFace", None),
    ("cantorix", 499, "kMixerPlaybackFace", None),
    ("cantorix", 516, "kMixerRecordFace", None),
    ("cantorix", 519, "kMixerPlaybackAdvancedFace", None),
    ("cantorix", 520, "kMixerRecordAdvancedFace", None),
    ("cantorix", 581, "kPlayListFace", None),
    ("cantorix", 604, "kConfigFace", None),
    ("cantorix", 193, "kLedDigit0", "digit d is kLedDigit0 + d"),
    ("cantorix", 203, "kTrackLabel", None),
    ("cantorix", 451, "kMinLabel", None),
    ("cantorix", 452, "kSecLabel", None),
    ("cantorix", 204, "kTrack1Played", "track n played is 202 + 2n, to come 203 + 2n"),
    ("cantorix", 205, "kTrack1ToCome", None),
    ("cantorix", 420, "kPreviousPageImage", None),
    ("cantorix", 423, "kNextPageImage", None),
    ("cantorix", 444, "kLoopLampLit", None),
    ("cantorix", 453, "kLoopLampDark", None),
    ("cantorix", 446, "kOnceLampLit", None),
    ("cantorix", 445, "kOnceLampDark", None),
    ("cantorix", 450, "kRandomLampLit", None),
    ("cantorix", 449, "kRandomLampDark", None),
    ("cantorix", 477, "kMidiTempoStrip", None),
    ("cantorix", 504, "kMixerMuteOff", None),
    ("cantorix", 505, "kMixerMuteOn", None),
    ("cantorix", 515, "kMixerLevelBar", None),
    ("handset", 101, "kHandsetIcon", None),
    ("handset", 103, "kHandsetCursor", None),
    ("handset", 102, "kHandsetFace", "remote face; its palette is Handset's skin palette"),
]


def check_layouts():
    """Every key a window's table places has images of that size."""
    sizes = {}
    for program, name, size, use, build in entries():
        sizes[(program, str(name))] = size
    problems = []
    tables = [("cantorix", L.MAIN_PANEL_KEYS), ("cantorix", L.CD_KEYS), ("cantorix", L.MIDI_KEYS),
              ("cantorix", L.WAVE_KEYS), ("cantorix", L.PLAYLIST_KEYS), ("cantorix", L.CONFIG_KEYS),
              ("cantorix", L.MIXER_PAGE_KEYS)]
    handset_buttons = [k for k in L.HANDSET_KEYS if k[0] not in ("CD", "MIDI", "WAVE")]
    tables.append(("handset", handset_buttons))
    for program, keys in tables:
        for name, x, y, w, h in keys:
            for suffix in "UD":
                got = sizes.get((program, name + suffix))
                if got != (w, h):
                    problems.append("%s %s%s: want %dx%d, have %s" % (program, name, suffix, w, h, got))
    return problems
