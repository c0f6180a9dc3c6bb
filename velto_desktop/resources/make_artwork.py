#!/usr/bin/env python3
"""Draws the program's own flat artwork as SVG files and lists them, with the
style sheet, in velto_desktop.qrc. Run from this folder after a change:

    python3 make_artwork.py
"""
import os

TEAL = "rgb(113,223,195)"
BLUE = "rgb(69,159,252)"
GREY = "rgb(110,110,110)"
RED = "rgb(235,87,87)"
WHITE = "white"


def svg(w, h, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">{body}</svg>\n')


def disc(color, body, r=24):
    """A round badge of diameter 48 with white content on top."""
    return f'<circle cx="24" cy="24" r="{r}" fill="{color}"/>' + body


def camera(c):
    return (f'<rect x="9" y="16" width="22" height="16" rx="3" fill="{c}"/>'
            f'<path d="M31 21 L40 16 L40 32 L31 27 Z" fill="{c}"/>')


def mic(c):
    return (f'<rect x="19" y="9" width="10" height="19" rx="5" fill="{c}"/>'
            f'<path d="M14 22 a10 10 0 0 0 20 0" fill="none" stroke="{c}" stroke-width="3"/>'
            f'<rect x="22.5" y="32" width="3" height="6" fill="{c}"/>'
            f'<rect x="17" y="37" width="14" height="3" rx="1.5" fill="{c}"/>')


def slash(c):
    return f'<line x1="10" y1="10" x2="38" y2="38" stroke="{c}" stroke-width="4" stroke-linecap="round"/>'


def handset(c, angle=0):
    return (f'<path transform="rotate({angle} 24 24)" d="M13 11 C10 13 9 17 12 23 C15 29 19 33 25 36 '
            f'C31 39 35 38 37 35 L33 29 C32 28 30 28 29 29 L27 31 C23 29 19 25 17 21 L19 19 '
            f'C20 18 20 16 19 15 Z" fill="{c}"/>')


def person(c, cx=24):
    return (f'<circle cx="{cx}" cy="17" r="7" fill="{c}"/>'
            f'<path d="M{cx - 12} 38 a12 11 0 0 1 24 0 Z" fill="{c}"/>')


def screen(c):
    return (f'<rect x="8" y="11" width="32" height="21" rx="2" fill="none" stroke="{c}" stroke-width="3"/>'
            f'<rect x="20" y="32" width="8" height="4" fill="{c}"/><rect x="15" y="36" width="18" height="3" fill="{c}"/>')


def lock(c, open_=False):
    # An open lock has its shackle lifted off the right-hand post.
    shackle = "M17 22 V16 a7 7 0 0 1 14 0" + ("" if open_ else " V22")
    return (f'<path d="{shackle}" fill="none" stroke="{c}" stroke-width="3.5"/>'
            f'<rect x="13" y="22" width="22" height="17" rx="3" fill="{c}"/>')


def calendar(c):
    return (f'<rect x="9" y="12" width="30" height="27" rx="3" fill="none" stroke="{c}" stroke-width="3"/>'
            f'<rect x="9" y="12" width="30" height="8" fill="{c}"/>'
            f'<rect x="16" y="8" width="3" height="8" fill="{c}"/><rect x="29" y="8" width="3" height="8" fill="{c}"/>'
            + "".join(f'<rect x="{x}" y="{y}" width="4" height="4" fill="{c}"/>'
                      for x in (15, 22, 29) for y in (24, 31)))


def clock(c):
    return (f'<circle cx="24" cy="24" r="15" fill="none" stroke="{c}" stroke-width="3"/>'
            f'<path d="M24 14 V24 L31 29" fill="none" stroke="{c}" stroke-width="3" stroke-linecap="round"/>')


def house(c):
    return (f'<path d="M8 24 L24 10 L40 24" fill="none" stroke="{c}" stroke-width="3.5" stroke-linejoin="round"/>'
            f'<path d="M13 22 V38 H21 V29 H27 V38 H35 V22" fill="{c}"/>')


def book(c):
    return (f'<path d="M24 14 C19 10 12 10 8 12 V37 C12 35 19 35 24 39 C29 35 36 35 40 37 V12 '
            f'C36 10 29 10 24 14 Z" fill="none" stroke="{c}" stroke-width="3" stroke-linejoin="round"/>'
            f'<line x1="24" y1="14" x2="24" y2="38" stroke="{c}" stroke-width="2.5"/>')


def address(c):
    return (f'<rect x="11" y="8" width="26" height="32" rx="3" fill="none" stroke="{c}" stroke-width="3"/>'
            f'<circle cx="24" cy="20" r="5" fill="{c}"/><path d="M16 33 a8 7 0 0 1 16 0 Z" fill="{c}"/>'
            f'<rect x="8" y="14" width="5" height="3" fill="{c}"/><rect x="8" y="23" width="5" height="3" fill="{c}"/>'
            f'<rect x="8" y="32" width="5" height="3" fill="{c}"/>')


def bubble(c):
    return f'<path d="M8 12 H40 V32 H22 L14 39 V32 H8 Z" fill="{c}" stroke-linejoin="round"/>'


def hand(c, dx=0):
    """A raised open hand."""
    move = f' transform="translate({dx} 0)"' if dx else ''
    return (f'<path{move} d="M16 38 V18 a2.5 2.5 0 0 1 5 0 V12 a2.5 2.5 0 0 1 5 0 V14 '
            f'a2.5 2.5 0 0 1 5 0 V20 a2.5 2.5 0 0 1 5 0 V30 C36 35 32 39 27 39 H20 C18 39 16 38 16 38 Z" fill="{c}"/>')


def star(c):
    return f'<path d="M24 6 L29 18 L42 19 L32 28 L35 41 L24 34 L13 41 L16 28 L6 19 L19 18 Z" fill="{c}"/>'


def tick(c):
    return f'<path d="M13 25 L21 33 L36 16" fill="none" stroke="{c}" stroke-width="4.5" stroke-linecap="round" stroke-linejoin="round"/>'


def arrows(c, inward):
    if inward:
        d = "M10 20 H20 V10 M38 28 H28 V38 M20 20 L10 10 M28 28 L38 38"
    else:
        d = "M10 20 V10 H20 M38 28 V38 H28 M10 10 L20 20 M38 38 L28 28"
    return f'<path d="{d}" fill="none" stroke="{c}" stroke-width="3.5" stroke-linecap="round"/>'


def grid(c):
    return "".join(f'<rect x="{x}" y="{y}" width="13" height="13" rx="2" fill="{c}"/>'
                   for x in (9, 26) for y in (9, 26))


def popup(w, h, tip_left):
    """Background of a details popup: a light panel with a pointer at one side."""
    x0 = 10 if tip_left else 0
    x1 = w if tip_left else w - 10
    tip = (f'M{x0} 40 L0 50 L{x0} 60' if tip_left else f'M{x1} 40 L{w} 50 L{x1} 60')
    return svg(w, h, f'<rect x="{x0}" y="0" width="{x1 - x0}" height="{h}" rx="8" fill="white" '
                     f'stroke="rgb(220,220,220)"/><path d="{tip} Z" fill="white"/>')


ICONS = {
    # state and message icons
    "icons/error": disc(RED, '<rect x="21" y="11" width="6" height="17" rx="3" fill="white"/>'
                             '<circle cx="24" cy="35" r="3.5" fill="white"/>'),
    "icons/important": disc(BLUE, '<path d="M18 18 a6 6 0 1 1 9 5 C25 24 24 26 24 29" fill="none" '
                                  'stroke="white" stroke-width="4" stroke-linecap="round"/>'
                                  '<circle cx="24" cy="36" r="3" fill="white"/>'),
    # media
    "icons/video_call": camera(TEAL),
    "icons/no_video": camera(GREY) + slash(RED),
    "icons/localvedio": camera(BLUE),
    "icons/micphone": mic(TEAL),
    "icons/micphone_unmute": mic(GREY) + slash(RED),
    "icons/phone": handset(TEAL),
    "icons/phone_1": disc(TEAL, handset(WHITE)),
    "icons/endcall": disc(RED, handset(WHITE, 135)),
    # the list of raised hands: never to be taken for ending the meeting
    "icons/ring_hangsup": disc("rgb(250,170,60)", hand(WHITE, -2)),
    "icons/sip": disc(BLUE, handset(WHITE)),
    "icons/callsip": handset(BLUE),
    # meeting controls
    "icons/record": '<circle cx="24" cy="24" r="15" fill="none" stroke="rgb(110,110,110)" stroke-width="3"/>'
                    '<circle cx="24" cy="24" r="8" fill="rgb(235,87,87)"/>',
    "icons/recording": f'<circle cx="24" cy="24" r="15" fill="{RED}"/><circle cx="24" cy="24" r="7" fill="white"/>',
    "icons/lock": lock(GREY),
    "icons/unlock": lock(TEAL, open_=True),
    "icons/expand": arrows(GREY, inward=False),
    "icons/collapse": arrows(GREY, inward=True),
    "icons/chat": bubble(TEAL),
    "icons/chat_msg": bubble(BLUE) + '<circle cx="17" cy="22" r="2" fill="white"/>'
                      '<circle cx="24" cy="22" r="2" fill="white"/><circle cx="31" cy="22" r="2" fill="white"/>',
    "icons/userlist": person(GREY, 17) + person(TEAL, 31),
    "icons/subwidget": grid(GREY),
    "icons/layout": grid(TEAL),
    "icons/sharescreen": screen(TEAL) + '<path d="M24 27 V16 M19 21 L24 16 L29 21" fill="none" stroke="rgb(113,223,195)" stroke-width="3"/>',
    "icons/onscreen": screen(BLUE),
    "icons/pc": screen(GREY),
    "icons/whiteboard": '<rect x="8" y="9" width="32" height="24" rx="2" fill="none" stroke="rgb(110,110,110)" stroke-width="3"/>'
                        '<path d="M13 27 C18 17 23 29 28 19 S34 21 35 16" fill="none" stroke="rgb(113,223,195)" stroke-width="3"/>'
                        '<path d="M18 33 L14 41 M30 33 L34 41" stroke="rgb(110,110,110)" stroke-width="3"/>',
    "icons/annotate": '<path d="M12 36 L14 28 L31 11 L37 17 L20 34 Z" fill="rgb(113,223,195)"/>'
                      '<path d="M12 36 L14 28 L20 34 Z" fill="rgb(110,110,110)"/>',
    "icons/handsup": hand(TEAL),
    "icons/killout": person(GREY, 20) + '<path d="M32 20 L42 30 M42 20 L32 30" stroke="rgb(235,87,87)" stroke-width="3.5"/>',
    "icons/transferModerator": star(TEAL) + '<path d="M30 36 H42 M38 32 L42 36 L38 40" fill="none" stroke="rgb(69,159,252)" stroke-width="3"/>',
    "icons/getModerator": star(BLUE),
    "icons/fiveStar": star("rgb(250,190,40)"),
    "icons/web": '<circle cx="24" cy="24" r="15" fill="none" stroke="rgb(69,159,252)" stroke-width="3"/>'
                 '<ellipse cx="24" cy="24" rx="6" ry="15" fill="none" stroke="rgb(69,159,252)" stroke-width="2.5"/>'
                 '<line x1="9" y1="24" x2="39" y2="24" stroke="rgb(69,159,252)" stroke-width="2.5"/>',
    "icons/apple": '<path d="M24 17 C20 13 11 14 11 25 C11 33 17 41 21 40 C23 39 25 39 27 40 C31 41 37 33 37 25 '
                   'C37 14 28 13 24 17 Z" fill="rgb(110,110,110)"/><path d="M24 16 C24 12 27 9 30 9" fill="none" '
                   'stroke="rgb(110,110,110)" stroke-width="3"/>',
    "icons/android": '<path d="M12 22 a12 11 0 0 1 24 0 Z" fill="rgb(113,223,195)"/>'
                     '<rect x="12" y="24" width="24" height="14" rx="3" fill="rgb(113,223,195)"/>'
                     '<circle cx="19" cy="17" r="1.8" fill="white"/><circle cx="29" cy="17" r="1.8" fill="white"/>',
    # home page tiles; tab icons: plain name when selected (teal), _1 when not (grey)
    "icons/Conference_big": disc(TEAL, camera(WHITE)),
    "icons/JoinConference_big": disc(BLUE, '<path d="M24 14 V34 M14 24 H34" stroke="white" stroke-width="4.5" stroke-linecap="round"/>'),
    "icons/Calender_big": disc("rgb(250,170,60)", calendar(WHITE)),
    "icons/home": house(TEAL), "icons/home_1": house(GREY),
    "icons/book": book(TEAL), "icons/book_1": book(GREY),
    "icons/Calendar": calendar(TEAL), "icons/Calendar_1": calendar(GREY),
    "icons/TimeMachine": clock(TEAL), "icons/TimeMachine_1": clock(GREY),
    "icons/Address": address(TEAL), "icons/Address_1": address(GREY),
}

IMAGES = {
    "images/logo": svg(64, 64, '<rect width="64" height="64" rx="14" fill="rgb(113,223,195)"/>'
                               '<path d="M16 20 L32 46 L48 20" fill="none" stroke="white" stroke-width="7" '
                               'stroke-linecap="round" stroke-linejoin="round"/>'),
    "images/right": svg(48, 48, disc(TEAL, tick(WHITE))),
    "images/drop_arrow": svg(12, 8, '<path d="M1 1 L6 7 L11 1" fill="none" stroke="rgb(110,110,110)" stroke-width="2"/>'),
    "images/users": svg(96, 96, '<circle cx="48" cy="48" r="48" fill="rgb(113,223,195)"/>'
                                '<circle cx="48" cy="38" r="16" fill="white"/>'
                                '<path d="M20 80 a28 24 0 0 1 56 0 Z" fill="white"/>'),
    "images/general": svg(48, 48, '<circle cx="24" cy="24" r="8" fill="none" stroke="rgb(110,110,110)" stroke-width="4"/>'
                                  + "".join(f'<rect x="21" y="5" width="6" height="9" rx="1" fill="rgb(110,110,110)" '
                                            f'transform="rotate({a} 24 24)"/>' for a in range(0, 360, 60))),
    "images/audio": svg(48, 48, '<path d="M8 19 H16 L26 10 V38 L16 29 H8 Z" fill="rgb(110,110,110)"/>'
                                '<path d="M31 17 a9 9 0 0 1 0 14 M35 12 a15 15 0 0 1 0 24" fill="none" '
                                'stroke="rgb(110,110,110)" stroke-width="3"/>'),
    "images/video": svg(48, 48, camera(GREY)),
    "images/recording": svg(48, 48, '<circle cx="24" cy="24" r="15" fill="none" stroke="rgb(110,110,110)" stroke-width="3"/>'
                                    '<circle cx="24" cy="24" r="7" fill="rgb(110,110,110)"/>'),
    "images/left_detail_s": popup(382, 391, tip_left=True),
    "images/right_detail_s": popup(382, 391, tip_left=False),
    "images/left_detail": popup(405, 528, tip_left=True),
    "images/right_detail": popup(405, 528, tip_left=False),
}


def main():
    for name, body in ICONS.items():
        IMAGES[name] = svg(48, 48, body)
    entries = ""
    for name, text in sorted(IMAGES.items()):
        os.makedirs(os.path.dirname(name), exist_ok=True)
        with open(name + ".svg", "w") as out:
            out.write(text)
        entries += f'        <file alias="{name}">{name}.svg</file>\n'
    with open("velto_desktop.qrc", "w") as out:
        out.write('<!DOCTYPE RCC>\n<RCC version="1.0">\n    <qresource prefix="/">\n'
                  '        <file alias="qss/style_mac.qss">qss/style_mac.qss</file>\n'
                  + entries + '    </qresource>\n</RCC>\n')


if __name__ == "__main__":
    main()
