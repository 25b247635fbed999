#!/usr/bin/env python3
"""Writes the project's icon artwork as SVG files (src/*.svg). render.sh turns them into the
PNG files the program loads (Qt reads PNG without extra modules)."""
import os

BLUE = "#328CDF"
here = os.path.dirname(os.path.abspath(__file__))


def svg(name, size, body, vb=None):
    vb = vb or size
    with open(os.path.join(here, name + ".svg"), "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
                f'viewBox="0 0 {vb} {vb}">\n{body}\n</svg>\n')


def doc(name, colour, label):
    # A page with a folded corner and a coloured band with a short label.
    svg(name, 20, f'''<path d="M4 1.5h8l4.5 4.5v12.5h-12.5z" fill="#fff" stroke="#9AA5B1"/>
<path d="M12 1.5v4.5h4.5" fill="#E6EBF0" stroke="#9AA5B1"/>
<rect x="2" y="10" width="12" height="6" rx="1" fill="{colour}"/>
<text x="8" y="14.6" font-family="DejaVu Sans" font-size="4.6" font-weight="bold" fill="#fff" text-anchor="middle">{label}</text>''')


svg("type_folder", 20, '''<path d="M1.5 4.5a1 1 0 0 1 1-1h5l2 2h8a1 1 0 0 1 1 1v10a1 1 0 0 1-1 1h-15a1 1 0 0 1-1-1z" fill="#F2C14E" stroke="#D9A21B"/>
<path d="M1.5 7.5h17" stroke="#D9A21B"/>''')
doc("type_pdf", "#D9412B", "PDF")
doc("type_swf", "#8E44AD", "SWF")
svg("type_video", 20, '''<rect x="1.5" y="3.5" width="17" height="13" rx="2" fill="#2F3B48" stroke="#1E2731"/>
<path d="M8 7v6l5-3z" fill="#fff"/>
<path d="M3 5h1M3 15h1M16 5h1M16 15h1" stroke="#8A99A8"/>''')
svg("type_other", 20, '''<path d="M4 1.5h8l4.5 4.5v12.5h-12.5z" fill="#fff" stroke="#9AA5B1"/>
<path d="M12 1.5v4.5h4.5" fill="#E6EBF0" stroke="#9AA5B1"/>
<path d="M6.5 10h7M6.5 12.5h7M6.5 15h5" stroke="#B5C0CB"/>''')

check_box = '<rect x="0.5" y="0.5" width="13" height="13" rx="2" fill="{fill}" stroke="{stroke}"/>'
tick = '<path d="M3.2 7.2l2.6 2.6 5-5.4" stroke="#fff" stroke-width="1.8" fill="none" stroke-linecap="round" stroke-linejoin="round"/>'
svg("check_normal", 14, check_box.format(fill="#fff", stroke="#A9B4BF"))
svg("check_hot", 14, check_box.format(fill="#EEF5FC", stroke=BLUE))
svg("check_checked", 14, check_box.format(fill=BLUE, stroke=BLUE) + tick)
svg("check_checked_hot", 14, check_box.format(fill="#1F72C2", stroke="#1F72C2") + tick)

lens = '<circle cx="6.5" cy="6.5" r="4.5" fill="none" stroke="{c}" stroke-width="1.8"/><path d="M10 10l4.5 4.5" stroke="{c}" stroke-width="2" stroke-linecap="round"/>'
svg("search", 16, lens.format(c="#9AA5B1"))
svg("search_focus", 16, lens.format(c=BLUE))
svg("delete", 9, '<path d="M1.5 1.5l6 6M7.5 1.5l-6 6" stroke="#7A8591" stroke-width="1.6" stroke-linecap="round"/>')
svg("delete_hot", 9, '<path d="M1.5 1.5l6 6M7.5 1.5l-6 6" stroke="#D9412B" stroke-width="1.6" stroke-linecap="round"/>')
svg("close", 12, '<path d="M2 2l8 8M10 2l-8 8" stroke="#fff" stroke-width="1.6" stroke-linecap="round"/>')
arrow = '<path d="{d}" stroke="#6B7785" stroke-width="1.6" fill="none" stroke-linecap="round" stroke-linejoin="round"/>'
svg("arrow_down", 10, arrow.format(d="M1.5 3.5l3.5 3.5 3.5-3.5"))
svg("arrow_up", 10, arrow.format(d="M1.5 6.5l3.5-3.5 3.5 3.5"))
svg("arrow_left", 10, arrow.format(d="M6.5 1.5l-3.5 3.5 3.5 3.5"))
svg("arrow_right", 10, arrow.format(d="M3.5 1.5l3.5 3.5-3.5 3.5"))

# The application icon: a rounded blue tile with an upward arrow over a stack (course
# material going up to the space). Drawn on a 64 grid and rendered at every size.
app = f'''<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">
<stop offset="0" stop-color="#4BA3F0"/><stop offset="1" stop-color="#1F6FC0"/></linearGradient></defs>
<rect x="3" y="3" width="58" height="58" rx="13" fill="url(#g)"/>
<path d="M32 12l14 15h-8.5v12h-11v-12h-8.5z" fill="#fff"/>
<rect x="15" y="43" width="34" height="4.5" rx="2.2" fill="#fff" opacity="0.95"/>
<rect x="15" y="50.5" width="34" height="4.5" rx="2.2" fill="#fff" opacity="0.7"/>'''
svg("vexora", 64, app)
# The updater: the same tile in green with a circular refresh arrow.
upd = '''<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">
<stop offset="0" stop-color="#3FC27A"/><stop offset="1" stop-color="#1E8F50"/></linearGradient></defs>
<rect x="3" y="3" width="58" height="58" rx="13" fill="url(#g)"/>
<path d="M46 32a14 14 0 1 1-5-10.7" stroke="#fff" stroke-width="6" fill="none" stroke-linecap="round"/>
<path d="M44 12v13h-13z" fill="#fff"/>'''
svg("update", 64, upd)
# The caption's settings button: a gear of eight teeth with a hole through its hub.
teeth = "".join(f'<rect x="6.6" y="0.6" width="2.8" height="3.4" rx="0.6" fill="#4A5561" '
                f'transform="rotate({a} 8 8)"/>' for a in range(0, 360, 45))
svg("settings", 16, teeth + '<path d="M8 3a5 5 0 1 1 0 10a5 5 0 1 1 0-10zM8 5.9a2.1 2.1 0 1 0 0 4.2a2.1 2.1 0 1 0 0-4.2z" '
    'fill="#4A5561" fill-rule="evenodd"/>')
