#!/usr/bin/env python3
"""Writes the main window's description (res/main_window.dat), which the
program carries as a resource and reads at start-up (app/window_data.cpp).

Layout, little-endian:
  "VNWD", u16 version (1), u16 window count, then per window:
  its entry, u16 control count, the control entries in list order.
Entry: u8 unit type, i32 id, str name, i32 left, top, width, height,
  u8 flags (1 visible, 2 enabled, 4 tab stop), i32 tab-order key,
  u16 event count + (u16 event, str routine)...,
  u16 setting count + (u16 key, u32 length, bytes)...
str: u16 length + GBK bytes.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# Unit types, event codes and setting keys; app/window_data.h holds the same.
WINDOW, LABEL, PICBOX, BUTTON, COMMONDLG, HTMLVIEWER = range(6)
EVENT_CLICK = 1
TEXT, PICTURE, FONT_SIZE, OFFLINE, SILENT, URL = 1, 2, 3, 4, 5, 6
KIND, TITLE, FILE_NAME, FILTER, INITIAL_FILTER, INITIAL_DIR, DEFAULT_EXT = 10, 11, 12, 13, 14, 15, 16
PROMPT_TO_CREATE, FILE_MUST_EXIST, OVERWRITE_PROMPT, PATH_MUST_EXIST, NO_CHANGE_DIR = 17, 18, 19, 20, 21

VISIBLE, ENABLED, TAB_STOP = 1, 2, 4
LIST_URL = "https://raw.githubusercontent.com/quorrel/varnook/master/trackers_all.txt"


def gbk(text):
    return text.encode("gbk")


def string(data):
    return struct.pack("<H", len(data)) + data


def i32(value):
    return struct.pack("<i", value)


def entry(unit, ident, name, place, flags, events=(), settings=()):
    out = struct.pack("<Bi", unit, ident) + string(gbk(name))
    out += struct.pack("<iiii", *place) + struct.pack("<B", flags) + i32(0)
    out += struct.pack("<H", len(events))
    for event, routine in events:
        out += struct.pack("<H", event) + string(routine.encode("ascii"))
    out += struct.pack("<H", len(settings))
    for key, value in settings:
        out += struct.pack("<HI", key, len(value)) + value
    return out


def main_window(picture):
    window = entry(WINDOW, 1, "", (0, 0, 661, 595), VISIBLE | ENABLED,
                   settings=[(TEXT, gbk("varnook-自动获取"))])
    controls = [
        entry(LABEL, 101, "标签1", (466, 468, 152, 24), VISIBLE | ENABLED,
              settings=[(TEXT, gbk("数据来源自GitHub开源项目"))]),
        entry(PICBOX, 102, "图片框1", (448, 288, 176, 176), VISIBLE | ENABLED,
              settings=[(PICTURE, picture)]),
        entry(COMMONDLG, 103, "通用对话框1", (400, 16, 72, 64), ENABLED,
              settings=[(KIND, i32(1)), (TITLE, b""), (FILE_NAME, b""),
                        (FILTER, gbk("文本文档（*.txt）")), (INITIAL_FILTER, i32(0)),
                        (INITIAL_DIR, b""), (DEFAULT_EXT, b""),
                        (PROMPT_TO_CREATE, i32(0)), (FILE_MUST_EXIST, i32(1)),
                        (OVERWRITE_PROMPT, i32(1)), (PATH_MUST_EXIST, i32(1)),
                        (NO_CHANGE_DIR, i32(0))]),
        entry(BUTTON, 104, "按钮1", (149, 529, 320, 32), VISIBLE | ENABLED | TAB_STOP,
              events=[(EVENT_CLICK, "SaveAndCopy")],
              settings=[(TEXT, gbk("保存并复制到粘贴板"))]),
        entry(HTMLVIEWER, 105, "超文本浏览框1", (-2, -2, 656, 522), VISIBLE | ENABLED | TAB_STOP,
              settings=[(FONT_SIZE, i32(2)), (OFFLINE, i32(0)), (SILENT, i32(0)),
                        (URL, LIST_URL.encode("ascii"))]),
    ]
    return window + struct.pack("<H", len(controls)) + b"".join(controls)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "main_window.dat")
    with open(os.path.join(HERE, "credit.png"), "rb") as f:
        picture = f.read()
    data = b"VNWD" + struct.pack("<HH", 1, 1) + main_window(picture)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
