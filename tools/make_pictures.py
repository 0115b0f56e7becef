#!/usr/bin/python3
"""Draw the game's pictures into resources/.

Run from anywhere:  /usr/bin/python3 tools/make_pictures.py
Needs only Debian packages: python3-numpy, python3-pil, fonts-urw-base35.
Every random choice comes from fixed seeds, so a re-run gives the same files.

background.jpg (1024x768)
    A still life rendered from scratch with NumPy: padded satin hearts tied
    with a golden cord, lying on a handwritten letter.  Every object is a
    height field in one scene:
      * paper   - cream albedo with grain, fibres, a fold crease and a slight
                  waviness; the letter is random cursive written with a
                  simulated nib (width follows stroke direction, ink fades
                  along each word);
      * hearts  - the heart outline is "inflated" by solving a Poisson
                  equation inside it (like stuffing a cushion), then seam
                  puckers, gathered wrinkles and a few soft folds are added;
      * cord    - three twisted plies wound along smooth curves that drape
                  over whatever lies below them, plus a bow.
    The scene is lit by a soft window light: normals from the height
    gradient, wrapped diffuse light, satin sheen as an anisotropic
    (hair-like) highlight along the weave, shiny plies on the cord, soft
    shadows ray-marched through the height field, ambient occlusion.
    Afterwards: depth-of-field blur that grows away from the hearts, a bright
    pastel grade, vignette and fine film grain.  Rendered at twice the size
    and scaled down; the JPEG quality is chosen to land near 150 KB.

icon.png (32x32) and icon-128.png (128x128)
    One heart cut out of the rendered photograph, turned upright, with a
    soft alpha edge following its outline.

logo.jpg (160x66)
    The "52dozo" wordmark in URW Gothic Demi with softened corners, "52" in
    the accent pink and a small heart, on white.  Drawn 4x larger and
    scaled down.
"""

import io
import math
import os
import sys
import time

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.join(os.path.dirname(HERE), "resources")

WIDTH, HEIGHT = 1024, 768      # size of the finished photograph
SS = 2                         # the scene is rendered SS times larger
BACKGROUND_BYTES = 150_000
LOGO_BYTES = 4_200
FONT_DIR = "/usr/share/fonts/opentype/urw-base35"


# ---------------------------------------------------------------------------
# small numeric helpers

def fft_size(n):
    """Smallest length >= n made of the factors 2, 3 and 5 (quick for the FFT)."""
    best = 1 << (n - 1).bit_length()
    p5 = 1
    while p5 < best:
        p35 = p5
        while p35 < best:
            m = p35
            while m < n:
                m *= 2
            best = min(best, m)
            p35 *= 3
        p5 *= 5
    return best


def blur(a, sigma, axes=(0, 1)):
    """Gaussian blur (FFT based, mirrored edges) over the given axes."""
    if sigma < 0.25:
        return a
    a = np.asarray(a, dtype=np.float32)
    pad = int(3.5 * sigma) + 2
    for axis in axes:
        n = a.shape[axis]
        m = fft_size(n + 2 * pad)
        widths = [(0, 0)] * a.ndim
        widths[axis] = (pad, m - n - pad)
        padded = np.pad(a, widths, mode="symmetric")
        freq = np.fft.rfftfreq(m)
        shape = [1] * a.ndim
        shape[axis] = freq.size
        transfer = np.exp(-2.0 * (math.pi * sigma * freq) ** 2).reshape(shape)
        out = np.fft.irfft(np.fft.rfft(padded, axis=axis) * transfer, n=m, axis=axis)
        a = np.take(out, np.arange(pad, pad + n), axis=axis).astype(np.float32)
    return a


def resize(a, w, h, resample=Image.BICUBIC):
    """Resize a float array (2-D) with Pillow."""
    return np.asarray(Image.fromarray(np.asarray(a, np.float32), "F").resize((w, h), resample))


def noise(rng, w, h, cell):
    """Smooth value noise: random values on a grid of roughly `cell` pixels."""
    gw, gh = max(2, int(w / cell) + 2), max(2, int(h / cell) + 2)
    grid = rng.standard_normal((gh, gw)).astype(np.float32)
    big = resize(grid, int(gw * cell), int(gh * cell))
    return big[:h, :w]


def fractal_noise(rng, w, h, cell, octaves=4, falloff=0.5):
    total = np.zeros((h, w), np.float32)
    amp = 1.0
    for _ in range(octaves):
        total += amp * noise(rng, w, h, cell)
        cell /= 2.0
        amp *= falloff
    return total


def sample(a, x, y):
    """Bilinear look-up of a[y, x] at fractional positions (zero outside)."""
    h, w = a.shape[:2]
    inside = (x >= 0) & (x <= w - 1) & (y >= 0) & (y <= h - 1)
    x = np.clip(x, 0, w - 1.001)
    y = np.clip(y, 0, h - 1.001)
    x0 = x.astype(np.int32)
    y0 = y.astype(np.int32)
    fx = x - x0
    fy = y - y0
    if a.ndim == 3:
        fx = fx[..., None]
        fy = fy[..., None]
        inside = inside[..., None]
    top = a[y0, x0] * (1 - fx) + a[y0, x0 + 1] * fx
    bottom = a[y0 + 1, x0] * (1 - fx) + a[y0 + 1, x0 + 1] * fx
    return np.where(inside, top * (1 - fy) + bottom * fy, 0).astype(np.float32)


def catmull_rom(points, step):
    """Smooth curve through `points`, resampled every `step` units of length."""
    p = np.asarray(points, dtype=np.float64)
    p = np.vstack([2 * p[0] - p[1], p, 2 * p[-1] - p[-2]])
    t = np.linspace(0, 1, 24, endpoint=False)[:, None]
    pieces = []
    for i in range(1, len(p) - 2):
        p0, p1, p2, p3 = p[i - 1], p[i], p[i + 1], p[i + 2]
        pieces.append(0.5 * ((2 * p1) + (-p0 + p2) * t
                             + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t ** 2
                             + (-p0 + 3 * p1 - 3 * p2 + p3) * t ** 3))
    pieces.append(p[-2][None, :])
    curve = np.vstack(pieces)
    seg = np.hypot(*np.diff(curve, axis=0).T)
    dist = np.concatenate([[0], np.cumsum(seg)])
    at = np.arange(0, dist[-1], step)
    return np.stack([np.interp(at, dist, curve[:, 0]), np.interp(at, dist, curve[:, 1])], axis=1)


