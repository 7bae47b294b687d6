#!/usr/bin/env python3
"""Writes the data store fixtures of tests/data/store with an encoder of its own, so that the
program's reader and writer are checked against bytes they did not produce.

  empty.dat       the new, empty store (73 bytes)
  canonical.dat   a version-6 store as the program writes it: every value tag (0-11 and
                  unknown ones), texts with invalid CP932 bytes, a 300-byte name, date states
  v3.dat          a version-3 store (no display flags)
  v3_as_v6.dat    what v3.dat becomes when it is saved again
"""
import os
import struct

SIG = b"55FV56DF5FV-20051211-F55F6R44H4TGBDFV1VFD5"
UNSET = -99999999.0


def i32(v): return struct.pack("<i", v)
def f64(v): return struct.pack("<d", v)


def count(n):
    return struct.pack("<H", n) if n < 0xFFFF else struct.pack("<HI", 0xFFFF, n)


def text(b):
    if isinstance(b, str):
        b = b.encode("cp932")
    n = len(b)
    if n < 0xFF:
        p = bytes([n])
    elif n < 0xFFFE:
        p = b"\xff" + struct.pack("<H", n)
    else:
        p = b"\xff\xff\xff" + struct.pack("<I", n)
    return p + b


def value(tag, payload):
    if tag in (9, 11):
        return i32(tag) + text(payload)
    if isinstance(payload, float):
        payload = f64(payload)
    return i32(tag) + payload


def condition(c):
    return (i32(c["CabKind"]) + b"".join(f64(c[k]) for k in (
        "CurrentR", "CurrentS", "CurrentT", "ShisuZetuen", "CabSectionalArea", "CabLength"))
        + text(c["Weather"]) + b"".join(f64(c[k]) for k in (
            "Temperature", "Humidity", "SeikyokuMin", "SeikyokuMax", "JyakutenMin",
            "JyakutenMax", "LastCurrentMin", "LastCurrentMax"))
        + text(c["Remarks"]) + text(c["Shindan"]))


def record(r, v6):
    out = i32(r["UsedPoints"])
    if v6:
        out += i32(r.get("ShowSeikyoku", 1)) + i32(r.get("ShowJyakuten", 1))
    out += i32(r["status"]) + f64(r["date"])
    out += count(len(r["points"]))
    for t, tag, payload in r["points"]:
        out += f64(t) + value(tag, payload)
    out += count(len(r["triggers"]))
    for s, e, m in r["triggers"]:
        out += f64(s) + f64(e) + value(8, m)
    out += i32(r["DataNo"]) + i32(r["StatusFlag"]) + i32(r["RangeFlag"])
    for k in ("TestVoltage", "LastCurrent", "TriggerLevel", "SeikyokuRatio", "JyakutenRatio",
              "Reserved"):
        out += f64(r[k])
    return out + condition(r["Condition"])


def store(version, comm, customers):
    v6 = version == 6
    out = text(SIG) + i32(version) + b"".join(i32(v) for v in comm)
    out += count(len(customers))
    for cname, cables in customers:
        out += text(cname) + count(len(cables))
        for kname, sets in cables:
            out += text(kname) + count(len(sets))
            for sname, flags, records in sets:
                out += text(sname)
                if v6:
                    out += i32(flags[0]) + i32(flags[1])
                out += count(len(records))
                for r in records:
                    out += record(r, v6)
    return out


COND = dict(CabKind=2, CurrentR=0.5, CurrentS=0.25, CurrentT=0.125, ShisuZetuen=UNSET,
            CabSectionalArea=325.0, CabLength=1234.5, Weather="晴れ", Temperature=21.5,
            Humidity=55.0, SeikyokuMin=0.5, SeikyokuMax=1.0, JyakutenMin=1.0, JyakutenMax=5.0,
            LastCurrentMin=1.0, LastCurrentMax=10.0, Remarks="備考\r\n二行目",
            Shindan="直流漏れ電流法")


