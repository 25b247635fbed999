#!/usr/bin/env python3
"""Writes the application icons' artwork as SVG files (src/vexora.svg, src/update.svg). render.sh
turns them into the PNG sizes the desktop and the window frames use. The control icons are
hand-written SVG files in the folder above (../*.svg), loaded as they are."""
import os

here = os.path.dirname(os.path.abspath(__file__))


def svg(name, size, body, vb=None):
    vb = vb or size
    with open(os.path.join(here, name + ".svg"), "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
                f'viewBox="0 0 {vb} {vb}">\n{body}\n</svg>\n')


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