def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0, 1)
    return t * t * (3 - 2 * t)


class Scene:
    """Everything visible, as per-pixel buffers at render resolution."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.height = np.zeros((h, w), np.float32)
        self.albedo = np.zeros((h, w, 3), np.float32)
        # material weights: paper, satin, gold (they sum to one)
        self.satin = np.zeros((h, w), np.float32)
        self.gold = np.zeros((h, w), np.float32)
        # in-plane direction of threads (satin weave, cord plies)
        self.tangent = np.zeros((h, w, 2), np.float32)
        self.tangent[..., 0] = 1
        self.sheen = np.ones((h, w), np.float32)    # how well threads catch the light
        self.sharp = np.zeros((h, w), np.float32)   # 1 where the focus should stay

    def paint(self, box, cover, height, albedo, satin=0.0, gold=0.0, tangent=None, sheen=None,
              in_focus=True):
        """Lay a layer over the scene inside box = (x0, y0, x1, y1)."""
        x0, y0, x1, y1 = box
        sl = (slice(y0, y1), slice(x0, x1))
        c = cover
        self.height[sl] = self.height[sl] * (1 - c) + height * c
        self.albedo[sl] = self.albedo[sl] * (1 - c[..., None]) + albedo * c[..., None]
        self.satin[sl] = self.satin[sl] * (1 - c) + satin * c
        self.gold[sl] = self.gold[sl] * (1 - c) + gold * c
        if tangent is not None:
            self.tangent[sl] = self.tangent[sl] * (1 - c[..., None]) + tangent * c[..., None]
        if sheen is not None:
            self.sheen[sl] = self.sheen[sl] * (1 - c) + sheen * c
        if in_focus:
            self.sharp[sl] = np.maximum(self.sharp[sl], c)


# ---------------------------------------------------------------------------
# paper and handwriting

PAPER_TILT = math.radians(-4.0)     # the letter lies slightly turned


def paper_coords(w, h, s):
    """Scene pixel grid expressed in the letter's own (turned) coordinates."""
    y, x = np.mgrid[0:h, 0:w].astype(np.float32)
    x -= w / 2
    y -= h / 2
    c, sn = math.cos(PAPER_TILT), math.sin(PAPER_TILT)
    return (c * x + sn * y) / s + WIDTH / 2, (-sn * x + c * y) / s + HEIGHT / 2


def paper(scene, rng, s):
    w, h = scene.w, scene.h
    px, py = paper_coords(w, h, s)

    # cream with a blush of pink, a little blotchy like real rag paper
    base = np.array([0.99, 0.955, 0.94], np.float32)
    blotch = fractal_noise(rng, w, h, 180 * s, 4) * 0.012
    grain = blur(rng.standard_normal((h, w)).astype(np.float32), 0.6 * s) * 0.025
    albedo = base[None, None, :] * (1 + blotch + grain)[..., None]
    albedo[..., 2] += fractal_noise(rng, w, h, 260 * s, 2) * 0.008

    # long pale fibres
    fib = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(fib)
    for _ in range(int(900 * s * s / 4)):
        x, y = rng.uniform(0, w), rng.uniform(0, h)
        a = rng.uniform(0, math.pi)
        length = rng.uniform(6, 22) * s
        bend = rng.normal(0, 0.3)
        pts = [(x + math.cos(a + bend * t) * length * t, y + math.sin(a + bend * t) * length * t)
               for t in np.linspace(0, 1, 6)]
        d.line(pts, fill=int(rng.uniform(40, 110)), width=1)
    fibres = blur(np.asarray(fib, np.float32) / 255, 0.5 * s)
    albedo *= (1 - 0.05 * fibres)[..., None]

    # the sheet is never perfectly flat: gentle waves plus a fold crease
    wave = fractal_noise(rng, w, h, 420 * s, 3) * 5 * s
    crease_y = 540.0
    dist = (py - crease_y) * s
    crease = -0.045 * np.sqrt(dist ** 2 + (3 * s) ** 2)          # a shallow valley
    crease += 0.8 * s * np.exp(-(dist / (1.2 * s)) ** 2)           # worn ridge on the fold
    albedo *= (1 - 0.025 * np.exp(-(dist / (2.5 * s)) ** 2))[..., None]
    rough = blur(rng.standard_normal((h, w)).astype(np.float32), 1.0 * s) * 0.35 * s
    height = wave + crease + rough

    ink = handwriting(rng, w, h, s)
    ink_colour = np.array([0.40, 0.33, 0.56], np.float32)   # faded violet-blue ink
    albedo = albedo * (1 - ink[..., None] * (1 - ink_colour))
    scene.paint((0, 0, w, h), np.ones((h, w), np.float32), height, albedo, in_focus=False)