def series(n, start, decay):
    return [(0.2 * (i + 1), 8, start * (decay ** i)) for i in range(n)]


R1 = dict(UsedPoints=400, ShowSeikyoku=1, ShowJyakuten=0, status=0, date=38697.5,
          points=series(450, 40.0, 0.995), triggers=[(12.4, 13.0, 48.25), (20.0, 20.0, 7.5)],
          DataNo=17, StatusFlag=1, RangeFlag=1, TestVoltage=1.0, LastCurrent=5.4,
          TriggerLevel=5.5, SeikyokuRatio=1.2625, JyakutenRatio=0.75, Reserved=0.0,
          Condition=COND)

# Every tag once, with payload bytes that a numeric reading would not keep.
ALL_TAGS = [
    (0.2, 0, b"\x01\x02\x03\x04\x05\x06\x07\x08"),
    (0.4, 1, struct.pack("<hxxxxxx", -5)),
    (0.6, 2, struct.pack("<Hxxxxxx", 65535)),
    (0.8, 3, struct.pack("<i4x", -1)),
    (1.0, 4, struct.pack("<iI", -7, 0xDEADBEEF)),
    (1.2, 5, struct.pack("<Ii", 0xFFFFFFFF, 3)),
    (1.4, 6, struct.pack("<i4x", 123456)),
    (1.6, 7, struct.pack("<I4x", 4000000000)),
    (1.8, 8, 12.5),
    (2.0, 9, " 3.75e1xyz"),
    (2.2, 10, 38697.75),
    (2.4, 11, "ラベル"),
    (2.6, 12, b"\xff" * 8),
    (2.8, -1, b"\x00" * 7 + b"\x80"),
    (3.0, 0x7FFFFFFF, f64(float("nan"))),
    (3.2, 9, b"\x81\x20\xff"),  # not valid CP932, kept as bytes
    (3.4, 8, f64(float("-inf"))),
]
R2 = dict(UsedPoints=17, ShowSeikyoku=0, ShowJyakuten=1, status=1, date=0.0, points=ALL_TAGS,
          triggers=[], DataNo=-1, StatusFlag=0, RangeFlag=0, TestVoltage=2.0,
          LastCurrent=0.0, TriggerLevel=0.0, SeikyokuRatio=UNSET, JyakutenRatio=UNSET,
          Reserved=-0.0, Condition=COND)
R3 = dict(R1, status=2, date=12.0, DataNo=2147483647, TestVoltage=0.0, UsedPoints=0,
          points=[], triggers=[])

CUSTOMERS = [
    ("ABC電力", [
        ("Cable-1", [("2005年 定期", (1, 0), [R3, R1, R2])]),
        ("cable-2", []),
    ]),
    ("x" * 300, [("ｹｰﾌﾞﾙ", [])]),
    (b"\x81\x20bad", []),
    ("需要家", [("Ｃａｂｌｅ", [("ｄａｔａ", (0, 1), [])]), ("ｃａｂｌｅ", [])]),
]

V3_CUSTOMERS = [("Old", [("K", [("S", (1, 1), [R1, dict(R1, TestVoltage=2.0)])])])]
V3_AS_V6 = [("Old", [("K", [("S", (1, 1), [
    dict(R1, ShowSeikyoku=1, ShowJyakuten=1),
    dict(R1, TestVoltage=2.0, ShowSeikyoku=1, ShowJyakuten=1)])])])]

here = os.path.dirname(os.path.abspath(__file__))
files = {
    "empty.dat": store(6, [1, 38400, 8, 0, 0, 1], []),
    "canonical.dat": store(6, [3, 9600, 7, 2, 1, 0], CUSTOMERS),
    "v3.dat": store(3, [1, 38400, 8, 0, 0, 1], V3_CUSTOMERS),
    "v3_as_v6.dat": store(6, [1, 38400, 8, 0, 0, 1], V3_AS_V6),
}
assert len(files["empty.dat"]) == 73
for name, data in files.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
