#!/usr/bin/env python3
"""Generator of the calculation-mode-5 example (run from this folder).

Reads the example dataset ../lists/vt-ds3x.txt and writes
  ds-emex.txt  annotated dataset: 24 of its end-members with their values;
               sd(H) from the dataset's covariance; the simple oxides, the
               fluids and calcite held by direct calorimetry (sd(H) < 99), the
               rest free (sd(H) 100);
  ds-xpex.txt  experiments file: per free end-member two oxide-calorimetry
               rows made from the dataset's enthalpies, one measured at
               298.15 K and one at 973.15 K (reduced by the heat content,
               computed here independently of the program), with errors of
               +d and -d, so that a fit must give back the dataset's
               enthalpies exactly while its residual variance is not zero;
               one entry kept out of the fit (code 2); then explicit
               reactions with brackets 10 degrees C either side of
               temperatures given in EQUILIBRIA below, fitted with the
               calorimetry (one of them at x(CO2) = 0.5, where the fluid
               end-member's activity is 1 - x(CO2) or x(CO2)); last the
               experiment groups of GROUPS among the phases of ds-axex.txt.
The other files of the example (ds-prefs.txt, ds-scr4lsq.txt, ds-axex.txt,
answers.txt) are written by hand.
"""
import math
from fractions import Fraction

DATASET = "../lists/vt-ds3x.txt"

HELD = ["q", "cor", "per", "ru", "H2O", "CO2", "cc", "ab"]
FREE = ["coe", "ky", "sill", "and", "dsp", "prl", "kao", "arag", "dol", "mag", "wo",
        "fo", "en", "di", "py", "gr", "an", "br", "sph", "qL"]
DESCR = {"q": "quartz", "cor": "corundum", "per": "periclase", "ru": "rutile",
         "H2O": "water fluid", "CO2": "carbon dioxide", "cc": "calcite", "coe": "coesite",
         "ky": "kyanite", "sill": "sillimanite", "and": "andalusite", "dsp": "diaspore",
         "prl": "pyrophyllite", "kao": "kaolinite", "arag": "aragonite", "dol": "dolomite",
         "mag": "magnesite", "wo": "wollastonite", "fo": "forsterite", "en": "enstatite",
         "di": "diopside", "py": "pyrope", "gr": "grossular", "an": "anorthite",
         "br": "brucite", "sph": "sphene", "qL": "silica liquid", "ab": "albite"}
# Element codes: 1 Si, 2 Ti, 3 Al, 5 Mg, 7 Ca, 10 O, 11 H, 12 C.
OXIDE_OF = {1: ("q", 1), 3: ("cor", Fraction(1, 2)), 5: ("per", 1), 2: ("ru", 1),
            11: ("H2O", Fraction(1, 2))}
T_HIGH = 973.15
SD_ROW = 0.40
ERR = 0.20
# Explicit reactions (name: coefficient) with a pressure (kbar), the
# temperature (degrees C, rounded) at which the example dataset's end-member
# Gibbs energies make the reaction's Delta G + RT ln K zero there, as the
# program computes them in calculation mode 5 (Pitzer-Sterner H2O and CO2,
# non-ideal mixing of the two), and the fluid's x(CO2); the brackets lie 10
# degrees C either side. The test of the example checks that they do.
EQUILIBRIA = [
    ({"ky": -1, "sill": 1}, 6.0, 618, 0),
    ({"ky": -1, "and": 1}, 2.0, 350, 0),
    ({"and": -1, "sill": 1}, 2.0, 743, 0),
    ({"dsp": -2, "cor": 1, "H2O": 1}, 5.0, 430, 0),
    ({"br": -1, "per": 1, "H2O": 1}, 2.0, 655, 0),
    ({"br": -1, "per": 1, "H2O": 1}, 2.0, 590, 0.5),
    ({"mag": -1, "per": 1, "CO2": 1}, 2.0, 779, 0.5),
]
# Experiment groups among the phases of the a-x file ds-axex.txt: the header
# (phases and end-members), the reactions (name: coefficient), a pressure
# (kbar), the compositions of the phases in list order (x(gt) = Ca/(Ca + Mg)
# of the garnet, ca(pl) = Ca/(Ca + Na) of the plagioclase) and the
# temperature (degrees C, rounded) at which the example dataset puts the
# equilibrium at these compositions, as the program computes it (the
# calculated position of the group); the brackets lie 10 degrees C either
# side. Garnet-plagioclase-kyanite-quartz: gr + 2ky + q = 3an, with
# a(gr) = x(gt)^3 and a(an) = ca(pl).
GROUPS = [
    ("gt pl ky q", [{"gr": -1, "ky": -2, "q": -1, "an": 3}], 10.0, [0.3, 0.5], 562),
]