# cursive letter shapes: pen positions in x-height units, baseline at y = 0,
# up is negative.  Each starts where the previous letter left the baseline.
LETTERS = {
    "e": (0.62, [(0.42, -0.5), (0.52, -0.9), (0.3, -0.95), (0.16, -0.45), (0.32, -0.02), (0.62, -0.12)]),
    "a": (0.86, [(0.58, -0.86), (0.3, -0.98), (0.06, -0.5), (0.28, -0.02), (0.56, -0.5),
                 (0.62, -0.96), (0.6, -0.2), (0.86, -0.08)]),
    "n": (0.86, [(0.12, -0.7), (0.24, -0.98), (0.3, -0.5), (0.3, 0.0), (0.42, -0.72), (0.6, -0.98),
                 (0.68, -0.5), (0.72, -0.06), (0.86, -0.1)]),
    "u": (0.8, [(0.16, -0.98), (0.16, -0.2), (0.34, -0.02), (0.52, -0.56), (0.58, -0.98),
                (0.58, -0.2), (0.8, -0.08)]),
    "i": (0.44, [(0.2, -0.98), (0.2, -0.14), (0.44, -0.08)]),
    "r": (0.62, [(0.16, -0.96), (0.34, -0.86), (0.38, -0.6), (0.4, -0.04), (0.62, -0.1)]),
    "s": (0.6, [(0.3, -1.0), (0.5, -0.4), (0.36, -0.02), (0.12, -0.12), (0.6, -0.1)]),
    "o": (0.8, [(0.52, -0.92), (0.26, -0.98), (0.08, -0.5), (0.3, -0.02), (0.56, -0.5),
                (0.5, -0.96), (0.8, -0.86)]),
    "l": (0.6, [(0.5, -1.4), (0.62, -2.3), (0.4, -2.45), (0.26, -1.9), (0.26, -0.3), (0.6, -0.08)]),
    "h": (0.96, [(0.5, -1.4), (0.62, -2.3), (0.4, -2.45), (0.24, -1.9), (0.24, 0.0), (0.34, -0.7),
                 (0.56, -0.98), (0.68, -0.5), (0.7, -0.06), (0.96, -0.1)]),
    "d": (0.92, [(0.58, -0.86), (0.3, -0.98), (0.06, -0.5), (0.28, -0.02), (0.56, -0.6),
                 (0.7, -2.3), (0.64, -1.0), (0.64, -0.2), (0.92, -0.08)]),
    "g": (0.86, [(0.58, -0.86), (0.3, -0.98), (0.06, -0.5), (0.28, -0.02), (0.56, -0.5),
                 (0.62, -0.96), (0.58, 0.5), (0.4, 1.3), (0.16, 1.2), (0.3, 0.5), (0.86, -0.1)]),
    "y": (0.86, [(0.16, -0.98), (0.16, -0.2), (0.34, -0.02), (0.52, -0.56), (0.58, -0.98),
                 (0.56, 0.5), (0.36, 1.3), (0.14, 1.2), (0.3, 0.5), (0.86, -0.1)]),
    "m": (1.2, [(0.12, -0.7), (0.22, -0.98), (0.3, -0.5), (0.3, 0.0), (0.38, -0.72), (0.52, -0.98),
                (0.62, -0.5), (0.62, 0.0), (0.72, -0.72), (0.88, -0.98), (0.98, -0.5), (1.02, -0.06),
                (1.2, -0.1)]),
    "t": (0.56, [(0.3, -1.7), (0.24, -0.5), (0.3, -0.02), (0.56, -0.12)]),
}
LETTER_FREQ = "eeeeaaannnuuiiirrssoooolllhhddgyymtt"


def cursive_words(rng, width_units):
    """Yield lines of words; each word is a list of (x, y) key points."""
    x = 0.0
    line = []
    while True:
        n = int(rng.integers(2, 9))
        pts = [(x, -0.05)]
        for _ in range(n):
            adv, shape = LETTERS[LETTER_FREQ[int(rng.integers(len(LETTER_FREQ)))]]
            size = rng.uniform(0.9, 1.1)
            for px, py in shape:
                pts.append((x + px * size + rng.normal(0, 0.04), py * size + rng.normal(0, 0.05)))
            x += adv * size * rng.uniform(0.95, 1.1)
        if x > width_units and line:
            yield line
            line = []
            x = 0.0
            continue
        line.append(pts)
        x += rng.uniform(0.7, 1.2)


