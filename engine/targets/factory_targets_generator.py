#!/usr/bin/env python3
"""Generates factory_targets.cpp: the five factory targets as target-file texts.

Each target is a smooth genre curve and spread on the 180-band grid (band k at
20 * 1000^(k/179) Hz), drawn through a few knots with monotone cubic (PCHIP) interpolation,
so values at the knots are exact and no value overshoots its neighbouring knots. Some knots
are pinned: they carry the values the product is known by (listed in PINNED below and checked
by the tests). The curve is then normalised so that its mean power over bands 18..173
(40 Hz..16 kHz) is 0 dB: a smooth raised-cosine bump over mid bands that holds no pinned knot
is scaled by bisection until the mean is 0 dB. Rounding to three decimals comes last.

Usage:
  factory_targets_generator.py [OUTPUT]     write the source file (stdout without OUTPUT)
  factory_targets_generator.py --check FILE exit 1 unless FILE equals the generated text
"""

import math
import sys

BANDS = 180
REF_FIRST, REF_LAST = 18, 173  # band centres in 40 Hz..16 kHz


def band_of(hz):
    """Nearest band to a frequency."""
    return round(179.0 * math.log10(hz / 20.0) / 3.0)


# Knots: (band, value). Pinned knots are given by band number; the others by frequency in Hz
# (turned into the nearest band) where that reads better.
TARGETS = [
    {
        "name": "Dance",
        # Steep sub-bass rise to a big kick peak near 60 Hz, lean low mids, present highs.
        "curve": [(0, -24.443), (1, -23.612), (2, -22.548), (band_of(30), -10.5),
                  (band_of(40), -2.0), (band_of(50), 3.6), (29, 6.292), (band_of(80), 5.1),
                  (band_of(120), 2.9), (band_of(200), 1.6), (band_of(400), -1.0),
                  (band_of(1000), -2.6), (band_of(2500), -3.9), (band_of(5000), -4.7),
                  (band_of(8000), -5.8), (band_of(11000), -8.3), (band_of(14000), -11.8),
                  (band_of(17000), -18.5), (179, -27.238)],
        "spread": [(0, 7.487), (1, 7.608), (2, 7.701), (band_of(28), 8.3), (band_of(45), 6.0),
                   (band_of(90), 4.1), (band_of(250), 3.1), (band_of(1000), 2.6),
                   (band_of(4000), 2.9), (band_of(9000), 3.9), (band_of(14000), 5.6),
                   (179, 8.9)],
        "bump": (band_of(250), band_of(3500)),
    },
    {
        "name": "Metal",
        # Tight low end, dense guitar mids, bright upper mids, early top roll-off.
        "curve": [(0, -24.836), (band_of(25), -17.0), (band_of(35), -7.5), (band_of(50), 0.2),
                  (band_of(70), 3.3), (42, 4.457), (band_of(150), 3.4), (band_of(250), 1.3),
                  (band_of(500), -0.3), (band_of(1000), -1.5), (band_of(2000), -2.4),
                  (band_of(3500), -2.9), (band_of(6000), -4.2), (band_of(9000), -6.3),
                  (band_of(12000), -9.8), (band_of(16000), -14.8), (179, -21.9)],
        "spread": [(0, 6.2), (band_of(40), 4.4), (band_of(100), 3.0), (band_of(400), 2.2),
                   (band_of(2000), 1.9), (band_of(6000), 2.4), (band_of(12000), 3.6),
                   (179, 6.8)],
        "bump": (band_of(300), band_of(3000)),
    },
    {
        "name": "Pop",
        # Rounded sub-bass, warm bass near 70 Hz, forward vocals, airy top.
        "curve": [(0, -28.682), (band_of(25), -20.0), (band_of(35), -8.8), (band_of(50), 0.6),
                  (33, 4.623), (band_of(100), 3.6), (band_of(160), 2.4), (band_of(300), 1.0),
                  (band_of(600), -0.5), (band_of(1200), -1.3), (band_of(2500), -1.9),
                  (band_of(4000), -2.3), (band_of(7000), -3.9), (band_of(10000), -6.2),
                  (band_of(13000), -9.4), (band_of(16500), -15.5), (179, -22.4)],
        "spread": [(0, 11.054), (band_of(25), 9.6), (band_of(40), 6.9), (band_of(70), 4.6),
                   (band_of(200), 3.1), (band_of(1000), 2.3), (band_of(5000), 2.6),
                   (band_of(12000), 3.9), (179, 6.1)],
        "bump": (band_of(350), band_of(3200)),
    },
    {
        "name": "Rock",
        # Less sub, strong 100 Hz, full guitar mids, top rolled off early and varying a lot.
        "curve": [(0, -22.6), (band_of(25), -15.3), (band_of(35), -6.6), (band_of(55), 1.6),
                  (42, 4.480), (band_of(150), 3.7), (band_of(250), 2.2), (band_of(500), -0.3),
                  (band_of(1000), -2.0), (band_of(2000), -3.2), (band_of(3500), -3.6),
                  (band_of(6000), -5.6), (band_of(9000), -8.8), (band_of(12000), -12.8),
                  (band_of(15000), -17.6), (band_of(18000), -23.4), (179, -28.784)],
        "spread": [(0, 8.8), (band_of(40), 5.4), (band_of(120), 3.3), (band_of(500), 2.4),
                   (band_of(1500), 2.3), (band_of(4000), 3.0), (band_of(8000), 4.7),
                   (band_of(12000), 8.2), (band_of(15000), 12.6), (band_of(18000), 17.4),
                   (179, 21.539)],
        "bump": (band_of(350), band_of(2800)),
    },
    {
        "name": "Schlager",
        # Round bass near 80 Hz, soft mids, smooth highs with a band-limited top.
        "curve": [(0, -20.8), (band_of(25), -14.7), (band_of(40), -4.2), (band_of(60), 2.6),
                  (36, 4.251), (band_of(130), 3.2), (band_of(250), 2.1), (band_of(500), -0.1),
                  (band_of(1000), -1.4), (band_of(2000), -2.3), (band_of(4000), -3.5),
                  (band_of(7000), -6.4), (band_of(10000), -9.3), (band_of(13500), -14.6),
                  (band_of(16000), -19.5), (band_of(18500), -27.0), (179, -31.655)],
        "spread": [(0, 7.6), (band_of(40), 5.2), (band_of(100), 3.6), (band_of(400), 2.7),
                   (band_of(2000), 2.5), (band_of(8000), 3.2), (band_of(14000), 3.0),
                   (band_of(16500), 1.4), (175, 0.0), (179, 0.0)],
        "bump": (band_of(300), band_of(3000)),
    },
]

