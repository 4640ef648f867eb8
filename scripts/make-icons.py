#!/usr/bin/env python3
"""Writes the toolbar buttons and window icons of res/icons as PNG files from the pixel
drawings below (one character a pixel). Run again after changing a drawing."""
import os
import struct
import zlib

PALETTE = {
    ".": (0, 0, 0, 0),
    "k": (40, 40, 48, 255),
    "s": (128, 128, 136, 255),
    "l": (200, 200, 208, 255),
    "w": (255, 255, 255, 255),
    "b": (40, 100, 210, 255),
    "c": (120, 170, 240, 255),
    "r": (200, 50, 40, 255),
    "p": (240, 140, 120, 255),
    "g": (40, 160, 60, 255),
    "y": (250, 200, 40, 255),
    "o": (230, 150, 30, 255),
}

ICONS = {
    "zoom": [
        "................",
        "....kkkk........",
        "...kwwwwk.......",
        "..kwwccwwk......",
        ".kwwcwwcwwk.....",
        ".kwcwwwwcwk.....",
        ".kwcwwwwcwk.....",
        ".kwwcwwcwwk.....",
        "..kwwccwwk......",
        "...kwwwwkk......",
        "....kkkkkkk.....",
        "..........kkk...",
        "...........kkk..",
        "............kkk.",
        ".............kk.",
        "................",
    ],
    "move": [
        ".......k........",
        "......kkk.......",
        ".....kkkkk......",
        ".......k........",
        ".......k........",
        "..k....k....k...",
        ".kk....k....kk..",
        "kkkkkkkkkkkkkkk.",
        ".kk....k....kk..",
        "..k....k....k...",
        ".......k........",
        ".......k........",
        ".....kkkkk......",
        "......kkk.......",
        ".......k........",
        "................",
    ],
    "rotate": [
        "................",
        ".....kkkkk......",
        "...kk.....kk....",
        "..k.........k...",
        ".k...........k..",
        ".k...........k..",
        "k.............k.",
        "k.............k.",
        "k...........kkkkk",
        "k............kkk.",
        ".k............k..",
        ".k..............",
        "..k.............",
        "...kk.....kk....",
        ".....kkkkk......",
        "................",
    ],
    "edit-source": [
        "................",
        ".bbbbbbbbbbbbbb.",
        ".bccccccccccccb.",
        ".bcccwwwwwwcccb.",
        ".bccwwccccccccb.",
        ".bccwwccccccccb.",
        ".bcccwwwwwcccccb",
        ".bccccccccwwcccb",
        ".bccccccccwwccb.",
        ".bccccccccwwccb.",
        ".bccwwwwwwwcccb.",
        ".bccccccccccccb.",
        ".bbbbbbbbbbbbbb.",
        "................",
        "................",
        "................",
    ],
    "edit-target": [
        "................",
        ".rrrrrrrrrrrrrr.",
        ".rppppppppppppr.",
        ".rppwwwwwwwwppr.",
        ".rppppwwwwppppr.",
        ".rpppppwwpppppr.",
        ".rpppppwwpppppr.",
        ".rpppppwwpppppr.",
        ".rpppppwwpppppr.",
        ".rpppppwwpppppr.",
        ".rpppppwwpppppr.",
        ".rppppppppppppr.",
        ".rrrrrrrrrrrrrr.",
        "................",
        "................",
        "................",
    ],
    "blend": [
        "................",
        "................",
        "...bbbbb........",
        "..bcccccb.......",
        ".bcccccccb......",
        ".bcccrrrrrrr....",
        ".bcccrpppppprr..",
        ".bcccrppppppppr.",
        ".bcccrppppppppr.",
        "..bccrppppppppr.",
        "...bbrppppppppr.",
        ".....rppppppppr.",
        "......rpppppppr.",
        ".......rrrrrrr..",
        "................",
        "................",
    ],
    "quick": [
        "................",
        ".........kkk....",
        "........kyyk....",
        ".......kyyk.....",
        "......kyyk......",
        ".....kyyk.......",
        "....kyyykkkk....",
        "...kyyyyyyyk....",
        "...kkkkyyyk.....",
        "......kyyk......",
        ".....kyyk.......",
        "....kyyk........",
        "...kyyk.........",
        "...kyk..........",
        "...kk...........",
        "................",
    ],
    "load-source": [
        "................",
        "..........bb....",
        ".........bbbb...",
        "..kkkk..bbbbbb..",
        ".kooook....bb...",
        "kooooookkkkbbk..",
        "koooooooooooook.",
        "kooyyyyyyyyyyyyk",
        "kooyyyyyyyyyyyk.",
        "koyyyyyyyyyyyyk.",
        "koyyyyyyyyyyyk..",
        "kyyyyyyyyyyyyk..",
        "kyyyyyyyyyyyk...",
        "kkkkkkkkkkkkk...",
        "................",
        "................",
    ],
    "load-target": [
        "................",
        "..........rr....",
        ".........rrrr...",
        "..kkkk..rrrrrr..",
        ".kooook....rr...",
        "kooooookkkkrrk..",
        "koooooooooooook.",
        "kooyyyyyyyyyyyyk",
        "kooyyyyyyyyyyyk.",
        "koyyyyyyyyyyyyk.",
        "koyyyyyyyyyyyk..",
        "kyyyyyyyyyyyyk..",
        "kyyyyyyyyyyyk...",
        "kkkkkkkkkkkkk...",
        "................",
        "................",
    ],
    "save-source": [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbbkkkkkkkkbbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbkkkkkkkkbbk.",
        ".kbbklllllskbbk.",
        ".kbbklllllskbbk.",
        ".kbbklllllskbbk.",
        "..kbkkkkkkkkbbk.",
        "...kkkkkkkkkkkk.",
        "................",
        "................",
    ],
    "save-target": [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".krkwwwwwwwwkrk.",
        ".krkwwwwwwwwkrk.",
        ".krkwwwwwwwwkrk.",
        ".krkwwwwwwwwkrk.",
        ".krrkkkkkkkkrrk.",
        ".krrrrrrrrrrrrk.",
        ".krrkkkkkkkkrrk.",
        ".krrklllllskrrk.",
        ".krrklllllskrrk.",
        ".krrklllllskrrk.",
        "..krkkkkkkkkrrk.",
        "...kkkkkkkkkkkk.",
        "................",
        "................",
    ],
    "preview": [
        "kkkkkkkkkkkkkkkk",
        "kssssssssssssssk",
        "kwwwwwwwwwwwwwwk",
        "kwccccccpppppppk",
        "kwccccccpppppppk",
        "kwcccgggggggpppk",
        "kwcccgcccppgpppk",
        "kwcccgcccppgpppk",
        "kwcccgcccppgpppk",
        "kwcccgcccppgpppk",
        "kwcccgggggggpppk",
        "kwccccccpppppppk",
        "kwccccccpppppppk",
        "kwwwwwwwwwwwwwwk",
        "kkkkkkkkkkkkkkkk",
        "................",
    ],
    "project": [
        "kkkkkkkkkkkkkkkk",
        "kssssssssssssssk",
        "kwwwwwwkwwwwwwwk",
        "kwcccccckppppppk",
        "kwcccccckppppppk",
        "kwcbbbcckpprrrpk",
        "kwcbcbcckpprprpk",
        "kwcbbbcckpprrrpk",
        "kwcccccckppppppk",
        "kwcccccckppppppk",
        "kwcccccckppppppk",
        "kwcccccckppppppk",
        "kwwwwwwwkwwwwwwk",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................",
    ],
}
# The application icon is the Preview drawing.
ICONS["app"] = ICONS["preview"]


def png(rows):
    height = len(rows)
    width = 16
    raw = bytearray()
    for row in rows:
        row = (row + "." * width)[:width]
        raw.append(0)
        for ch in row:
            raw.extend(PALETTE[ch])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "icons")
    os.makedirs(out, exist_ok=True)
    for name, rows in ICONS.items():
        assert len(rows) == 16, name
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(png(rows))


if __name__ == "__main__":
    main()
