#!/usr/bin/env python3
"""Writes the terminal's own skins (skin.ini and the pictures, drawn here)
for the vertical tool-bar layout 0 and the horizontal layout 1 into
<program folder>/skin/<layout>/<number>/."""
import os
import struct
import sys


def bmp(path, width, height, pixel):
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def ramp(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def colour(rgb):
    return rgb[0] | rgb[1] << 8 | rgb[2] << 16


MASK = (255, 0, 255)


def icon(index, x, y):
    """15 small symbols on the mask colour, one per tool button."""
    inside = 2 <= x <= 13 and 2 <= y <= 13
    if not inside:
        return MASK
    shape = index % 5
    hue = [(40, 120, 220), (220, 80, 40), (40, 170, 80), (200, 160, 30), (140, 70, 200)][index // 3 % 5]
    if shape == 0 and (x + y) % 6 < 2:
        return hue
    if shape == 1 and (x in (2, 13) or y in (2, 13)):
        return hue
    if shape == 2 and abs(x - 7.5) + abs(y - 7.5) < 6:
        return hue
    if shape == 3 and (y == 13 - (x * 11) // 13 or y == 13):
        return hue
    if shape == 4 and ((x - 7.5) ** 2 + (y - 7.5) ** 2) < 30:
        return hue
    return MASK


def skin(folder, layout, dark, light, skin_name):
    os.makedirs(folder, exist_ok=True)
    height = 28
    bmp(os.path.join(folder, "lefttop.bmp"), 160, height, lambda x, y: ramp(dark, light, y / (height - 1)))
    bmp(os.path.join(folder, "righttop.bmp"), 120, height, lambda x, y: ramp(dark, light, y / (height - 1)))
    buttons = {"minnormal.bmp": "_", "maxnormal.bmp": "O", "restorenormal.bmp": "R", "closenormal.bmp": "X"}
    for name, mark in buttons.items():
        def pixel(x, y, mark=mark):
            on = {"_": y == 10 and 4 <= x <= 11, "O": (x in (4, 11) or y in (4, 11)) and 4 <= x <= 11 and 4 <= y <= 11,
                  "R": (x in (4, 10) or y in (6, 11)) and 4 <= x <= 10 and 6 <= y <= 11,
                  "X": (x == y or x + y == 15) and 4 <= x <= 11}[mark]
            return (255, 255, 255) if on else ramp(dark, light, 0.4)
        bmp(os.path.join(folder, name), 16, 16, pixel)
    bmp(os.path.join(folder, "toolbar.bmp"), 16 * 15, 16, lambda x, y: icon(x // 16, x % 16, y))
    bmp(os.path.join(folder, "leftbottom.bmp"), 40, 22, lambda x, y: ramp(dark, light, 0.2))
    bmp(os.path.join(folder, "rightbottom.bmp"), 40, 22, lambda x, y: ramp(dark, light, 0.6))
    ini = [
        "[GENERAL]",
        f"NAME={skin_name}",
        "[Color]",
        f"MenuText={colour((235, 240, 250))}",
        f"HighLightText={colour((255, 220, 90))}",
        f"CtrlBorder={colour((90, 120, 170))}",
        f"HotBackground={colour((70, 100, 150))}",
        f"CaptionText={colour((255, 255, 255))}",
        f"MenuDark={colour(dark)}",
        f"MenuLight={colour(light)}",
        f"ToolBarTop={colour(ramp(dark, light, 0.3))}",
        f"ToolBarBottom={colour(dark)}",
        f"ToolBarMask={colour(MASK)}",
        f"PageBarTop={colour(ramp(dark, light, 0.3))}",
        f"PageBarBottom={colour(dark)}",
        f"PageBarSelectedTop={colour(light)}",
        f"PageBarSelectedBottom={colour(ramp(dark, light, 0.5))}",
        f"PageBarNormalTop={colour(ramp(dark, light, 0.2))}",
        f"PageBarText={colour((220, 225, 235))}",
        f"PageBarHotText={colour((255, 255, 255))}",
        f"StatusCol={colour((90, 100, 130))}",
        f"StatusText={colour((220, 220, 220))}",
        f"StatusTextRed={colour((255, 60, 60))}",
        f"StatusTextGreen={colour((60, 220, 60))}",
        f"StatusTextYellow={colour((230, 200, 40))}",
        f"Splitter={colour(ramp(dark, light, 0.3))}",
        f"WindowBorderOuter={colour(dark)}",
        f"WindowBorderMiddle={colour(ramp(dark, light, 0.5))}",
        f"WindowBorderInner={colour(light)}",
        "[UI]",
        "ToolBarButtonWidth=28",
        "ToolBarButtonHeight=24",
        "StatusBarHeight=22",
    ]
    with open(os.path.join(folder, "skin.ini"), "wb") as f:
        f.write(("\r\n".join(ini) + "\r\n").encode("gbk"))


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "."
    dark, light = (18, 36, 66), (70, 110, 160)
    # The options dialog lists each layout's skins by number from 0 on.
    for layout, number in ((0, 0), (0, 1), (1, 0), (1, 1)):
        skin(os.path.join(program, "skin", str(layout), str(number)), layout, dark, light, ("深蓝", "湖蓝")[number])


if __name__ == "__main__":
    main()