def read_dataset(path):
    words = open(path).read().split("\n")
    ntp = int(words[0].split()[0])
    lines = words[3:]
    ems = {}
    order = []
    for k in range(ntp):
        l1, l2, l3, l4 = lines[4 * k:4 * k + 4]
        w = l1.split()
        name, nsite = w[0], int(w[1])
        comp = []
        i = 2
        while int(w[i]) != 0:
            comp.append((int(w[i]), float(w[i + 1])))
            i += 2
        h, s, v = map(float, l2.split())
        cpa, cpb, cpc, cpd = map(float, l3.split())
        n4 = l4.split()
        alpha0, k0, k0p, k0pp = map(float, n4[:4])
        j = 4
        dkdt = 0.0
        if name.endswith("L"):
            dkdt = float(n4[j]); j += 1
        code = int(n4[j]); j += 1
        rest = [float(x) for x in n4[j:]]
        ems[name] = dict(name=name, nsite=nsite, comp=comp, h=h, s=s, v=v, cpa=cpa, cpb=cpb,
                         cpc=cpc, cpd=cpd, alpha0=alpha0, k0=k0, k0p=k0p, k0pp=k0pp, dkdt=dkdt,
                         code=code, rest=rest)
        order.append(name)
    rest = "\n".join(lines[4 * ntp:]).split()
    cov = [float(x) for x in rest[1:1 + ntp * (ntp + 1) // 2]]
    idx = 0
    for i, a in enumerate(order):
        for j in range(i, ntp):
            if j == i:
                ems[a]["sdcov"] = math.sqrt(cov[idx])
            idx += 1
    return ems


def heat_content(e, t):
    """H(t) - H(298.15) at 1 bar: Cp integral and the Landau term of the
    end-member Gibbs energy (q = sqrt(1 - T/Tc) below Tc, 0 above)."""
    t0 = 298.15
    dh = e["cpa"] * (t - t0) + 0.5 * e["cpb"] * (t * t - t0 * t0) - e["cpc"] * (1 / t - 1 / t0) \
        + 2 * e["cpd"] * (math.sqrt(t) - math.sqrt(t0))
    if e["code"] == 1:
        tc, smax = e["rest"][0], e["rest"][1]
        q0 = math.sqrt(1 - t0 / tc)
        q = math.sqrt(1 - t / tc) if t < tc else 0.0
        dh += smax * tc * ((q0 - q) - (q0 ** 3 - q ** 3) / 3)
    return dh


def formation(e):
    """Integer coefficients of em = sum of held oxides (em positive)."""
    el = {}
    for code, x in e["comp"]:
        el[code] = el.get(code, 0) + Fraction(x).limit_denominator(100)
    parts = {}
    ca = el.pop(7, 0)
    c = el.pop(12, 0)
    if ca:
        parts["cc"] = ca
    if c - ca:
        parts["CO2"] = c - ca
    el.pop(10, None)
    for code, x in el.items():
        ox, f = OXIDE_OF[code]
        parts[ox] = parts.get(ox, 0) + x * f
    m = 1
    for x in parts.values():
        m = m * Fraction(x).denominator // math.gcd(m, Fraction(x).denominator)
    coef = {e["name"]: m}
    for ox, x in parts.items():
        coef[ox] = -int(x * m)
    return coef


def num(x, w, d):
    s = f"{x:.{d}f}"
    return (" " + s) if len(s) >= w else s.rjust(w)


def annotated_entry(e):
    code = {0: 1, 1: 2, 2: 4, -1: 3}[e["code"]]
    held = e["name"] in HELD
    sdh = max(round(e["sdcov"], 2), 0.01) if held else 100
    natom = sum(x for _, x in e["comp"])
    out = [e["name"].ljust(8) + " " + DESCR[e["name"]],
           "  " + "".join(f"{c:2d}{num(x, 8, 2)}   " for c, x in e["comp"]) + "  0",
           f"{e['nsite']:4d}{int(round(natom)):4d}",
           num(e["h"], 10, 2) + (num(sdh, 8, 2) if held else "     100") + f"{code:4d}" + " " * 28 +
           ("% direct calorimetry (sd from the dataset covariance)" if held else "% free"),
           num(e["s"], 10, 5) + num(0, 10, 5) + " " * 30 + "% S",
           num(e["v"], 10, 4) + " " * 40 + "% V",
           num(e["cpa"], 9, 4) + num(e["cpb"], 15, 9) + num(e["cpc"], 10, 1) + num(e["cpd"], 10, 4)
           + "      % Cp",
           num(e["alpha0"], 12, 7) + " " * 38 + "% alpha0",
           num(e["k0"], 9, 2) + num(e["k0p"], 6, 2) + num(e["k0pp"], 10, 4)
           + (num(e["dkdt"], 10, 5) + " " * 15 if e["name"].endswith("L") else " " * 25) + "% kappa"]
    r = e["rest"]
    if code == 2:
        out.append(f"{int(round(r[0])):6d}" + num(r[1], 9, 5) + num(r[2], 8, 4) + " " * 27 + "% Landau")
    elif code == 4:
        out.append(num(r[0], 7, 2) + num(r[1], 7, 4) + num(r[2], 7, 2) + num(r[3], 7, 4)
                   + f"{int(r[4]):6d}" + num(r[5], 7, 2) + " " * 9 + "% Bragg-Williams")
    return "\n".join(out) + "\n\n"


def main():
    ems = read_dataset(DATASET)
    names = HELD + FREE
    with open("ds-emex.txt", "w") as f:
        f.write("5    % layout mode of the refitted dataset\n")
        f.write("% end-members of vt-ds3x.txt, made by make_example.py\n")
        for n in names:
            f.write(annotated_entry(ems[n]))
        f.write("*\n")
    with open("ds-xpex.txt", "w") as f:
        f.write("% oxide calorimetry: code, names / coefficients, H(cal), sd, T (K)\n")
        for i, n in enumerate(FREE):
            coef = formation(ems[n])
            if n == "qL":
                coef = {"qL": 1, "q": -1}
            h298 = -sum(c * ems[m]["h"] for m, c in coef.items())
            temps = [298.15, 298.15] if ems[n]["code"] == 2 or n == "qL" else [298.15, T_HIGH]
            for t, err in zip(temps, (ERR, -ERR)):
                hcal = h298 + err
                if t > 298.2:
                    hcal -= sum(c * heat_content(ems[m], t) for m, c in coef.items())
                f.write("1 " + " ".join(coef) + "\n")
                f.write("  " + " ".join(str(c) for c in coef.values())
                        + f"   {hcal:.4f}  {SD_ROW:.2f}  {t:.2f}\n")
            if i == 0:
                f.write("% kept out of the fit\n2 coe q\n  1 -1   5.0000  0.40  298.15\n")
        f.write("0\n\n% experiments: code, names / coefficients, weight factor / activities, reference\n"
                "% / brackets: code (0 reactants grew, 1 products grew), P (kbar), T (C), x(CO2)\n")
        for coef, p, tc, xco2 in EQUILIBRIA:
            f.write("1 " + " ".join(coef) + "\n")
            f.write("  " + " ".join(str(c) for c in coef.values()) + "  1\n")
            f.write("  ".join("1" for _ in coef) + "   example\n")
            x = f"{xco2:g}"
            f.write(f"0  {p:.1f}  {tc - 10}  {x}\n1  {p:.1f}  {tc + 10}  {x}\n-1\n")
        f.write("% groups: code, phases and end-members, variance / number of reactions, weight\n"
                "% factor, reference / per reaction its names, then its coefficients / brackets\n"
                "% with the compositional variables of the phases\n")
        for header, reactions, p, xyz, tc in GROUPS:
            f.write(f"1 {header} univariant\n{len(reactions)}  1   example group\n")
            for coef in reactions:
                f.write(" ".join(coef) + "\n  " + " ".join(str(c) for c in coef.values()) + "\n")
            comps = "  ".join(f"{x:g}" for x in xyz)
            f.write(f"0  {p:.1f}  {tc - 10}  0  {comps}\n1  {p:.1f}  {tc + 10}  0  {comps}\n-1\n")
        f.write("0\n")


if __name__ == "__main__":
    main()
