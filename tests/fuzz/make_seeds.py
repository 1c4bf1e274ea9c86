#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target> (all but the ini loader's,
which are plain files kept by hand). The seeds are kept in the repository; run this again only
to change them.

acpi_dump seeds are acpidump text. firmware_bytes seeds are a flags byte followed by records
(area, offset, count, bytes) as firmware_bytes_fuzz.cpp reads them; the area numbers follow the
layout of the board the firmware targets run on (the default board with its root pointer at
0xE0400: RSDT at 0xCFF80000, FADT 0xCFF80040, DSDT 0xCFF80230, ...). driver_request seeds are
a machine byte and operations as driver_request_fuzz.cpp reads them, one or a few of each
request the driver serves. bitmap_decoder seeds are .bmp files and DIBs (two of them the skin's
own buttons); string_table seeds are RT_STRING blocks and VS_VERSIONINFO resources.
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

# Where driver_request_fuzz.cpp plugs its devices in.
PM_TIMER, PRIMARY, SECONDARY, ABAR = 0x808, 0x1F0, 0x170, 0xF7F00000
INTEL, AMD, INTEL_GUEST, AMD_GUEST, LONG_MODE = 0, 1, 2, 3, 4


def create(f=0):
    return bytes([(4 << 2) | f])


def cleanup(f=0):
    return bytes([(5 << 2) | f])


def close(f=0):
    return bytes([(6 << 2) | f])


def special(what, f=0):
    return bytes([(7 << 2) | f | (what << 5)])


OTHER_PROCESS, FIRST_PROCESS, OTHER_REQUEST = 0, 1, 2


def ioctl(function, data=b"", out=0, f=0, in_len=None, previous_map=None, selector=None):
    """A device-control request of the function (0xA00-0xA1F), or of a raw code selector."""
    if selector is None:
        selector = function - 0xA00
    flags = 1 if previous_map is not None else 0
    head = bytes([f, selector, flags])
    if previous_map is not None:
        head += bytes([previous_map & 0xFF])
    in_len = len(data) if in_len is None else in_len
    return head + struct.pack("<HH", in_len, out) + data + bytes(max(0, in_len - len(data)))


def raw_code(code, data=b"", out=0):
    return bytes([0, 0xFF]) + struct.pack("<I", code) + bytes([0]) + struct.pack(
        "<HH", len(data), out) + data


def map_req(physical, length, out=16):
    return ioctl(0xA00, struct.pack("<IIII", physical & 0xFFFFFFFF, physical >> 32, length, 0), out)


def unmap_previous(delta=0):
    return ioctl(0xA01, bytes(4), 0, previous_map=delta)


def pci(bus, device, function, offset, value=0):
    return struct.pack("<BBBBHHI", bus, device, function, 0, offset, 0, value)


def msr(number, value=0):
    return struct.pack("<IIII", value & 0xFFFFFFFF, 0, number, value >> 32)


def interval(msr_number, microseconds, timer=PM_TIMER, wide=0):
    return struct.pack("<IIIIHH", msr_number, microseconds, 0, 0, timer, wide)