def handwriting(rng, w, h, s):
    """Ink coverage (0..1) of the letter, in scene pixels."""
    k = 2                                   # drawn k times finer, then scaled down
    img = Image.new("L", (w * k, h * k), 0)
    draw = ImageDraw.Draw(img)
    xh = 11.0                               # x-height in photo pixels
    slant = 0.32
    pen = 1.05                              # nib width (photo pixels)
    nib = math.radians(35)
    c, sn = math.cos(PAPER_TILT), math.sin(PAPER_TILT)

    def to_scene(px, py):
        # letter coordinates -> scene pixels (inverse of paper_coords)
        x, y = px - WIDTH / 2, py - HEIGHT / 2
        return ((c * x - sn * y) * s + w / 2) * k, ((sn * x + c * y) * s + h / 2) * k

    left, right = 70.0, 985.0
    top, spacing = 58.0, 41.0
    lines = cursive_words(rng, (right - left) / xh)
    row = 0
    y_base = top
    while y_base < HEIGHT + 60:
        indent = 48.0 if row % 6 == 0 else 0.0
        if row % 6 == 5:
            y_base += spacing * 0.5          # paragraph gap
        words = next(lines)
        if row % 6 == 5:
            words = words[: max(1, len(words) // 2)]  # paragraphs end early
        drift = rng.normal(0, 0.012)         # lines wander a little
        for word in words:
            pts = np.array(word, np.float64)
            pts[:, 0] = pts[:, 0] - pts[:, 1] * slant
            pts *= xh
            pts[:, 0] += left + indent
            pts[:, 1] += y_base + pts[:, 0] * drift
            curve = catmull_rom(pts, 0.6)
            if len(curve) < 3:
                continue
            fresh = rng.uniform(0.75, 1.0)
            seg = np.diff(curve, axis=0)
            ang = np.arctan2(seg[:, 1], seg[:, 0])
            widths = pen * (0.45 + 0.75 * np.abs(np.sin(ang - nib)))
            for i in range(len(seg)):
                a = to_scene(*curve[i])
                b = to_scene(*curve[i + 1])
                wpx = widths[i] * s * k
                fade = fresh * (1 - 0.35 * i / len(seg))
                val = int(255 * fade)
                draw.line([a, b], fill=val, width=max(1, int(round(wpx))))
                r = wpx / 2
                draw.ellipse([b[0] - r, b[1] - r, b[0] + r, b[1] + r], fill=val)
            # an occasional dot or crossing stroke over the word
            if rng.random() < 0.35:
                i = int(rng.integers(len(word)))
                dx, dy = word[i][0] * xh + left + indent + 4, y_base - 17
                a = to_scene(dx, dy)
                r = 0.7 * s * k
                draw.ellipse([a[0] - r, a[1] - r, a[0] + r, a[1] + r], fill=int(220 * fresh))
            if rng.random() < 0.2:
                i = int(rng.integers(len(word)))
                x0 = word[i][0] * xh + left + indent
                a, b = to_scene(x0 - 4, y_base - 13), to_scene(x0 + 12, y_base - 14.5)
                draw.line([a, b], fill=int(200 * fresh), width=max(1, int(0.9 * s * k)))
        y_base += spacing * rng.uniform(0.97, 1.03)
        row += 1
    ink = np.asarray(img.resize((w, h), Image.BOX), np.float32) / 255
    ink = blur(ink, 0.35 * s)               # a touch of bleed into the paper
    density = 0.72 + 0.2 * fractal_noise(rng, w, h, 150 * s, 3)
    return np.clip(ink * density, 0, 1)


# ---------------------------------------------------------------------------
# hearts

def heart_outline(n=720):
    """Classic heart curve, width 1, centred, point downwards (image y down)."""
    t = np.linspace(0, 2 * math.pi, n, endpoint=False)
    x = 16 * np.sin(t) ** 3
    y = -(13 * np.cos(t) - 5 * np.cos(2 * t) - 2 * np.cos(3 * t) - np.cos(4 * t))
    return np.stack([x / 32.0, (y - 2.0) / 32.0], axis=1)


def polygon_mask(poly, n, extent):
    """Anti-aliased coverage of a polygon on an n x n grid spanning +-extent."""
    k = 4
    img = Image.new("L", (n * k, n * k), 0)
    pts = [((x / extent * 0.5 + 0.5) * n * k, (y / extent * 0.5 + 0.5) * n * k) for x, y in poly]
    ImageDraw.Draw(img).polygon(pts, fill=255)
    return np.asarray(img.resize((n, n), Image.BOX), np.float32) / 255


def inflate(poly, n, extent):
    """Solve  laplace(h) = -1  inside the outline, h = 0 on it (coarse to fine)."""
    h = None
    size = 24
    while True:
        size = min(size * 2, n)
        mask = polygon_mask(poly, size, extent) > 0.5
        cell = 2 * extent / size
        h = np.zeros((size, size), np.float32) if h is None else resize(h, size, size)
        for _ in range(260 if size < n else 400):
            p = np.pad(h, 1)
            h = (p[:-2, 1:-1] + p[2:, 1:-1] + p[1:-1, :-2] + p[1:-1, 2:]) * 0.25 + cell * cell * 0.25
            h *= mask
        if size == n:
            return h


def heart_fields(rng, n, extent, puff):
    """Height (in heart widths) and coverage of one padded satin heart."""
    poly = heart_outline()
    cover = polygon_mask(poly, n, extent)
    raw = resize(inflate(poly, 256, extent), n, n)
    raw = blur(raw, n / 220)                      # hide the coarse grid's steps
    raw = np.maximum(raw, 0) / raw.max()
    edge = raw                                    # ~ distance from the seam
    h = edge ** 0.6 * puff
    h *= smoothstep(0.0, 0.02, edge)

    y, x = np.mgrid[0:n, 0:n].astype(np.float32)
    x = (x / (n - 1) * 2 - 1) * extent
    y = (y / (n - 1) * 2 - 1) * extent

    # puckers along the seam, where the cloth was gathered when sewn
    theta = np.arctan2(y + 0.05, x)
    phase = fractal_noise(rng, 512, 1, 40, 3)[0]
    amp = fractal_noise(rng, 512, 1, 30, 2)[0]
    idx = ((theta + math.pi) / (2 * math.pi) * 511).astype(np.int32)
    pucker = np.sin(theta * 24 + phase[idx] * 5) * np.clip(0.4 + amp[idx], 0, None)
    h += pucker * np.exp(-edge / 0.08) * smoothstep(0.0, 0.05, edge) * 0.007

    # a few wrinkles pulled into the cleft on top and the tip at the bottom
    for (ax, ay), reach, lo, hi, count, strength in (
            ((0.0, -0.23), 0.16, 0.15 * math.pi, 0.85 * math.pi, 5, 0.016),
            ((0.0, 0.47), 0.20, -0.85 * math.pi, -0.15 * math.pi, 4, 0.012)):
        r = np.hypot(x - ax, y - ay)
        ang = np.arctan2(y - ay, x - ax)
        for _ in range(count):
            a = rng.uniform(lo, hi) + 0.25 * r / reach * rng.normal()   # slightly curved
            width = rng.uniform(0.05, 0.09)
            d = np.angle(np.exp(1j * (ang - a)))
            length = reach * rng.uniform(0.6, 1.3)
            ridge = np.exp(-(d / width) ** 2) * np.exp(-r / length) * smoothstep(0.0, 0.05, r)
            h += ridge * strength * rng.uniform(0.5, 1.0) * smoothstep(0.0, 0.04, edge)

    # a few broad soft folds running across the cushion
    for _ in range(4):
        a = rng.uniform(0, math.pi)
        off = rng.uniform(-0.2, 0.2)
        along = rng.uniform(-0.15, 0.15)
        u = x * math.cos(a) + y * math.sin(a) - off
        v = -x * math.sin(a) + y * math.cos(a) - along
        fold = np.exp(-(u / rng.uniform(0.025, 0.05)) ** 2) * np.exp(-(v / rng.uniform(0.2, 0.35)) ** 2)
        h += fold * rng.choice([-1, 1]) * rng.uniform(0.006, 0.014) * smoothstep(0.0, 0.15, edge)

    # fine crinkle of the cloth and shallow dents in the stuffing
    inner = smoothstep(0, 0.05, edge)
    h += blur(rng.standard_normal((n, n)).astype(np.float32), n / 250) * 0.0006 * inner
    h += fractal_noise(rng, n, n, n / 6, 3) * 0.004 * inner
    return h * cover, cover


def weave_streaks(rng, n, angle):
    """Satin threads catch the light unevenly: faint streaks along the weave."""
    m = int(n * 1.5)
    fine = resize(rng.standard_normal((m // 3, 8)).astype(np.float32), m, m)
    broad = resize(rng.standard_normal((m // 25, 4)).astype(np.float32), m, m)
    tex = 0.08 * fine + 0.10 * broad
    img = Image.fromarray(tex, "F").rotate(math.degrees(-angle), resample=Image.BICUBIC)
    off = (m - n) // 2
    return 1 + np.asarray(img)[off:off + n, off:off + n]


class Heart:
    def __init__(self, cx, cy, size, angle, colour, puff=0.2, weave=0.0, seed=0):
        self.cx, self.cy, self.size = cx, cy, size
        self.angle = math.radians(angle)
        self.colour = np.array(colour, np.float32)
        self.puff = puff
        self.weave = math.radians(weave)
        self.seed = seed
        self.box = None      # where it landed in the scene, and its coverage there
        self.cover = None


def place_heart(scene, heart, s):
    """Put a heart into the scene, resting on whatever lies beneath it."""
    rng = np.random.default_rng(heart.seed)
    size = heart.size * s
    extent = 0.62
    n = int(size * 2 * extent * 1.1)
    h, cover = heart_fields(rng, n, extent, heart.puff)

    cx, cy = heart.cx * s, heart.cy * s
    r = int(size * extent * 1.45)
    x0, y0 = max(0, int(cx - r)), max(0, int(cy - r))
    x1, y1 = min(scene.w, int(cx + r)), min(scene.h, int(cy + r))
    if x1 <= x0 or y1 <= y0:
        return
    yy, xx = np.mgrid[y0:y1, x0:x1].astype(np.float32)
    c, sn = math.cos(heart.angle), math.sin(heart.angle)
    dx, dy = xx - cx, yy - cy
    u = (c * dx + sn * dy) / size             # heart's own coordinates
    v = (-sn * dx + c * dy) / size
    gx = (u / extent * 0.5 + 0.5) * (n - 1)
    gy = (v / extent * 0.5 + 0.5) * (n - 1)
    hh = blur(sample(h, gx, gy) * size, 1.2)     # smooth away interpolation facets
    streaks = sample(weave_streaks(rng, n, heart.weave), gx, gy)
    cov = np.clip(sample(cover, gx, gy), 0, 1)
    if not cov.any():
        return

    # rest on the layer below: lift by its smoothed height
    below = scene.height[y0:y1, x0:x1]
    base = blur(below, size * 0.06)
    height = base + hh

    tint = heart.colour[None, None, :] * np.ones_like(hh)[..., None]
    a = heart.angle + heart.weave
    tangent = np.zeros(hh.shape + (2,), np.float32)
    tangent[..., 0] = math.cos(a)
    tangent[..., 1] = math.sin(a)
    scene.paint((x0, y0, x1, y1), cov, height, tint, satin=1.0, tangent=tangent, sheen=streaks)
    heart.box = (x0, y0, x1, y1)
    heart.cover = cov


# ---------------------------------------------------------------------------
# golden cord

CORD_RADIUS = 7.0           # photo pixels


def cord_piece(scene, points, s, lift=0.0, radius=CORD_RADIUS, twist=1):
    """Lay a twisted cord along a smooth curve through `points` (photo px)."""
    r = radius * s
    step = 0.7
    curve = catmull_rom(np.asarray(points, np.float64) * s, step)
    tang = np.gradient(curve, axis=0)
    tang /= np.linalg.norm(tang, axis=1, keepdims=True) + 1e-9

    # the cord bridges dips and drapes over bumps: running max, then smooth
    under = sample(scene.height, curve[:, 0].astype(np.float32), curve[:, 1].astype(np.float32))
    span = int(3 * r)
    padded = np.pad(under, span, mode="edge")
    bridged = np.max(np.lib.stride_tricks.sliding_window_view(padded, 2 * span + 1), axis=1)
    base = np.convolve(np.pad(bridged, span, mode="edge"),
                       np.hanning(2 * span + 1) / np.hanning(2 * span + 1).sum(), mode="valid")
    base = base + lift * s

    x0 = int(max(0, curve[:, 0].min() - r - 3))
    y0 = int(max(0, curve[:, 1].min() - r - 3))
    x1 = int(min(scene.w, curve[:, 0].max() + r + 4))
    y1 = int(min(scene.h, curve[:, 1].max() + r + 4))
    if x1 <= x0 or y1 <= y0:
        return
    zbuf = np.full((y1 - y0, x1 - x0), -1e9, np.float32)
    along = np.zeros_like(zbuf)
    across = np.zeros_like(zbuf)
    tx = np.zeros_like(zbuf)
    ty = np.zeros_like(zbuf)
    cover = np.zeros_like(zbuf)
    pad = int(r + 2)
    for i, (px, py) in enumerate(curve):
        ix, iy = int(px) - x0, int(py) - y0
        a0, b0 = max(0, iy - pad), max(0, ix - pad)
        a1, b1 = min(zbuf.shape[0], iy + pad + 1), min(zbuf.shape[1], ix + pad + 1)
        if a1 <= a0 or b1 <= b0:
            continue
        yy, xx = np.mgrid[a0:a1, b0:b1]
        ddx = xx + x0 + 0.5 - px
        ddy = yy + y0 + 0.5 - py
        d2 = ddx * ddx + ddy * ddy
        z = base[i] + np.sqrt(np.maximum(r * r - d2, 0)) * 0.85
        win = (z > zbuf[a0:a1, b0:b1]) & (d2 < (r + 1) ** 2)
        zbuf[a0:a1, b0:b1] = np.where(win, z, zbuf[a0:a1, b0:b1])
        along[a0:a1, b0:b1] = np.where(win, i * step, along[a0:a1, b0:b1])
        side = (ddx * tang[i, 1] - ddy * tang[i, 0]) / r
        across[a0:a1, b0:b1] = np.where(win, side, across[a0:a1, b0:b1])
        tx[a0:a1, b0:b1] = np.where(win, tang[i, 0], tx[a0:a1, b0:b1])
        ty[a0:a1, b0:b1] = np.where(win, tang[i, 1], ty[a0:a1, b0:b1])
        cover[a0:a1, b0:b1] = np.maximum(cover[a0:a1, b0:b1], np.clip(r + 0.5 - np.sqrt(d2), 0, 1))

    # three plies wound around each other: diagonal grooves across the tube
    v = np.clip(across, -1, 1)
    pitch = 3.4 * r
    phase = (along / pitch + twist * v * 0.55) * 3.0
    u = phase - np.floor(phase)
    ply = np.sqrt(np.clip(1 - (2 * u - 1) ** 2, 0, 1))
    roundness = np.sqrt(np.clip(1 - v * v, 0, 1))
    height = zbuf - (1 - ply) * 0.42 * r * roundness
    # fine fibres in each ply
    fibre = np.sin(phase * 2 * math.pi * 5 + v * 9) * 0.012 * r
    height += fibre * ply

    # plies lean by the twist angle; store that direction for the highlights
    lean = twist * math.radians(-50)
    cl, sl = math.cos(lean), math.sin(lean)
    ptx, pty = tx * cl - ty * sl, tx * sl + ty * cl
    tangent = np.stack([ptx, pty], axis=-1)

    gold = np.array([0.86, 0.62, 0.22], np.float32)
    shade = (0.7 + 0.3 * ply)[..., None]
    albedo = gold[None, None, :] * shade
    below = scene.height[y0:y1, x0:x1]
    height = np.where(cover > 0, height, below)
    scene.paint((x0, y0, x1, y1), cover, height, albedo, gold=1.0, tangent=tangent)


def bow(scene, cx, cy, s, angle, size=1.0, lift=0.0):
    """A bow with two loops and two tails, centred on (cx, cy)."""
    c, sn = math.cos(math.radians(angle)), math.sin(math.radians(angle))

    def tr(pts):
        return [(cx + (c * x - sn * y) * size, cy + (sn * x + c * y) * size) for x, y in pts]

    # tails first (they lie lowest), then the loops, then the knot
    cord_piece(scene, tr([(0, 0), (-14, 22), (-30, 52), (-28, 86), (-44, 118), (-62, 132)]), s, lift)
    cord_piece(scene, tr([(0, 0), (16, 20), (22, 54), (44, 82), (52, 116), (74, 140)]), s, lift)
    cord_piece(scene, tr([(0, 0), (-24, -18), (-62, -34), (-92, -30), (-98, -8), (-76, 8),
                          (-40, 6), (0, 0)]), s, lift + 3)
    cord_piece(scene, tr([(0, 0), (26, -16), (62, -38), (94, -36), (104, -12), (82, 8),
                          (42, 8), (0, 0)]), s, lift + 3)
    cord_piece(scene, tr([(-9, -6), (-3, -12), (8, -8), (10, 4), (2, 10), (-9, 6), (-11, -4)]),
               s, lift + 9, radius=CORD_RADIUS * 1.1)


# ---------------------------------------------------------------------------
# light

LIGHT = np.array([-0.55, -0.62, 0.56], np.float32)
LIGHT /= np.linalg.norm(LIGHT)


def soft_shadow(height, s):
    """Visibility of the window light, ray-marched through the height field."""
    h, w = height.shape
    d = LIGHT[:2] / np.linalg.norm(LIGHT[:2])
    rise = LIGHT[2] / np.linalg.norm(LIGHT[:2])     # light ray climbs this per pixel
    penumbra = 0.28
    vis = np.ones_like(height)
    steps = list(range(2, 40, 2)) + list(range(40, 120, 5)) + list(range(120, int(420 * s / 2), 12))
    pad = steps[-1] + 2
    padded = np.pad(height, pad, mode="edge")
    for k in steps:
        ox, oy = int(round(d[0] * k)), int(round(d[1] * k))
        other = padded[pad + oy:pad + oy + h, pad + ox:pad + ox + w]
        excess = other - height - k * rise
        vis = np.minimum(vis, np.clip(0.5 - excess / (k * penumbra), 0, 1))
    return blur(vis, 1.5 * s)


def normals(height):
    gy, gx = np.gradient(height)
    n = np.stack([-gx, -gy, np.ones_like(height)], axis=-1)
    return n / np.linalg.norm(n, axis=-1, keepdims=True)


def shade(scene, s):
    n = normals(scene.height)
    view = np.array([0, 0, 1], np.float32)
    half = LIGHT + view
    half /= np.linalg.norm(half)
    ndl = n @ LIGHT
    ndh = np.clip(n @ half, 0, 1)

    vis = soft_shadow(scene.height, s)
    # ambient occlusion from how far a point sits below its surroundings
    ao = np.ones_like(scene.height)
    for sigma, weight in ((3 * s, 0.04), (12 * s, 0.02), (40 * s, 0.006)):
        ao -= np.clip(blur(scene.height, sigma) - scene.height, 0, None) * weight / s
    ao = np.clip(ao, 0.35, 1)

    diffuse = np.clip((ndl + 0.35) / 1.35, 0, 1)          # wrapped: soft window light
    sky = np.array([0.96, 0.95, 1.03], np.float32)       # cool fill from the room
    sun = np.array([1.03, 1.0, 0.96], np.float32)        # warm window light
    light = (0.42 * ao)[..., None] * sky + (0.72 * diffuse * vis * (0.55 + 0.45 * ao))[..., None] * sun

    # threads: project the stored in-plane direction onto the surface
    t = np.concatenate([scene.tangent, np.zeros(scene.height.shape + (1,), np.float32)], axis=-1)
    t -= n * np.sum(t * n, axis=-1, keepdims=True)
    t /= np.linalg.norm(t, axis=-1, keepdims=True) + 1e-6
    th = np.sum(t * half, axis=-1)
    aniso = np.sqrt(np.clip(1 - th * th, 0, 1))

    satin_glint = (0.34 * aniso ** 70 + 0.22 * aniso ** 14 + 0.12 * ndh ** 40) * vis * scene.sheen
    gold_glint = (1.1 * aniso ** 36 + 0.5 * ndh ** 20 + 0.15 * aniso ** 4) * vis
    paper_glint = 0.015 * ndh ** 6 * vis

    albedo = scene.albedo
    rgb = albedo * light * (1 - 0.12 * scene.satin - 0.4 * scene.gold)[..., None]
    sat = scene.satin[..., None]
    gld = scene.gold[..., None]
    pap = 1 - sat - gld
    satin_tint = np.array([1.0, 0.97, 1.0], np.float32)
    gold_tint = np.array([1.0, 0.84, 0.50], np.float32)
    rgb = rgb + sat * satin_glint[..., None] * (0.55 * satin_tint + 0.45 * albedo)
    rgb = rgb + gld * gold_glint[..., None] * gold_tint
    rgb = rgb + pap * paper_glint[..., None]
    # light bounced off the hearts and cord tints the paper around them
    things = sat + gld
    bounce = blur(albedo * things * light, 14 * s, axes=(0, 1))
    rgb = rgb + pap * albedo * bounce * 0.22
    # satin looks deeper where the cloth turns away (less sheen, more dye)
    grazing = (1 - n[..., 2]) ** 1.5
    rgb = rgb * (1 - sat * 0.4 * grazing[..., None])
    return rgb


# ---------------------------------------------------------------------------
# camera

def depth_of_field(rgb, scene, s):
    """Blur that grows away from the focused hearts (and more at the top)."""
    h, w = scene.height.shape
    y = np.linspace(0, 1, h, dtype=np.float32)[:, None]
    x = np.linspace(0, 1, w, dtype=np.float32)[None, :]
    focus = blur(scene.sharp, 60 * s)
    amount = 0.25 + 2.6 * np.clip(0.55 - y, 0, None) ** 1.3 * 3.2 + 1.5 * np.clip(y - 0.8, 0, None) * 4
    amount = amount + 0.6 * np.abs(x - 0.6)
    amount = amount * (1 - 0.8 * np.clip(focus * 2.5, 0, 1))
    amount *= s
    levels = [0.0, 1.0, 2.0, 3.5, 5.5]
    stack = [rgb if lv == 0 else blur(rgb, lv * s) for lv in levels]
    out = np.zeros_like(rgb)
    lv = np.array(levels, np.float32) * s
    a = np.clip(amount, 0, lv[-1])
    for i in range(len(levels) - 1):
        t = np.clip((a - lv[i]) / (lv[i + 1] - lv[i]), 0, 1)
        inside = ((a >= lv[i]) & (a <= lv[i + 1]))[..., None]
        out = np.where(inside, stack[i] * (1 - t[..., None]) + stack[i + 1] * t[..., None], out)
    return out


def grade(rgb, s):
    """Bright, airy pastel look; pale top where the captions sit."""
    h, w, _ = rgb.shape
    bloom = blur(np.clip(rgb - 0.85, 0, None), 10 * s)   # highlights glow a little
    rgb = rgb + 0.35 * bloom
    rgb = 1 - np.exp(-rgb * 1.6)                        # soft shoulder
    rgb = rgb / (1 - math.exp(-1.6 * 1.02))
    y = np.linspace(0, 1, h, dtype=np.float32)[:, None]
    x = np.linspace(0, 1, w, dtype=np.float32)[None, :]
    r2 = ((x - 0.55) / 0.75) ** 2 + (np.maximum(y - 0.4, 0) / 0.6) ** 2
    vignette = 1 - 0.10 * r2
    rgb = rgb * vignette[..., None]
    glow = np.clip(1 - y / 0.26, 0, 1) ** 1.3             # light spilling over the top
    rgb = rgb + (1 - rgb) * (0.55 * glow)[..., None]
    lift = np.array([0.10, 0.06, 0.08], np.float32)       # milky, lilac shadows
    rgb = lift + rgb * (1 - lift)
    return np.clip(rgb, 0, 1)


# ---------------------------------------------------------------------------
# the photograph

HEARTS = [
    # cx, cy, width, turn (deg), colour, puffiness, weave direction, seed
    Heart(560, 622, 250, -16, (0.80, 0.68, 0.95), 0.21, 20, 11),     # violet
    Heart(792, 392, 370, 12, (0.98, 0.70, 0.82), 0.22, -10, 12),     # pink, the big one
    Heart(200, 628, 165, -22, (0.96, 0.60, 0.76), 0.22, 35, 13),     # small rose, the icon
    Heart(965, 705, 175, 28, (0.86, 0.74, 0.97), 0.21, 0, 14),       # lilac, cut by the frame
]


def render_photograph():
    s = SS
    scene = Scene(WIDTH * s, HEIGHT * s)
    rng = np.random.default_rng(2024)
    paper(scene, rng, s)
    for heart in HEARTS:
        place_heart(scene, heart, s)

    # the cord: comes in from the left, runs under the small heart, crosses
    # the violet one, ties a bow by the big heart and leaves to the right
    cord_piece(scene, [(-20, 640), (40, 690), (120, 745), (230, 760), (330, 730),
                       (410, 680), (490, 620), (580, 565), (655, 520)], s)
    cord_piece(scene, [(655, 520), (730, 470), (810, 460), (900, 430), (960, 360),
                       (1010, 300), (1050, 280)], s)
    bow(scene, 655, 520, s, angle=-18, size=1.25, lift=2)

    rgb = shade(scene, s)
    rgb = depth_of_field(rgb, scene, s)
    rgb = grade(rgb, s)
    return rgb


def to_image(rgb):
    return Image.fromarray((np.clip(rgb, 0, 1) * 255 + 0.5).astype(np.uint8), "RGB")


def add_grain(img, seed, amount):
    a = np.asarray(img, np.float32)
    rng = np.random.default_rng(seed)
    g = blur(rng.standard_normal(a.shape[:2]).astype(np.float32), 0.45) * amount
    a = a + g[..., None]
    return Image.fromarray(np.clip(a + 0.5, 0, 255).astype(np.uint8), "RGB")


def jpeg_near(img, target, lo=30, hi=98):
    """Baseline JPEG whose size is as close as possible to `target` bytes."""
    best = None
    for q in range(lo, hi + 1):
        buf = io.BytesIO()
        img.save(buf, "JPEG", quality=q, optimize=True, progressive=False)
        size = buf.tell()
        if best is None or abs(size - target) < abs(best[1] - target):
            best = (q, size, buf.getvalue())
    return best


# ---------------------------------------------------------------------------
# icon

def heart_icon(rgb, heart, sizes):
    """Cut `heart` out of the rendered photograph, upright, with soft alpha."""
    s = SS
    big = to_image(rgb)
    x0, y0, x1, y1 = heart.box
    alpha_full = np.zeros(rgb.shape[:2], np.float32)
    alpha_full[y0:y1, x0:x1] = heart.cover
    side = 512
    span = heart.size * s * 1.08                 # crop a little wider than the heart
    c, sn = math.cos(heart.angle), math.sin(heart.angle)
    k = span / side
    # output (u, v) -> source: centre + R(angle) * (u - side/2, v - side/2) * k
    cx, cy = heart.cx * s, heart.cy * s + heart.size * s * 0.03
    coeffs = (c * k, -sn * k, cx - c * k * side / 2 + sn * k * side / 2,
              sn * k, c * k, cy - sn * k * side / 2 - c * k * side / 2)
    rgb_crop = np.asarray(big.transform((side, side), Image.AFFINE, coeffs, Image.BICUBIC), np.float32)
    a_img = Image.fromarray((alpha_full * 255).astype(np.uint8), "L")
    a_crop = np.asarray(a_img.transform((side, side), Image.AFFINE, coeffs, Image.BILINEAR), np.float32) / 255
    # pull the edge in a little and soften it
    a_crop = np.clip((blur(a_crop, 3.0) - 0.55) * 3.2 + 0.5, 0, 1)
    # take the milky haze off so the heart still reads at 32 pixels
    rgb_crop = np.clip((rgb_crop - 30) / (252 - 30), 0, 1)
    grey = rgb_crop.mean(axis=-1, keepdims=True)
    rgb_crop = np.clip(grey + (rgb_crop - grey) * 1.25, 0, 1) * 255
    rgba = np.dstack([rgb_crop, a_crop * 255])
    icon = Image.fromarray((rgba + 0.5).astype(np.uint8), "RGBA")
    out = {}
    for n in sizes:
        small = icon.convert("RGBa").resize((n, n), Image.LANCZOS).convert("RGBA")
        if n <= 48:
            rgb_part = small.convert("RGB").filter(ImageFilter.UnsharpMask(1, 60, 0))
            small = Image.merge("RGBA", (*rgb_part.split(), small.getchannel("A")))
        out[n] = small
    return out


# ---------------------------------------------------------------------------
# logo

def logo():
    k = 4                                   # drawn 4x larger, then scaled down
    w, h = 160 * k, 66 * k
    pink = np.array([232, 62, 124], np.float32)
    plum = np.array([84, 46, 106], np.float32)
    path = os.path.join(FONT_DIR, "URWGothic-Demi.otf")
    word, accent = "52dozo", 2              # the first two letters take the accent
    track = -1.2 * k                        # letters sit a little tighter than set

    def layout(font):
        probe = ImageDraw.Draw(Image.new("L", (1, 1)))
        xs, x = [], 0.0
        for ch in word:
            xs.append(x)
            x += probe.textlength(ch, font=font) + track
        left = probe.textbbox((0, 0), word[0], font=font, anchor="ls")[0]
        right = xs[-1] + probe.textbbox((0, 0), word[-1], font=font, anchor="ls")[2]
        top = probe.textbbox((0, 0), word, font=font, anchor="ls")[1]
        return xs, left, right, top

    # fit the word into the box, leaving room for the heart on the right
    xs, left, right, _ = layout(ImageFont.truetype(path, 100 * k))
    font = ImageFont.truetype(path, int(100 * k * (138 * k) / (right - left)))
    xs, left, right, top = layout(font)
    x0 = 4 * k - left
    base = 45 * k

    def glyphs(indices):
        m = Image.new("L", (w, h), 0)
        d = ImageDraw.Draw(m)
        for i in indices:
            d.text((x0 + xs[i], base), word[i], font=font, fill=255, anchor="ls")
        # round off the corners a little
        m = m.filter(ImageFilter.GaussianBlur(0.9 * k))
        return np.clip((np.asarray(m, np.float32) / 255 - 0.45) * 5 + 0.5, 0, 1)

    a_lead = glyphs(range(accent))
    a_rest = glyphs(range(accent, len(word)))

    # a small heart hovering above the last letter
    hx, hy, hs = x0 + right + 4.5 * k, base + top + 4 * k, 13 * k
    heart = Image.new("L", (w, h), 0)
    ImageDraw.Draw(heart).polygon([(hx + px * hs, hy + py * hs) for px, py in heart_outline(200)],
                                  fill=255)
    a_heart = np.asarray(heart, np.float32) / 255

    # a swoosh under "dozo"
    swoosh = Image.new("L", (w, h), 0)
    sx0, sx1 = x0 + xs[accent] + 2 * k, x0 + right + 2 * k
    pts = [(sx0 + (sx1 - sx0) * t, base + 9 * k + 2.5 * k * math.sin(t * math.pi) - 3 * k * t)
           for t in np.linspace(0, 1, 40)]
    ImageDraw.Draw(swoosh).line(pts, fill=255, width=int(3 * k), joint="curve")
    a_swoosh = np.asarray(swoosh.filter(ImageFilter.GaussianBlur(0.5 * k)), np.float32) / 255

    img = np.full((h, w, 3), 255, np.float32)
    for a, colour in ((a_swoosh, pink), (a_rest, plum), (a_lead, pink), (a_heart, pink)):
        img = img * (1 - a[..., None]) + colour * a[..., None]
    return Image.fromarray((img + 0.5).astype(np.uint8), "RGB").resize((160, 66), Image.LANCZOS)


# ---------------------------------------------------------------------------

def main():
    t0 = time.time()
    os.makedirs(OUT_DIR, exist_ok=True)

    rgb = render_photograph()
    photo = to_image(rgb).resize((WIDTH, HEIGHT), Image.LANCZOS)
    photo = add_grain(photo, 7, 2.2)
    q, size, data = jpeg_near(photo, BACKGROUND_BYTES)
    with open(os.path.join(OUT_DIR, "background.jpg"), "wb") as f:
        f.write(data)
    print(f"background.jpg  {size} bytes (quality {q})")

    icons = heart_icon(rgb, HEARTS[2], (32, 128))
    icons[32].save(os.path.join(OUT_DIR, "icon.png"), optimize=True)
    icons[128].save(os.path.join(OUT_DIR, "icon-128.png"), optimize=True)
    print("icon.png, icon-128.png")

    q, size, data = jpeg_near(logo(), LOGO_BYTES, lo=50)
    with open(os.path.join(OUT_DIR, "logo.jpg"), "wb") as f:
        f.write(data)
    print(f"logo.jpg  {size} bytes (quality {q})")
    print(f"done in {time.time() - t0:.1f} s")


if __name__ == "__main__":
    sys.exit(main())
