"""Window backgrounds: each one a dark hardware module cut to its shape,
with recessed wells where its keys and displays sit and printed legends."""
import layouts as L
import style as s
from canvas import Canvas
from font import draw_text, text_width, draw_centred


def logo(c, x, y, text, colour, scale=2):
    tmp = Canvas(text_width(text) + 1, 8, fill=-1)
    draw_text(tmp, 0, 0, text, colour)
    for ty, row in enumerate(tmp.rows):
        for tx, v in enumerate(row):
            if v >= 0:
                c.fill(x + tx * scale, y + ty * scale, scale, scale, v)


def well(c, x, y, w, h, margin=1):
    """A recess a control sits in: dark inside, shadow top-left, light bottom-right."""
    c.fill(x - margin, y - margin, w + 2 * margin, h + 2 * margin, s.KEY_RIM)
    c.bevel(x - margin - 1, y - margin - 1, w + 2 * margin + 2, h + 2 * margin + 2, False,
            s.EDGE_LIGHT, s.grey(4))


def module(w, h, shape, title=None, tab_left=7, tab_right=392):
    """The body of a player-sized module: brushed face, bevel, bottom tabs."""
    c = Canvas(w, h)
    c.vgradient(0, 0, w, h - 5, s.BODY_TOP, s.BODY_BOTTOM)
    for x in range(0, w, 3):  # faint vertical brushing
        for y in range(1, h - 6, 7):
            c.put(x + (y % 2), y, s.grey(17))
    c.bevel(0, 0, w, h - 5)
    c.bevel(1, 1, w - 2, h - 7, True, s.EDGE_MID, s.grey(6))
    for tx in (tab_left, tab_right):
        c.fill(tx, h - 6, 63, 6, s.grey(13))
        c.bevel(tx, h - 6, 63, 6, True, s.EDGE_MID, s.EDGE_SHADOW)
        c.fill(tx + 20, h - 3, 23, 1, s.grey(6))
    c.screws([(5, 5), (w - 6, 5), (5, h - 11), (w - 6, h - 11)], s.grey(40), s.grey(5))
    if title:
        draw_text(c, 316, 7, title, s.LOGO)
    c.inside_polygon_mask(shape)
    return c


def lcd(c, x0, y0, x1, y1):
    c.fill(x0 - 2, y0 - 2, x1 - x0 + 4, y1 - y0 + 4, s.grey(9))
    c.bevel(x0 - 3, y0 - 3, x1 - x0 + 6, y1 - y0 + 6, False)
    c.fill(x0, y0, x1 - x0, y1 - y0, s.LCD)


def keys_and_legends(c, keys, legend_above=None):
    for name, x, y, w, h in keys:
        well(c, x, y, w, h)


def transport_group(c, keys, label):
    xs = [k[1] for k in keys]
    ys = [k[2] for k in keys]
    x0, y0 = min(xs) - 6, min(ys) - 12
    x1 = max(k[1] + k[3] for k in keys) + 6
    y1 = max(k[2] + k[4] for k in keys) + 5
    c.fill(x0, y0, x1 - x0, y1 - y0, s.grey(9))
    c.bevel(x0, y0, x1 - x0, y1 - y0, False, s.grey(4), s.EDGE_MID)
    draw_text(c, x0 + 4, y0 + 3, label, s.LABEL_DIM, small=True)
    keys_and_legends(c, keys)


def player_display(c):
    lcd(c, 17, 15, 300, 72)


def main_panel():
    c = Canvas(462, 61)
    c.vgradient(0, 0, 462, 61, s.grey(20), s.grey(10))
    c.vgradient(58, 0, 196, 8, s.grey(26), s.grey(18))
    c.bevel(0, 21, 462, 35)
    c.bevel(17, 7, 428, 15)
    c.bevel(58, 0, 196, 8)
    for tx in (7, 392):
        c.fill(tx, 56, 64, 5, s.grey(13))
        c.bevel(tx, 56, 64, 5, True, s.EDGE_MID, s.EDGE_SHADOW)
    c.fill(72, 25, 168, 26, s.BODY_DARK)
    c.bevel(72, 25, 168, 26, raised=False)
    logo(c, 82, 30, "CANTORIX", s.LOGO)
    c.fill(82, 47, 148, 1, s.LOGO_DIM)
    draw_text(c, 64, 10, "AUDIO SUITE", s.LABEL_DIM)
    draw_text(c, 262, 11, "PLAYER MODULES", s.LABEL_DIM, small=True)
    c.fill(246, 24, 126, 30, s.grey(9))
    c.bevel(246, 24, 126, 30, False, s.grey(4), s.EDGE_MID)
    c.fill(394, 24, 64, 30, s.grey(9))
    c.bevel(394, 24, 64, 30, False, s.grey(4), s.EDGE_MID)
    for name, x, y, w, h in L.MAIN_PANEL_KEYS:
        well(c, x, y, w, h)
    draw_centred(c, 18, 47, 40, 5, "POWER", s.LABEL, small=True)
    c.fill(22, 28, 4, 3, s.red(18))
    c.screws([(4, 27), (4, 50), (457, 27), (457, 50)], s.grey(40), s.grey(6))
    c.inside_polygon_mask(L.MAIN_PANEL_SHAPE)
    return c


