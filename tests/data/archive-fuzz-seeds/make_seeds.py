#!/usr/bin/env python3
# Writes the seed archives of the archive fuzz target (tests/fuzz/archive_fuzzer.cpp), which the
# test suite also replays (tst_takeout_archives). Run from this folder; the output is fixed.
import io, os, random, tarfile, zipfile

CAL = (b"BEGIN:VCALENDAR\r\nPRODID:-//Google Inc//Google Calendar 70.9054//EN\r\nVERSION:2.0\r\n"
       b"BEGIN:VEVENT\r\nUID:seed@google.com\r\nSUMMARY:Seed\r\nDTSTART:20240301T090000Z\r\n"
       b"END:VEVENT\r\nEND:VCALENDAR\r\n")
T = 1700000000
rng = random.Random(18)
noise = bytes(rng.choice(b"0123456789abcdef") for _ in range(400 * 1024))

def zinfo(name, mode=0o100644):
    info = zipfile.ZipInfo(name, date_time=(2023, 11, 14, 22, 13, 20))
    info.external_attr = mode << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info

def write_zip(path, members):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        for name, data, *mode in members:
            z.writestr(zinfo(name, *mode), data)
    open(path, "wb").write(buf.getvalue())
    return buf.getvalue()

def tar_bytes(members, mode="w", fmt=tarfile.PAX_FORMAT, encoding="utf-8"):
    buf = io.BytesIO()
    with tarfile.open(fileobj=buf, mode=mode, format=fmt, encoding=encoding) as t:
        for name, data, *kind in members:
            info = tarfile.TarInfo(name)
            info.mtime = T
            if kind and kind[0] in (tarfile.SYMTYPE, tarfile.LNKTYPE):
                info.type = kind[0]; info.linkname = data
                t.addfile(info)
            elif kind and kind[0] in (tarfile.DIRTYPE, tarfile.FIFOTYPE):
                info.type = kind[0]
                t.addfile(info)
            else:
                info.size = len(data)
                t.addfile(info, io.BytesIO(data))
    return buf.getvalue()

good = [("Takeout/Calendar/a.ics", CAL), ("Takeout/Drive/x.txt", b"not a calendar")]
write_zip("good.zip", good)
open("good.tgz", "wb").write(tar_bytes(good, "w:gz"))
open("good.tar", "wb").write(tar_bytes(good))
big = [("Takeout/Calendar/a.ics", CAL), ("Takeout/Calendar/noise.ics", noise), ("Takeout/Calendar/z.ics", CAL)]
z = write_zip("truncated.zip", big); open("truncated.zip", "wb").write(z[: len(z) * 3 // 5])
t = tar_bytes(big, "w:gz"); open("truncated.tgz", "wb").write(t[: len(t) * 3 // 5])
slip = [("../evil.ics", CAL), ("/abs/evil.ics", CAL), ("Takeout/Calendar/../../evil2.ics", CAL),
        ("./Takeout//Calendar/./ok.ics", CAL)]
write_zip("zipslip.zip", slip)
open("zipslip.tar", "wb").write(tar_bytes(slip, fmt=tarfile.GNU_FORMAT))
links = [("Takeout/Calendar/link.ics", "../../../etc/passwd", tarfile.SYMTYPE),
         ("Takeout/Calendar/d", "/tmp", tarfile.SYMTYPE),
         ("Takeout/Calendar/d/evil.ics", CAL),
         ("Takeout/Calendar/a.ics", CAL),
         ("Takeout/Calendar/hard.ics", "Takeout/Calendar/a.ics", tarfile.LNKTYPE),
         ("Takeout/Calendar/fifo.ics", b"", tarfile.FIFOTYPE),
         ("Takeout/Calendar/x.ics", b"", tarfile.DIRTYPE),
         ("Takeout/Calendar/x.ics/inner.ics", CAL)]
open("links.tar", "wb").write(tar_bytes(links, fmt=tarfile.GNU_FORMAT))
write_zip("zip_symlink.zip", [("Takeout/Calendar/link.ics", b"/etc/passwd", 0o120777), ("Takeout/Calendar/a.ics", CAL)])
write_zip("bomb.zip", [("Takeout/Calendar/bomb.ics", bytes(2 << 20)), ("Takeout/Calendar/a.ics", CAL)])
open("bomb_total.tgz", "wb").write(tar_bytes([("Takeout/Calendar/b%d.ics" % i, bytes((1 << 20) - 1)) for i in range(5)], "w:gz"))
open("latin1.tar", "wb").write(tar_bytes([("Takeout/Calendar/caf\xe9.ics", CAL)], fmt=tarfile.GNU_FORMAT, encoding="latin-1"))
write_zip("duplicate.zip", [("Takeout/Calendar/a.ics", CAL), ("Takeout/Calendar/a.ics", CAL + b"X")])
open("garbage.zip", "wb").write(bytes(rng.getrandbits(8) for _ in range(512)))
