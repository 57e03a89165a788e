"""How the report shows a figure."""


def to_ms(b, key):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b[key] * scale


def verdict(ok):
    return "met" if ok else "**missed**"


def fmt(x, digits=1):
    return "n/a" if x is None else ("%.*f" % (digits, x))