def cd_player():
    c = module(462, 90, L.CD_SHAPE, "COMPACT DISC")
    player_display(c)
    transport_group(c, L.CD_KEYS, "CD TRANSPORT")
    return c


def midi_player():
    c = module(462, 108, L.MIDI_SHAPE, "MIDI PLAYER", tab_left=6, tab_right=391)
    player_display(c)
    transport_group(c, L.MIDI_KEYS, "MIDI SEQUENCER")
    lcd(c, 17, 78, 304, 91)
    draw_text(c, 312, 82, "TEMPO", s.LABEL, small=True)
    return c


def wave_player():
    c = module(462, 170, L.WAVE_SHAPE, "WAVE PLAYER")
    player_display(c)
    lcd(c, 17, 93, 300, 150)
    transport_group(c, L.WAVE_KEYS[:8], "PLAYBACK")
    transport_group(c, L.WAVE_KEYS[8:], "RECORDER")
    draw_text(c, 316, 98, "WAV MPEG AUDIO", s.LOGO_DIM)
    draw_text(c, 316, 110, "PLAY AND RECORD", s.LABEL_DIM, small=True)
    return c


def mixer_page(side, advanced):
    c = module(462, 123, L.MIXER_SHAPE, None)
    labels = L.MIXER_LABELS[side + (" advanced" if advanced else "")]
    for i, label in enumerate(labels):
        button, fader, balance, left, right = L.MIXER_SLOTS[i]
        x0, x1 = left[0] - 4, right[0] + right[2] + 4
        c.fill(x0, 3, x1 - x0, 112, s.grey(9))
        c.bevel(x0, 3, x1 - x0, 112, False, s.grey(4), s.EDGE_MID)
        for r in (fader, left, right):
            well(c, *r)
        well(c, *balance)
        well(c, *button)
        draw_centred(c, x0, 104, x1 - x0, 5, label, s.LABEL, small=True)
    page = ("PLAYBACK" if side == "playback" else "RECORD") + (" +" if advanced else "")
    c.fill(383, 8, 72, 90, s.grey(9))
    c.bevel(383, 8, 72, 90, False, s.grey(4), s.EDGE_MID)
    draw_centred(c, 383, 14, 72, 5, "MIXER", s.LOGO, small=True)
    draw_centred(c, 383, 86, 72, 5, page, s.LAMP_ON, small=True)
    for name, x, y, w, h in L.MIXER_PAGE_KEYS:
        well(c, x, y, w, h)
    return c


def playlist():
    c = Canvas(252, 272)
    c.vgradient(0, 0, 252, 272, s.BODY_TOP, s.BODY_BOTTOM)
    c.bevel(0, 0, 252, 272)
    c.bevel(1, 1, 250, 270, True, s.EDGE_MID, s.grey(6))
    c.fill(4, 4, 224, 16, s.grey(9))
    c.bevel(4, 4, 224, 16, False)
    draw_text(c, 10, 9, "PLAYLIST", s.LOGO)
    x, y, w, h = L.PLAYLIST_LIST
    well(c, x, y, w, h, margin=2)
    draw_text(c, 11, 27, "FILES", s.LABEL_DIM, small=True)
    for name, kx, ky, kw, kh in L.PLAYLIST_KEYS:
        well(c, kx, ky, kw, kh)
    c.fill(180, 150, 62, 1, s.grey(6))
    draw_text(c, 180, 156, "EDIT THE LIST", s.LABEL_DIM, small=True)
    draw_text(c, 180, 164, "THEN PRESS OK", s.LABEL_DIM, small=True)
    return c