# The values the targets are known by; the generator refuses to emit anything else.
PINNED = {
    "Dance": {"curve": {0: -24.443, 1: -23.612, 2: -22.548, 29: 6.292, 179: -27.238},
              "spread": {0: 7.487, 1: 7.608, 2: 7.701}, "max": (29, 6.292)},
    "Metal": {"curve": {0: -24.836, 42: 4.457}, "spread": {},
              "min": (0, -24.836), "max": (42, 4.457)},
    "Pop": {"curve": {0: -28.682, 33: 4.623}, "spread": {0: 11.054},
            "min": (0, -28.682), "max": (33, 4.623), "spread_max": (0, 11.054)},
    "Rock": {"curve": {179: -28.784, 42: 4.480}, "spread": {179: 21.539},
             "min": (179, -28.784), "max": (42, 4.480), "spread_max": (179, 21.539)},
    "Schlager": {"curve": {179: -31.655, 36: 4.251},
                 "spread": {175: 0.0, 176: 0.0, 177: 0.0, 178: 0.0, 179: 0.0},
                 "min": (179, -31.655), "max": (36, 4.251)},
}


def pchip(knots):
    """Monotone cubic Hermite interpolation (Fritsch-Carlson) at bands 0..179."""
    xs = [float(x) for x, _ in knots]
    ys = [float(y) for _, y in knots]
    n = len(xs)
    assert all(xs[i] < xs[i + 1] for i in range(n - 1)), "knots must be in band order"
    assert xs[0] == 0 and xs[-1] == BANDS - 1, "knots must span the grid"
    h = [xs[i + 1] - xs[i] for i in range(n - 1)]
    d = [(ys[i + 1] - ys[i]) / h[i] for i in range(n - 1)]
    m = [0.0] * n
    m[0], m[-1] = d[0], d[-1]
    for i in range(1, n - 1):
        if d[i - 1] * d[i] <= 0.0:
            m[i] = 0.0
        else:
            w1 = 2.0 * h[i] + h[i - 1]
            w2 = h[i] + 2.0 * h[i - 1]
            m[i] = (w1 + w2) / (w1 / d[i - 1] + w2 / d[i])
    for i in (0, n - 1):  # keep the ends from overshooting
        j = 0 if i == 0 else n - 2
        if m[i] * d[j] <= 0.0:
            m[i] = 0.0
        elif abs(m[i]) > 3.0 * abs(d[j]):
            m[i] = 3.0 * d[j]
    out = []
    seg = 0
    for k in range(BANDS):
        while seg < n - 2 and k > xs[seg + 1]:
            seg += 1
        if k == xs[seg]:
            out.append(ys[seg])
            continue
        if k == xs[seg + 1]:
            out.append(ys[seg + 1])
            continue
        t = (k - xs[seg]) / h[seg]
        t2, t3 = t * t, t * t * t
        out.append((2 * t3 - 3 * t2 + 1) * ys[seg] + (t3 - 2 * t2 + t) * h[seg] * m[seg]
                   + (-2 * t3 + 3 * t2) * ys[seg + 1] + (t3 - t2) * h[seg] * m[seg + 1])
    return out