def driver_seeds():
    seeds = {}
    around = lambda body, config=INTEL: bytes([config]) + create() + body + cleanup() + close()
    seeds["map_unmap.bin"] = around(map_req(0xE0000, 0x100) + unmap_previous())
    seeds["map_unmap_inside_view.bin"] = around(map_req(0xF0480, 0x1F) + unmap_previous(0x10))
    seeds["map_ram_refused.bin"] = around(map_req(0x10000000, 0x100) + map_req(0x9F000, 0x2000))
    seeds["map_left_for_cleanup.bin"] = around(map_req(0xCFF80000, 0x1000) +
                                               map_req(0xE0000000, 0x10000))
    seeds["map_lengths.bin"] = around(map_req(0xE0000, 0) + map_req(0xE0000, 0x10001) +
                                      map_req(0xFFFFFFFFFFFFFF00, 0x200) +
                                      map_req(0xE0000, 0x100, out=8) +
                                      ioctl(0xA00, bytes(8), 16))
    seeds["unmap_unknown.bin"] = around(ioctl(0xA01, struct.pack("<I", 0x20000000)) +
                                        ioctl(0xA01, b"\0\0"))
    seeds["ports.bin"] = around(
        ioctl(0xA02, struct.pack("<H", PM_TIMER), 8) + ioctl(0xA04, struct.pack("<H", 0x1F7), 8) +
        ioctl(0xA06, struct.pack("<H", PM_TIMER), 8) +
        ioctl(0xA03, struct.pack("<HHB", 0x80, 0, 0x55)) +
        ioctl(0xA05, struct.pack("<HHH", 0x80, 0, 0x1234)) +
        ioctl(0xA07, struct.pack("<HHI", 0x80, 0, 0x12345678)) +
        ioctl(0xA06, struct.pack("<H", 0xCFC), 0x40))
    seeds["pci.bin"] = around(
        ioctl(0xA0A, pci(0, 31, 0, 0), 12) + ioctl(0xA0C, pci(0, 31, 0, 2), 12) +
        ioctl(0xA0E, pci(0, 0, 0, 8), 12) + ioctl(0xA0E, pci(0, 0x21, 9, 0), 12) +
        ioctl(0xA0B, pci(0, 31, 0, 0x40, 0x80)[:9]) + ioctl(0xA0D, pci(0, 31, 0, 0x40, 0x1)[:10]) +
        ioctl(0xA0F, pci(0, 2, 0, 0x10, 0xFFFFFFFF)) + ioctl(0xA0E, pci(0, 0, 0, 0x100), 12) +
        ioctl(0xA0E, pci(0, 0, 0, 0x1000), 12) +
        ioctl(0xA1B, pci(0, 0, 0, 0)[:3] + b"\x01" + pci(0, 0, 0, 0)[4:] +
              pci(0, 31, 3, 0x20)[:3] + b"\x02" + pci(0, 31, 3, 0x20, 0xEFA0)[4:], 24))
    seeds["pci_amd_extended.bin"] = around(
        ioctl(0xA10, msr(0xC001001F)[:12], 16) +
        ioctl(0xA11, msr(0xC001001F, 1 << 46)) + ioctl(0xA0E, pci(0, 0, 0, 0x100), 12) +
        ioctl(0xA1B, pci(0, 0, 0, 0x104)[:3] + b"\x01" + pci(0, 0, 0, 0x104)[4:] + bytes(12), 24),
        AMD)
    seeds["processor.bin"] = around(
        ioctl(0xA10, msr(0x10)[:12], 16) + ioctl(0xA11, msr(0x186, 0x43003C)) +
        ioctl(0xA10, msr(0xC1)[:12], 16) + ioctl(0xA17, b"", 8) +
        ioctl(0xA18, struct.pack("<I", 0), 16) + ioctl(0xA18, struct.pack("<I", 0x40000001), 16) +
        b"".join(ioctl(0xA19, struct.pack("<I", n), 16) for n in (0, 2, 3, 4, 8, 5)) +
        ioctl(0xA1A, struct.pack("<III", 0, 0, 0x80000011)))
    seeds["processor_64bit_amd.bin"] = around(
        ioctl(0xA19, struct.pack("<I", 8), 16) + ioctl(0xA10, msr(0xC0010004)[:12], 16) +
        ioctl(0xA11, msr(0xC0010000, 0x430076)) + ioctl(0xA18, struct.pack("<I", 6), 16),
        AMD | LONG_MODE)
    seeds["processor_guest.bin"] = around(
        ioctl(0xA10, msr(0x186)[:12], 16) + ioctl(0xA11, msr(0x186, 0x43003C)) +
        ioctl(0xA18, struct.pack("<I", 0), 16) + ioctl(0xA1C, interval(0, 100), 32), INTEL_GUEST)
    seeds["processor_amd_guest.bin"] = around(
        ioctl(0xA10, msr(0xC0010000)[:12], 16) + ioctl(0xA1D, interval(0, 100), 32), AMD_GUEST)
    seeds["intervals.bin"] = around(
        ioctl(0xA15, interval(0x10, 1000), 32) + ioctl(0xA15, interval(0x10, 1000001), 32) +
        ioctl(0xA1C, interval(0, 500, wide=1), 32) + ioctl(0xA15, interval(0x10, 10)[:20], 32))
    seeds["intervals_amd.bin"] = around(ioctl(0xA1D, interval(0, 2000), 32), AMD)
    seeds["ata_legacy.bin"] = around(
        ioctl(0xA14, struct.pack("<HB", PRIMARY, 0xA0), 0x204) +
        ioctl(0xA14, struct.pack("<HB", SECONDARY, 0xB0), 0x204) +
        ioctl(0xA14, struct.pack("<HB", SECONDARY, 0xA0), 0x204) +
        ioctl(0xA14, struct.pack("<HB", 0x3F0, 0xA0), 0x204))
    # Two AHCI identify requests an input at most (the target sends no more).
    ahci = lambda abar, port: ioctl(0xA16, struct.pack("<IB", abar, port), 0x208)
    seeds["ahci_disk_and_packet.bin"] = around(ahci(ABAR, 0) + ahci(ABAR, 1))
    seeds["ahci_busy_and_empty.bin"] = around(ahci(ABAR, 2) + ahci(ABAR, 7))
    seeds["ahci_bad_port_and_base.bin"] = around(ahci(ABAR, 40) + ahci(0x10000000, 0))
    seeds["lifecycle.bin"] = (bytes([INTEL]) + create(0) + create(1) + map_req(0xE0000, 0x100)[:0] +
                              bytes([1]) + map_req(0xE0000, 0x100)[1:] + cleanup(1) +
                              bytes([1]) + map_req(0xE0000, 0x100)[1:] + special(OTHER_REQUEST, 1) +
                              close(1) + create(1) + bytes([1]) + map_req(0xF0000, 0x100)[1:] +
                              cleanup(0) + close(0))
    seeds["two_processes.bin"] = (bytes([INTEL]) + create() + map_req(0xE0000, 0x100) +
                                  special(OTHER_PROCESS) + map_req(0xF0000, 0x100) +
                                  unmap_previous() + map_req(0xF0000, 0x100) + cleanup() +
                                  special(FIRST_PROCESS) + close())
    seeds["unknown_codes.bin"] = around(
        b"".join(ioctl(0, bytes(16), 16, selector=n) for n in (0x08, 0x09, 0x12, 0x13, 0x1E, 0x1F,
                                                               0x20, 0x21, 0x22, 0x23, 0x30, 0x80)) +
        raw_code(0, bytes(4), 4) + raw_code(0xFFFFFFFF, bytes(16), 16) +
        raw_code(0x00222800 | 3, bytes(16), 16))
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
