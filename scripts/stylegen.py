#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a sample style file: header "環境" and the custom data of
"カスタマイズ" as hexadecimal texts in the style-file layout.

Key text ("キー"): 16 index entries of 2 x 4 digits, then the assignment entries
of 5 x 4 digits. Romaji text ("ローマ字"): entry count (8 digits), header
value (8), 96 table values (8 each), per entry position (4), romaji length (2),
kana length (2), then the pool, 4 digits per UTF-16 unit.

Usage: stylegen.py NAME > FILE.sty   (NAME: style1, style2 or orvi17)
"""
import sys

ROMAJI = [("a", "あ"), ("i", "い"), ("u", "う"), ("e", "え"), ("o", "お"),
          ("ka", "か"), ("ki", "き"), ("ku", "く"), ("ke", "け"), ("ko", "こ"),
          ("sa", "さ"), ("shi", "し"), ("tsu", "つ"), ("nn", "ん")]

STYLES = {
    # name: (key assignments, romaji entries, first key code, header value, shift word, M keyboard word)
    "style1": (12, 8, 0x0100, 0x00010001, "しない", "しない"),
    "style2": (5, 4, 0x0200, 0x00010002, "する", "する"),
    "orvi17": (20, 14, 0x0000, 0x00010000, "しない", "しない"),
}


def key_text(n, base):
    out = []
    per = max(1, n // 16)
    for k in range(16):
        out.append("%04X%04X" % (min(k * per, n), per))
    for a in range(n):
        out.append("%04X%04X%04X%04X%04X" % (base + a, 0x0010 + a % 7, a, 0xA000 + a, 0))
    return "".join(out)


def romaji_text(n, header):
    pairs = ROMAJI[:n]
    out = ["%08X" % n, "%08X" % header]
    out += ["%08X" % (t * 3 + 1) for t in range(96)]
    pool, entries = [], []
    for roma, kana in pairs:
        units = [ord(c) for c in roma] + [ord(c) for c in kana]
        entries.append("%04X%02X%02X" % (len(pool), len(roma), len(kana)))
        pool += units
    out += entries
    out += ["%04X" % u for u in pool]
    return "".join(out)


def color_text(base):
    return "".join("%08X" % ((base * 31 + c * 0x010203) & 0xFFFFFF) for c in range(8))


def main():
    name = sys.argv[1]
    nkeys, nroma, base, header, shift, mkey = STYLES[name]
    sys.stdout.write("[環境]\nIDCode=DEVEVIRIZ17\nVersion=9.00\nRevision=1.00\n")
    sys.stdout.write("[カスタマイズ]\n")
    sys.stdout.write("キー=%s\n" % key_text(nkeys, base))
    sys.stdout.write("表示色=%s\n" % color_text(base))
    sys.stdout.write("ローマ字=%s\n" % romaji_text(nroma, header))
    sys.stdout.write("ローマ字シフトキー自動英字入力=%s\n" % shift)
    sys.stdout.write("Ｍ式キーボード対応=%s\n" % mkey)


if __name__ == "__main__":
    main()