def mean_power_db(curve):
    total = sum(10.0 ** (curve[k] / 10.0) for k in range(REF_FIRST, REF_LAST + 1))
    return 10.0 * math.log10(total / (REF_LAST - REF_FIRST + 1))


def bump_shape(first, last):
    """Raised cosine, 0 outside (first, last)."""
    shape = [0.0] * BANDS
    for k in range(first + 1, last):
        shape[k] = 0.5 - 0.5 * math.cos(2.0 * math.pi * (k - first) / (last - first))
    return shape


def normalised(curve, bump):
    def mean_at(a):
        return mean_power_db([c + a * b for c, b in zip(curve, bump)])
    lo, hi = -30.0, 30.0
    assert mean_at(lo) < 0.0 < mean_at(hi), "the bump cannot normalise this curve"
    for _ in range(200):
        mid = 0.5 * (lo + hi)
        if mean_at(mid) < 0.0:
            lo = mid
        else:
            hi = mid
    a = 0.5 * (lo + hi)
    return [c + a * b for c, b in zip(curve, bump)], a


def fmt(v):
    """The writer's number format: fixed, three decimals."""
    return f"{v:.3f}"


def check(target, curve_text, spread_text):
    name = target["name"]
    pins = PINNED[name]
    curve = [float(t) for t in curve_text]
    spread = [float(t) for t in spread_text]
    for k, v in pins["curve"].items():
        assert curve_text[k] == fmt(v), (name, "curve", k)
    for k, v in pins["spread"].items():
        assert spread_text[k] == fmt(v), (name, "spread", k)
    for key, values in (("max", curve), ("spread_max", spread)):
        if key in pins:
            k, v = pins[key]
            assert values[k] == v and all(x < v for i, x in enumerate(values) if i != k), (name, key)
    if "min" in pins:
        k, v = pins["min"]
        assert curve[k] == v and all(x > v for i, x in enumerate(curve) if i != k), (name, "min")
    assert all(s >= 0.0 and not t.startswith("-") for s, t in zip(spread, spread_text)), name
    assert abs(mean_power_db(curve)) <= 0.0005, (name, mean_power_db(curve))


def build(target):
    curve = pchip(target["curve"])
    first, last = target["bump"]
    pinned_bands = set(PINNED[target["name"]]["curve"])
    assert not any(first < k < last for k in pinned_bands), "the bump touches a pinned band"
    before_min, before_max = min(curve), max(curve)
    curve, amount = normalised(curve, bump_shape(first, last))
    inside = curve[first + 1:last]
    assert before_min < min(inside) and max(inside) < before_max, "the bump makes a new extreme"
    spread = [max(0.0, s) for s in pchip(target["spread"])]
    curve_text = [fmt(v) for v in curve]
    spread_text = [fmt(v) for v in spread]
    check(target, curve_text, spread_text)
    return curve_text, spread_text, amount


def literal_lines(key, values, per_line=12):
    pieces = []
    for i in range(0, len(values), per_line):
        chunk = " ".join(values[i:i + per_line])
        last = i + per_line >= len(values)
        prefix = key + "=" if i == 0 else ""
        pieces.append('    "' + prefix + chunk + ("\\n" if last else " ") + '"')
    return pieces


def source():
    lines = [
        "// Generated by engine/targets/factory_targets_generator.py: edit the generator, not",
        "// this file. The five factory targets as target-file texts.",
        '#include "engine/targets/target_files.h"',
        "",
        "namespace spectrapoise::offline {",
        "",
        "const std::array<std::string_view, 5> kFactoryTargetTexts = {",
    ]
    for target in TARGETS:
        curve_text, spread_text, amount = build(target)
        lines.append(f"    // {target['name']}: normalising bump {amount:+.4f} dB")
        lines.append('    "SpectraPoise target 1\\n"')
        lines.append(f'    "name={target["name"]}\\n"')
        lines.append('    "points=180\\n"')
        lines += literal_lines("curve", curve_text)
        body = literal_lines("spread", spread_text)
        body[-1] += ","
        lines += body
    lines += ["};", "", "}  // namespace spectrapoise::offline", ""]
    return "\n".join(lines)


def main(argv):
    text = source()
    if len(argv) == 3 and argv[1] == "--check":
        with open(argv[2], encoding="utf-8") as f:
            if f.read() != text:
                sys.stderr.write(argv[2] + " differs from the generator's output\n")
                return 1
        return 0
    if len(argv) == 2:
        with open(argv[1], "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        return 0
    if len(argv) == 1:
        sys.stdout.write(text)
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
