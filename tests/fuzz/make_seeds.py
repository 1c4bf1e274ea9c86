#!/usr/bin/env python3
"""Writes the seed inputs of the firmware fuzz targets into corpus/acpi_dump and
corpus/firmware_bytes. The seeds are kept in the repository; run this again only to change them.

acpi_dump seeds are acpidump text. firmware_bytes seeds are a flags byte followed by records
(area, offset, count, bytes) as firmware_bytes_fuzz.cpp reads them; the area numbers follow the
default board's layout (RSDT at 0xCFF80000, FADT 0xCFF80040, DSDT 0xCFF80230, ...).
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
        ("RSDP", 0xF0000, rsdp(rsdt_at)),
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


def write(folder, seeds, mode):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), mode) as f:
            f.write(data)


if __name__ == "__main__":
    write("acpi_dump", acpi_seeds(), "w")
    write("firmware_bytes", bytes_seeds(), "wb")
