#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target> (all but the ini loader's,
which are plain files kept by hand). The seeds are kept in the repository; run this again only
to change them.

acpi_dump seeds are acpidump text. firmware_bytes seeds are a flags byte followed by records
(area, offset, count, bytes) as firmware_bytes_fuzz.cpp reads them; the area numbers follow the
layout of the board the firmware targets run on (the default board with its root pointer at
0xE0400: RSDT at 0xCFF80000, FADT 0xCFF80040, DSDT 0xCFF80230, ...). driver_request seeds are
a board byte and operations as driver_request_fuzz.cpp reads them: the served requests with good
and bad records on each board, the retired and unknown codes, the life of file objects.
bitmap_decoder seeds are .bmp files and DIBs (two of them the skin's own buttons); string_table
seeds are RT_STRING blocks and VS_VERSIONINFO resources.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


# ---------------------------------------------------------------- ACPI tables and acpidump text

def checksum_fix(data, at, length=None):
    data = bytearray(data)
    length = len(data) if length is None else length
    data[at] = 0
    data[at] = (-sum(data[:length])) & 0xFF
    return bytes(data)


def table(sig, body=b"", length=None, revision=1):
    raw_length = 36 + len(body)
    header = struct.pack("<4sIBB6s8sI4sI", sig.encode(), length if length is not None else raw_length,
                         revision, 0, b"ZELKOR", b"ZVH61M  ", 1, b"ZLK ", 1)
    return checksum_fix(header + body, 9)


def rsdp(rsdt, revision=0, xsdt=0):
    head = struct.pack("<8sB6sBI", b"RSD PTR ", 0, b"ZELKOR", revision, rsdt)
    if revision == 0:
        return checksum_fix(head, 8)
    ext = head + struct.pack("<IQB3s", 36, xsdt, 0, b"\0\0\0")
    ext = checksum_fix(ext, 8, 20)
    return checksum_fix(ext, 32)


def rsdt(addresses, length=None):
    return table("RSDT", b"".join(struct.pack("<I", a) for a in addresses), length)


def xsdt(addresses):
    return table("XSDT", b"".join(struct.pack("<Q", a) for a in addresses))


def fadt(facs, dsdt, length=None):
    body = bytearray(116 - 36)
    struct.pack_into("<II", body, 0, facs, dsdt)
    struct.pack_into("<H", body, 46 - 36, 9)
    struct.pack_into("<I", body, 56 - 36, 0x800)
    struct.pack_into("<I", body, 76 - 36, 0x808)
    struct.pack_into("<I", body, 112 - 36, 0x100)
    return table("FACP", bytes(body), length)


def facs():
    return struct.pack("<4sI", b"FACS", 64) + bytes(56)


def madt(structures, length=None):
    return table("APIC", struct.pack("<II", 0xFEE00000, 1) + structures, length)


def ioapic(address, gsi, length=12):
    return struct.pack("<BBBBII", 1, length, 2, 0, address, gsi)[:max(length, 2)]


def ecdt(command=0x66, data=0x62):
    body = struct.pack("<BBBBQ", 1, 8, 0, 1, command) + struct.pack("<BBBBQ", 1, 8, 0, 1, data)
    return table("ECDT", body + struct.pack("<IB", 0, 0x10) + b"\\_SB.PCI0.EC0\0")


def dsdt(length=None, body=b"\x10\x05\x5c\x5f\x53\x42\x5f"):
    return table("DSDT", body, length)


def ssdt(length=None):
    return table("SSDT", b"\x10\x05\x5c\x5f\x53\x42\x5f", length)


def dump_text(tables):
    lines = []
    for sig, address, data in tables:
        lines.append("%s @ 0x%016X" % (sig, address))
        for offset in range(0, len(data), 16):
            chunk = data[offset:offset + 16]
            hexpart = " ".join("%02X" % b for b in chunk)
            text = "".join(chr(b) if 0x20 <= b < 0x7F else "." for b in chunk)
            lines.append("    %04X: %-47s  %s" % (offset, hexpart, text))
        lines.append("")
    return "\n".join(lines) + "\n"


def chain(rsdt_at=0x7FF00000, extra=None, fadt_bytes=None, dsdt_bytes=None, rsdt_bytes=None):
    """A complete small firmware: RSDP -> RSDT -> FADT/MADT/ECDT/SSDT, FADT -> FACS, DSDT."""
    fadt_at, facs_at, madt_at, ecdt_at, dsdt_at = (rsdt_at + 0x100, rsdt_at + 0x200,
                                                   rsdt_at + 0x300, rsdt_at + 0x400,
                                                   rsdt_at + 0x500)
    d = dsdt_bytes if dsdt_bytes is not None else dsdt()
    ssdt_at = (dsdt_at + len(d) + 15) & ~15
    tables = [
        ("RSDP", 0xE0000, rsdp(rsdt_at)),
        ("RSDT", rsdt_at, rsdt_bytes if rsdt_bytes is not None else
         rsdt([fadt_at, madt_at, ecdt_at, ssdt_at])),
        ("FACP", fadt_at, fadt_bytes if fadt_bytes is not None else fadt(facs_at, dsdt_at)),
        ("FACS", facs_at, facs()),
        ("APIC", madt_at, madt(ioapic(0xFEC00000, 0) + ioapic(0xFEC80000, 24))),
        ("ECDT", ecdt_at, ecdt()),
        ("DSDT", dsdt_at, d),
        ("SSDT", ssdt_at, ssdt()),
    ]
    return tables + (extra or [])


def acpi_seeds():
    base = 0x7FF00000
    seeds = {}
    seeds["valid_chain.txt"] = dump_text(chain())
    # What /sys/firmware/acpi/tables gives: no root pointer, no root table, every address 0.
    seeds["sysfs_no_addresses.txt"] = dump_text(
        [(s, 0, d) for s, a, d in chain() if s not in ("RSDP", "RSDT")])
    seeds["rsdp_revision2_xsdt.txt"] = dump_text(
        [("RSDP", 0xE0010, rsdp(base, 2, 0x100000000)), ("XSDT", 0x100000000, xsdt([base + 0x100]))]
        + [t for t in chain() if t[0] != "RSDP"])
    seeds["rsdt_lists_itself.txt"] = dump_text(
        chain(rsdt_bytes=rsdt([base, base + 0x100, base, base + 0x300])))
    seeds["fadt_points_at_itself.txt"] = dump_text(chain(fadt_bytes=fadt(base + 0x100, base + 0x100)))
    seeds["fadt_zero_pointers.txt"] = dump_text(chain(fadt_bytes=fadt(0, 0)))
    seeds["two_rsdts_cycle.txt"] = dump_text(
        chain(rsdt_bytes=rsdt([base + 0x100, base + 0x800]),
              extra=[("RSDT", base + 0x800, rsdt([base, base + 0x800]))]))
    seeds["length_zero.txt"] = dump_text(
        chain(rsdt_bytes=rsdt([base + 0x100, base + 0x300], length=0),
              dsdt_bytes=dsdt(length=0)))
    seeds["length_35.txt"] = dump_text(
        chain(rsdt_bytes=rsdt([base + 0x100], length=35), fadt_bytes=fadt(base + 0x200, base + 0x500,
                                                                         length=35)))
    seeds["length_ffffffff.txt"] = dump_text(chain(dsdt_bytes=dsdt(length=0xFFFFFFFF)))
    seeds["dsdt_4mib.txt"] = dump_text(chain(dsdt_bytes=dsdt(length=4 << 20)))
    seeds["madt_zero_structure.txt"] = dump_text(
        chain(extra=[("APIC", base + 0x300,
                      madt(ioapic(0xFEC00000, 0) + b"\x01\x00" + ioapic(0xFEC80000, 0)))]))
    seeds["madt_structure_past_end.txt"] = dump_text(
        chain(extra=[("APIC", base + 0x300, madt(ioapic(0xFEC00000, 0) + b"\x01\xF0\x00\x00"))]))
    seeds["dsdt_wraps_address_space.txt"] = dump_text(
        chain(fadt_bytes=fadt(base + 0x200, 0xFFFFFFF0)) + [("DSDT", 0xFFFFFFF0, dsdt())])
    text = dump_text(chain())
    cut = []
    for n, line in enumerate(text.splitlines()):
        if n % 7 == 3:
            line = line[:len(line) // 2]
        if n % 11 == 5:
            continue
        cut.append(line)
    seeds["truncated_hex_lines.txt"] = "\n".join(cut) + "\n"
    seeds["garbage_and_orphans.txt"] = (
        "    0000: 52 53 44 20\nnot a line\nDSDT @ 0xZZ\nSSDT @ 0x0\n  0000: 5\n"
        "FACP @ 0x00000000000E0000\n    0FF0: 01 02\n    0000: 46 41 43 50 10 00 00 00\n")
    return seeds


# --------------------------------------------------------------- records over the default board

AREA = {name: n for n, name in enumerate(
    ["RSDP", "RSDT", "FACP", "FACS", "DSDT", "SSDT", "APIC", "ECDT", "MCFG", "QVZX",
     "SM_ENTRY", "SM_TABLE", "E0000", "F0000", "100000"])}
FIX = 0x80
RSDT_AT, FACP_AT, DSDT_AT, SSDT_AT = 0xCFF80000, 0xCFF80040, 0xCFF80230, 0xCFF80280


def rec(area, offset, data, fix=False):
    out = b""
    for at in range(0, len(data), 255):
        piece = data[at:at + 255]
        out += struct.pack("<BHB", AREA[area] | (FIX if fix and at == 0 else 0), offset + at,
                           len(piece)) + piece
    return out


def u32(value):
    return struct.pack("<I", value)


def u16(value):
    return struct.pack("<H", value)


def bytes_seeds():
    seeds = {}
    seeds["default_board.bin"] = b"\x00"
    seeds["windows98_log_on.bin"] = b"\x03"
    seeds["no_ssdt_search.bin"] = b"\x04"
    seeds["rsdt_length_ffffffff.bin"] = b"\x00" + rec("RSDT", 4, u32(0xFFFFFFFF))
    seeds["rsdt_length_35.bin"] = b"\x00" + rec("RSDT", 4, u32(35))
    seeds["rsdt_length_0.bin"] = b"\x00" + rec("RSDT", 4, u32(0))
    seeds["rsdt_lists_itself.bin"] = b"\x00" + rec("RSDT", 36, u32(RSDT_AT) + u32(RSDT_AT))
    seeds["fadt_points_at_itself.bin"] = b"\x00" + rec("FACP", 36, u32(FACP_AT) + u32(FACP_AT))
    seeds["fadt_dsdt_zero.bin"] = b"\x00" + rec("FACP", 36, u32(0) + u32(0))
    seeds["fadt_length_35.bin"] = b"\x00" + rec("FACP", 4, u32(35))
    seeds["dsdt_length_4mib.bin"] = b"\x00" + rec("DSDT", 4, u32(4 << 20))
    seeds["dsdt_length_wraps.bin"] = b"\x00" + rec("DSDT", 4, u32(0xFFFFFFFF - DSDT_AT + 0x100))
    ssdts = b""
    for n in range(1, 12):
        ssdts += rec("DSDT", 0x50 + 16 * n, b"SSDT" + u32((4 << 20) - 16 * n))
    seeds["ssdt_candidates_huge.bin"] = b"\x00" + ssdts
    seeds["ssdt_valid_copy.bin"] = b"\x00" + rec(
        "DSDT", 0x100, table("SSDT", b"\x10\x05\x5c\x5f\x53\x42\x5f"), fix=True)
    seeds["madt_zero_structure.bin"] = b"\x00" + rec("APIC", 44, b"\x01\x00\x00\x00")
    seeds["madt_length_44.bin"] = b"\x00" + rec("APIC", 4, u32(44))
    seeds["rsdp_points_high.bin"] = b"\x00" + rec("RSDP", 16, u32(0xFFFFFFF0), fix=True)
    seeds["rsdp_revision2_length_huge.bin"] = b"\x00" + rec(
        "RSDP", 15, b"\x02" + u32(RSDT_AT) + u32(0xFFFFFFFF), fix=True)
    anchors = b""
    for n in range(32):
        anchors += rec("E0000", 16 * n, b"RSD PTR ")
    seeds["rsdp_anchors_bad_checksum.bin"] = b"\x00" + anchors
    sm = b""
    for n in range(32):
        sm += rec("F0000", 16 * n, b"_SM_")
    seeds["smbios_anchors_bad_checksum.bin"] = b"\x00" + sm
    seeds["smbios_table_ffff.bin"] = b"\x00" + rec("SM_ENTRY", 0x16, u16(0xFFFF), fix=True)
    seeds["smbios_table_high.bin"] = b"\x00" + rec("SM_ENTRY", 0x16, u16(0x200) + u32(0xFFFFFF80),
                                                   fix=True)
    seeds["smbios_length_0.bin"] = b"\x00" + rec("SM_TABLE", 0, b"\x02\x00\x00\x00")
    seeds["smbios_endless_strings.bin"] = b"\x00" + rec("SM_TABLE", 0x80, b"\x41" * 0x45)
    seeds["smbios_short_baseboard.bin"] = b"\x00" + rec("SM_TABLE", 0x82, b"\x02\x04\x00\x00\x01")
    seeds["smbios_entry_beyond_1mib.bin"] = b"\x00" + rec("SM_ENTRY", 0, b"\xFF" * 4) + rec(
        "100000", 0x200, b"_SM_" + bytes(0x12) + u16(0xC5) + u32(0xCFF60000) + bytes(3), fix=True)
    return seeds


# ------------------------------------------------------------------- driver requests

# The boards driver_request_fuzz.cpp chooses from, and where it aims (FirmwareOracle's order:
# the control byte, the BIOS area, the ACPI tables as the board placed them, the SMBIOS entry
# point and table where the BIOS area holds their anchor, the PCI Express window).
DEFAULT, PAGE_MAP, NO_LEGACY, NO_PROVIDER = 0, 1, 2, 3
CONTROL, BIOS, RSDP, RSDT, FACP, FACS, APIC, ECDT, MCFG, QVZX, DSDT, SSDT = range(12)
SM_ENTRY, SM_TABLE, WINDOW = 12, 13, 14
WINDOW_NO_LEGACY = 12
READ, RANGES, CONTROL_BYTE = 0xA20, 0xA21, 0xA22
PCI_BYTE, PCI_WORD, PCI_DWORD = 0xA0A, 0xA0C, 0xA0E
READ_ACCESS, WRITE_ACCESS = 1, 2
ACCESS = {READ: READ_ACCESS, RANGES: READ_ACCESS, CONTROL_BYTE: WRITE_ACCESS, PCI_BYTE: READ_ACCESS,
          PCI_WORD: READ_ACCESS, PCI_DWORD: READ_ACCESS}
RETIRED = list(range(0xA00, 0xA08)) + list(range(0xA0A, 0xA12)) + list(range(0xA14, 0xA1E))


def op(kind, f=0):
    return bytes([(kind << 2) | f])


def create(f=0):
    return op(4, f)


def cleanup(f=0):
    return op(5, f)


def close(f=0):
    return op(6, f)


def other(f=0):
    return op(7, f)


def length(n):
    """The 16-bit field that gives the length n (see driver_request_fuzz.cpp)."""
    if n < 0x241:
        return n
    if n < 0x4000:
        return 0x8000 | n
    assert 0xFF00 <= n <= 0x100FF
    return 0xC000 | (n - 0xFF00)


def ioctl(function, data=b"", out=0, f=0, access=None, in_len=None, aim=None, code=None):
    """A device-control request: the function (0xA00-0xA3F) with the access it declares (the
    served one unless given), or a raw 32-bit code; aim = (pick, offset[, length delta])."""
    access = ACCESS.get(function, 0) if access is None else access
    flags = (1 if code is not None else 0) | (2 if aim else 0) | (4 if aim and len(aim) > 2 else 0)
    head = op(0, f) + bytes([(function - 0xA00) & 0x3F | (access << 6), flags])
    if code is not None:
        head += struct.pack("<I", code)
    if aim:
        head += struct.pack("<Bh", aim[0], aim[1])
        if len(aim) > 2:
            head += struct.pack("<b", aim[2])
    in_len = len(data) if in_len is None else in_len
    lengths = struct.pack("<HH", length(in_len), length(out))
    return head + lengths + data + bytes(max(0, in_len - len(data)))


def raw(code, data=b"", out=0):
    return ioctl(0xA00, data, out, code=code)


def read(physical, size, out=None, aim=None):
    return ioctl(READ, struct.pack("<QI", physical, size), size if out is None else out, aim=aim)


def read_at(pick, offset=0, size=16, delta=None):
    """A read aimed at a firmware range: its start plus offset, size bytes (or the range's length
    plus delta)."""
    aim = (pick, offset) if delta is None else (pick, offset, delta)
    out = size if delta is None else 0x241 - 1
    return read(0, size, out, aim)


def control(set_bits, clear_bits, offset=0, physical=None):
    record = struct.pack("<QBBBB", physical or 0, set_bits, clear_bits, 0, 0)
    return ioctl(CONTROL_BYTE, record, 12, aim=None if physical is not None else (CONTROL, offset))


def pci(width_function, bus, device, function, offset, in_len=12, out=12):
    record = struct.pack("<BBBBHHI", bus, device, function, 0, offset, 0, 0)
    return ioctl(width_function, record[:in_len], out, in_len=in_len)


def ranges(out):
    return ioctl(RANGES, b"", out)


def driver_seeds():
    seeds = {}
    around = lambda body, board=DEFAULT: bytes([board]) + create() + body + cleanup() + close()
    seeds["pci.bin"] = around(
        pci(PCI_DWORD, 0, 0, 0, 0) + pci(PCI_WORD, 0, 0, 0, 2) + pci(PCI_BYTE, 0, 2, 0, 0x2D) +
        pci(PCI_DWORD, 0, 0, 0, 0xFC) + pci(PCI_DWORD, 0, 5, 0, 0) + pci(PCI_DWORD, 1, 0, 0, 0) +
        pci(PCI_DWORD, 0, 32, 0, 0) + pci(PCI_DWORD, 0, 0, 8, 0) + pci(PCI_DWORD, 0, 0, 0, 0xFD) +
        pci(PCI_WORD, 0, 0, 0, 0xFF) + pci(PCI_DWORD, 0, 0, 0, 0x100) +
        pci(PCI_DWORD, 0, 0, 0, 0, in_len=11) + pci(PCI_BYTE, 0, 0, 0, 0, out=11))
    seeds["reads.bin"] = around(
        read(0xE0000, 0x10000) + read(0xF0000, 0x10000) + read(0xFFFF0, 0x10) +
        read_at(RSDT, size=0x3C) + read_at(SSDT, delta=0) + read_at(SM_TABLE, delta=0) +
        read_at(WINDOW, size=4) + read_at(WINDOW, 0x7000, 0x1000) + read(0xEFFFF000, 0x1000))
    seeds["reads_refused.bin"] = around(
        read(0x7C00, 16) + read(0x100000, 16) + read(0xFFFF0, 32) + read(0xC0000, 16) +
        read(0x100000000, 16) + read(0xF0000000, 4) + read(0xFED00000, 4) +
        read_at(SSDT, delta=1) + read_at(SSDT, 0x32, 16) + read_at(FACS, -4, 8) +
        read(0xE0000, 0) + read(0xE0000, 0x10001) + read(0xFFFFFFFFFFFFFFF0, 0x20) +
        read(0xE0000, 16, out=15) + ioctl(READ, struct.pack("<QI", 0xE0000, 16)[:11], 16))
    seeds["ranges.bin"] = around(ranges(8) + ranges(24) + ranges(0x200) + ranges(7) +
                                 ioctl(RANGES, bytes(16), 0x40))
    seeds["control_byte.bin"] = around(
        control(0x08, 0) + control(0x04, 0x01) + control(0, 0x0C) + control(0x10, 0) +
        control(0x20, 0) + control(0, 0x80) + control(0x04, 0x04) + control(0x08, 0, offset=1) +
        control(0x08, 0, offset=-1) + control(0x08, 0, physical=0xCFF80300) +
        ioctl(CONTROL_BYTE, bytes(11), 12) + ioctl(CONTROL_BYTE, bytes(12), 11))
    seeds["page_granular_map.bin"] = around(
        read_at(SSDT, delta=0) + read_at(SSDT, delta=0x7F) + read(0xCFF802B0, 0x10) +
        read(0xCFF81000, 16) + read_at(SM_TABLE, delta=0) + ranges(0x100) + control(0x08, 0),
        PAGE_MAP)
    for name, board in (("no_legacy_copies.bin", NO_LEGACY), ("no_provider.bin", NO_PROVIDER)):
        seeds[name] = around(
            ranges(0x100) + read_at(RSDT, size=0x3C) + read_at(QVZX, delta=0) +
            read_at(DSDT, delta=0) + read_at(WINDOW_NO_LEGACY, size=4) + read(0xF6A40, 20) +
            control(0x08, 0) + control(0, 0x08), board)
    seeds["retired_codes.bin"] = around(
        b"".join(ioctl(function, bytes(16), 16, access=0) for function in RETIRED) +
        ioctl(0xA00, bytes(16), 16, access=1) + ioctl(0xA03, bytes(16), 16, access=2))
    seeds["served_codes_other_access.bin"] = around(
        ioctl(READ, struct.pack("<QI", 0xE0000, 16), 16, access=0) +
        ioctl(READ, struct.pack("<QI", 0xE0000, 16), 16, access=2) +
        ioctl(RANGES, b"", 0x40, access=3) + ioctl(CONTROL_BYTE, bytes(12), 12, access=1) +
        ioctl(PCI_DWORD, bytes(12), 12, access=0) + ioctl(0xA08, bytes(16), 16) +
        ioctl(0xA23, bytes(16), 16, access=1) + ioctl(0xA3F, bytes(16), 16, access=3))
    seeds["unknown_codes.bin"] = around(
        raw(0, bytes(4), 4) + raw(0xFFFFFFFF, bytes(16), 16) + raw(0x00226880 | 1, bytes(12), 16) +
        raw(0x00126880, bytes(12), 16) + raw(0x00222800, bytes(4), 4) +
        raw(0x00226829, bytes(12), 12))
    seeds["lifecycle.bin"] = (
        bytes([DEFAULT]) + create(0) + create(1) + ioctl(RANGES, b"", 0x40, f=1) +
        cleanup(1) + ioctl(RANGES, b"", 0x40, f=1) + other(1) + close(1) +
        create(1) + ioctl(READ, struct.pack("<QI", 0xF0000, 16), 16, f=1) + other(0) +
        cleanup(0) + close(0) + create(0) + create(2) + create(3))
    return seeds


# --------------------------------------------------------------------------------- bitmaps

def bmp_dib(width, height, bits, pixels, palette=b"", header_size=40, compression=0):
    header = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, compression,
                         len(pixels), 2835, 2835, len(palette) // 4, 0)
    return header + bytes(header_size - 40) + palette + pixels


def bmp_file(dib, gap=0, header_size=40, palette_size=0):
    offset = 14 + header_size + palette_size + gap
    dib = dib[:header_size + palette_size] + bytes(gap) + dib[header_size + palette_size:]
    return b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, offset) + dib


def rows(width, height, bits, colour):
    stride = (width * bits + 31) // 32 * 4
    data = b""
    for y in range(height):
        row = b"".join(colour(x, y) + (b"\0" if bits == 32 else b"") for x in range(width))
        data += row + bytes(stride - len(row))
    return data


def bitmap_seeds():
    seeds = {}
    skin = os.path.join(HERE, "..", "..", "resources", "skin")
    for name in ("Bt_fast_1.bmp", "Bt_close_1.bmp"):
        with open(os.path.join(skin, name), "rb") as f:
            seeds["skin_" + name.lower()] = f.read()
    blue, white = b"\xFF\x00\x00", b"\xFF\xFF\xFF"
    checker = lambda x, y: blue if (x + y) % 2 else white
    seeds["checker_3x2_24bit.bmp"] = bmp_file(bmp_dib(3, 2, 24, rows(3, 2, 24, checker)))
    seeds["runs_5x3_32bit_top_down.bmp"] = bmp_file(
        bmp_dib(5, -3, 32, rows(5, 3, 32, lambda x, y: blue if 1 <= x <= 3 - y % 2 else white)), 0)
    palette = b"\x00\x00\x00\x00\xFF\xFF\xFF\x00"
    seeds["palette_and_gap_2x2.bmp"] = bmp_file(
        bmp_dib(2, 2, 24, rows(2, 2, 24, checker), palette), gap=6, palette_size=8)
    seeds["v5_header_1x1.bmp"] = bmp_file(bmp_dib(1, 1, 24, rows(1, 1, 24, checker),
                                                  header_size=124), header_size=124)
    seeds["resource_dib_4x1.dib"] = bmp_dib(4, 1, 24, rows(4, 1, 24, lambda x, y: blue))
    seeds["8bit_refused.bmp"] = bmp_file(bmp_dib(2, 2, 8, bytes(8), bytes(1024)), palette_size=1024)
    seeds["rle_refused.bmp"] = bmp_file(bmp_dib(2, 2, 24, rows(2, 2, 24, checker), compression=1))
    return seeds


# ----------------------------------------------------------------------------- string tables

CHINESE_TEXTS = ["Zelkor科技Velmora", "无法设置电源计划！", "无法创建电源计划！", "无法启动Velmora功能！",
                 "欲使用此功能，您必须安装所有设备的驱动程序。", "欲使用此功能，您必须启动休眠功能。",
                 "功能表错误，您可能需要更新系统的 BIOS。", "此应用程序不能使用于此平台！", "Velmora", "退出"]


def string_block(entries):
    """Sixteen entries: each a list of UTF-16 code units, or a str."""
    out = b""
    for n in range(16):
        entry = entries[n] if n < len(entries) else []
        if isinstance(entry, str):
            units = struct.unpack("<%dH" % (len(entry.encode("utf-16-le")) // 2),
                                  entry.encode("utf-16-le"))
        else:
            units = entry
        out += struct.pack("<H", len(units)) + struct.pack("<%dH" % len(units), *units)
    return out


def version_resource(ms, ls):
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    head_len = 6 + len(key)
    pad = bytes((4 - head_len % 4) % 4)
    fixed = struct.pack("<13I", 0xFEEF04BD, 0x10000, ms, ls, ms, ls, 0x3F, 0, 4, 1, 0, 0, 0)
    body = key + pad + fixed
    return struct.pack("<HHH", 6 + len(body), len(fixed), 0) + body


def string_seeds():
    seeds = {}
    seeds["chinese_texts.bin"] = string_block([[]] + CHINESE_TEXTS)
    seeds["surrogates.bin"] = string_block([[], [0xD83D, 0xDE00, 0x41], [0xD800], [0xDC00, 0x42],
                                            [0xDE00, 0xD83D], [0x0000, 0x0043], [0xFFFF, 0xFFFE]])
    seeds["truncated.bin"] = string_block([[]] + CHINESE_TEXTS)[:60]
    seeds["counts_past_the_end.bin"] = struct.pack("<HHH", 0, 0x7FFF, 0x41)
    seeds["version_1_2_3_4.bin"] = version_resource(0x00010002, 0x00030004)
    seeds["version_2_0.bin"] = version_resource(0x00020000, 0)
    seeds["version_bad_signature.bin"] = version_resource(0x00010000, 0)[:40] + b"\0\0\0\0" + \
        version_resource(0x00010000, 0)[44:]
    return seeds


def write(folder, seeds, mode):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), mode) as f:
            f.write(data)


if __name__ == "__main__":
    write("acpi_dump", acpi_seeds(), "w")
    write("firmware_bytes", bytes_seeds(), "wb")
    write("driver_request", driver_seeds(), "wb")
    write("bitmap_decoder", bitmap_seeds(), "wb")
    write("string_table", string_seeds(), "wb")