def config_window():
    c = Canvas(347, 214)
    c.vgradient(0, 0, 347, 214, s.BODY_TOP, s.BODY_BOTTOM)
    c.bevel(0, 0, 347, 214)
    c.bevel(1, 1, 345, 212, True, s.EDGE_MID, s.grey(6))
    c.fill(4, 4, 320, 16, s.grey(9))
    c.bevel(4, 4, 320, 16, False)
    draw_text(c, 10, 9, "RECORD FORMAT CONFIGURATION", s.LOGO)
    for x, y, text in L.CONFIG_CHECKS:
        well(c, x, y, 13, 13)
        draw_text(c, x + 19, y + 3, text, s.LABEL)
    for x, y, w, h, label in L.CONFIG_LISTS:
        well(c, x, y, w, h, margin=2)
        draw_text(c, x, y - 12, label, s.LABEL)
    for name, x, y, w, h in L.CONFIG_KEYS:
        well(c, x, y, w, h)
    # The window prints its version in black on this plate.
    c.fill(248, 23, 80, 36, s.grey(52))
    c.bevel(248, 23, 80, 36, False, s.grey(30), s.grey(62))
    c.screws([(6, 207), (340, 207)], s.grey(40), s.grey(5))
    return c


def handset():
    c = Canvas(150, 305)
    c.vgradient(0, 0, 150, 305, s.grey(21), s.grey(9))
    c.bevel(0, 0, 150, 305)
    c.bevel(1, 1, 148, 303, True, s.EDGE_MID, s.grey(6))
    draw_text(c, 60, 19, "HANDSET", s.LOGO)
    draw_text(c, 12, 31, "POWER", s.LABEL_DIM, small=True)
    c.fill(8, 38, 134, 48, s.grey(8))
    c.bevel(8, 38, 134, 48, False, s.grey(4), s.EDGE_MID)
    draw_text(c, 12, 79, "SELECT PLAYER", s.LABEL_DIM, small=True)
    c.fill(8, 88, 134, 46, s.grey(8))
    c.bevel(8, 88, 134, 46, False, s.grey(4), s.EDGE_MID)
    draw_centred(c, 9, 149, 63, 5, "VOLUME", s.LABEL, small=True)
    draw_text(c, 34, 161, "VOL", s.LABEL_DIM, small=True)
    draw_text(c, 120, 155, "3D", s.LABEL_DIM, small=True)
    draw_text(c, 120, 162, "SOUND", s.LABEL_DIM, small=True)
    c.fill(5, 201, 137, 59, s.grey(8))
    c.bevel(5, 201, 137, 59, False, s.grey(4), s.EDGE_MID)
    for name, x, y, w, h in L.HANDSET_KEYS:
        well(c, x, y, w, h)
    draw_text(c, 78, 246, "VEX", s.LOGO_DIM)
    for i in range(6):  # the infrared window
        c.fill(40, 270 + 3 * i, 70, 2, s.red(3 + i))
    c.bevel(38, 268, 74, 20, False)
    c.screws([(6, 6), (143, 6), (6, 298), (143, 298)], s.grey(40), s.grey(5))
    return c


def panel_3d(page):
    c = module(370, 108, L.PANEL_3D_SHAPE, None, tab_left=7, tab_right=299)
    draw_text(c, 12, 5, "3D SOUND  " + page, s.LOGO, small=True)
    for name, x, y, w, h in L.PANEL_3D_TABS:
        current = name == page
        c.fill(x + 2, y + 1, w - 4, h - 4, s.grey(24) if current else s.grey(9))
        c.bevel(x + 2, y + 1, w - 4, h - 4, not current, s.EDGE_LIGHT, s.EDGE_SHADOW)
        draw_centred(c, x + 2, y + 1, w - 4, h - 4, name, s.LAMP_ON if current else s.LABEL_DIM,
                     small=True)
    names = L.PANEL_3D_SLIDER_NAMES[page]
    for row, y in enumerate(L.PANEL_3D_ROWS):
        if row >= len(names):
            continue
        draw_text(c, 10, y + 2, names[row], s.LABEL, small=True)
        lcd(c, 73, y, 254, y + 9)
        for ax, arrow in ((62, "LEFT"), (255, "RIGHT")):
            c.fill(ax, y, 10, 9, s.grey(26))
            c.bevel(ax, y, 10, 9, True, s.grey(44), s.grey(4))
            import glyphs
            c.pattern(ax + 4, y + 2, getattr(glyphs, arrow), s.KEY_LEGEND)
    x, y, w, h = L.PANEL_3D_RESET
    c.fill(x, y, w, h, s.red(12))
    c.bevel(x, y, w, h, True, s.red(24), s.red(2))
    draw_centred(c, x, y + 6, w, 5, "OFF", s.WHITE, small=True)
    draw_centred(c, x - 10, y + h + 3, w + 20, 5, "RESET", s.LABEL_DIM, small=True)
    return c
