#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/ and the
reproducers of findings fixed before the fuzz targets existed into fuzz/regressions/.

The format parsers get slices of the fixture images (boot sectors, folder clusters, index
blocks, allocation tables); the whole-engine target gets the small fixture images in the
sparse form its harness reads. Fixtures are unpacked from tests/data/*.img.xz in memory.
Run it again after a fixture changes: scripts/fuzz-seeds.py
"""
import hashlib
import lzma
import pathlib
import struct
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
DATA = ROOT / "tests" / "data"
CORPUS = ROOT / "fuzz" / "corpus"
REGRESSIONS = ROOT / "fuzz" / "regressions"
BLOCK = 4096


def fixture(name):
    return bytearray(lzma.decompress((DATA / (name + ".img.xz")).read_bytes()))


def write(folder, name, data):
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(bytes(data))


def seed(target, name, data):
    write(CORPUS / target, name, data)


def sparse(image):
    """The engine target's sparse form: runs of 4 KiB blocks that hold anything but
    zeros, or the 0xFF fill of an NTFS log file, which the engine never reads."""
    out = bytearray(b"BRVIMG01" + struct.pack("<Q", len(image)))
    empty, fill = bytes(BLOCK), b"\xff" * BLOCK
    at = 0
    while at < len(image):
        block = image[at:at + BLOCK]
        if block == empty[:len(block)] or block == fill[:len(block)]:
            at += BLOCK
            continue
        start = at
        while at < len(image) and image[at:at + BLOCK] not in (empty, fill):
            at += BLOCK
        run = image[start:min(at, len(image))]
        out += struct.pack("<QI", start, len(run)) + run
    return out


# --- FAT -----------------------------------------------------------------------------------

def fat_geometry(image):
    sector, per_cluster, reserved, fats, root_entries = struct.unpack_from("<HBHBH", image, 11)
    fat_size = struct.unpack_from("<H", image, 22)[0] or struct.unpack_from("<I", image, 36)[0]
    root_sectors = (root_entries * 32 + sector - 1) // sector
    first_data = (reserved + fats * fat_size + root_sectors) * sector
    return sector * per_cluster, first_data, reserved * sector, fat_size * sector


def fat_clusters(image):
    cluster_size, first_data, _, _ = fat_geometry(image)
    count = (len(image) - first_data) // cluster_size
    for n in range(count):
        at = first_data + n * cluster_size
        yield n + 2, image[at:at + cluster_size]


def fat_seeds():
    for name in ("fat12", "fat16", "fat32-folders"):
        image = fixture(name)
        cluster_size, first_data, table, table_size = fat_geometry(image)
        size_code = {512: 0, 1024: 1, 2048: 2, 4096: 3}.get(cluster_size)
        heads = [(n, c) for n, c in fat_clusters(image) if c[:2] == b". " or c[:1] == b"\xe5" and c[11] == 0x10]
        named = [(n, c) for n, c in fat_clusters(image) if any(c[i + 11] == 0x0F for i in range(0, len(c), 32))]
        for n, content in (heads[:3] + named[:3]):
            seed("fat_directory", f"{name}-cluster{n}", struct.pack("<I", n) + content)
        if size_code is not None and heads:
            first = heads[0][0]
            run = b"".join(c for _, c in list(fat_clusters(image))[first - 2:first - 2 + 12])
            if first - 2 < 256:
                seed("fat_chain_rebuild", f"{name}-from{first}", bytes([size_code, first - 2]) + run)
        seed("boot_sector", name, image[:1024])
        width = 12 if name == "fat12" else (16 if name == "fat16" else 32)
        kind = {12: 1, 16: 2, 32: 3}[width]
        header = bytes([0]) + struct.pack("<I", 4000)[:3] + struct.pack("<HH", 0, 600) + bytes([kind])
        seed("allocation_map", f"{name}-table", header + image[table:table + min(table_size, 2048)])
    # The rebuild over folders the fixture deleted on purpose.
    image = fixture("fat32-folders")
    cluster_size, _, _, _ = fat_geometry(image)
    clusters = [c for _, c in fat_clusters(image)][:40]
    seed("fat_chain_rebuild", "fat32-folders-all", bytes([0, 0]) + b"".join(clusters))


# --- exFAT ---------------------------------------------------------------------------------

def exfat_geometry(image):
    fat_offset, fat_length, heap, count, root = struct.unpack_from("<IIIII", image, 0x50)
    sector = 1 << image[0x6C]
    cluster = sector << image[0x6D]
    return fat_offset * sector, heap * sector, cluster, count, root


def exfat_seeds():
    for name in ("exfat", "exfat-cases"):
        image = fixture(name)
        fat, heap, cluster, count, root = exfat_geometry(image)
        seed("boot_sector", name, image[:1024])
        used = [n for n in range(2, min(count, 2048) + 2)
                if image[heap + (n - 2) * cluster] in (0x85, 0x05, 0x83, 0x81, 0x82, 0xC0, 0xC1, 0x40, 0x41)]
        for n in [root] + [u for u in used if u != root][:4]:
            at = heap + (n - 2) * cluster
            seed("exfat_entry_set", f"{name}-cluster{n}", image[at:at + cluster])
        size_code = {512: 0, 1024: 1, 2048: 2, 4096: 3}.get(cluster)
        if size_code is not None:
            # Folders: the root and the first clusters of the first few other folders.
            folders = [root] + [u for u in used if u != root][:3]
            header = bytearray([size_code])
            for n in folders + [0] * (4 - len(folders)):
                header += bytes([max(0, n - 2) & 0xFF]) + struct.pack("<H", 4)
            header += bytes([root - 2, root - 1, 0, 1])
            last = max(folders) + 4
            run = image[heap:heap + (last - 1) * cluster]
            seed("exfat_chain_rebuild", name, header + run)
        bitmap = image[heap:heap + 512]
        header = bytes([2]) + struct.pack("<I", min(count, 0x3FFFF))[:3] + struct.pack("<HH", 0, 700) + bytes([0])
        seed("allocation_map", f"{name}-bitmap", header + bitmap)


# --- NTFS ----------------------------------------------------------------------------------

def fixups(record, stride=512):
    usa, count = struct.unpack_from("<HH", record, 4)
    for i in range(1, count):
        end = i * stride - 2
        if end + 2 <= len(record):
            record[end:end + 2] = record[usa + 2 * i:usa + 2 * i + 2]
    return record


def ntfs_seeds():
    for name in ("ntfs", "ntfs-index-names"):
        image = fixture(name)
        seed("boot_sector", name, image[:1024])
        cluster = struct.unpack_from("<H", image, 11)[0] * image[13]
        mft = struct.unpack_from("<Q", image, 0x30)[0] * cluster
        record = fixups(bytearray(image[mft + 5 * 1024:mft + 6 * 1024]))
        sequence = struct.unpack_from("<H", record, 16)[0]
        folder = struct.pack("<Q", 5)[:6] + struct.pack("<H", sequence)
        offset = struct.unpack_from("<H", record, 20)[0]
        while offset + 8 <= len(record):
            kind, length = struct.unpack_from("<II", record, offset)
            if kind == 0xFFFFFFFF or length < 8:
                break
            if kind == 0x90:
                content_length, content_offset = struct.unpack_from("<IH", record, offset + 16)
                root = record[offset + content_offset:offset + content_offset + content_length]
                seed("ntfs_index", f"{name}-root", bytes([0]) + folder + bytes([0, 0, 0, 0]) + root)
            offset += length
        blocks = 0
        for at in range(0, len(image) - BLOCK, BLOCK):
            if image[at:at + 4] != b"INDX" or blocks >= 3:
                continue
            block = image[at:at + BLOCK]
            first = 0x18 + struct.unpack_from("<I", block, 0x18)[0]
            parent = bytearray(fixups(bytearray(block))[first + 16:first + 24])
            owner = parent[:6] + parent[6:8]
            seed("ntfs_index", f"{name}-indx{at // BLOCK}", bytes([1]) + owner + bytes([0, 0, 0, 0]) + block)
            seed("ntfs_index", f"{name}-alloc{at // BLOCK}",
                 bytes([2]) + owner + bytes([0, 0, 0x10, 1, 0x01]) + block)
            blocks += 1
        # File records as they lie on disk (update sequence in place), the cluster count first.
        clusters = struct.unpack_from("<Q", image, 0x28)[0] // image[13]
        for number in range(24, 48, 3):
            record = image[mft + number * 1024:mft + (number + 1) * 1024]
            if record[:4] == b"FILE":
                seed("mft_record", f"{name}-{number}", struct.pack("<I", clusters) + record)
        # The first MFT records, as an allocation map would take the $Bitmap after them.
        header = bytes([0]) + struct.pack("<I", 16383 // 8)[:3] + struct.pack("<HH", 0, 900) + bytes([0])
        seed("allocation_map", f"{name}-records", header + image[mft:mft + 512])


# --- The whole engine ----------------------------------------------------------------------

def mbr_image():
    """A partition table with one FAT12 volume from sector 64."""
    volume = fixture("fat12")[:256 * 1024]
    mbr = bytearray(512)
    mbr[0x1BE:0x1BE + 16] = bytes([0, 0, 0, 0, 0x01, 0, 0, 0]) + struct.pack("<II", 64, len(volume) // 512)
    mbr[510:512] = b"\x55\xaa"
    return mbr + bytes(63 * 512) + volume


def crc32(data):
    return zlib.crc32(bytes(data)) & 0xFFFFFFFF


def engine_seeds():
    for name in ("fat12", "fat16", "fat16-fat-loop", "fat16-zeroed-boot", "fat32-folders", "exfat-cases",
                 "exfat-rating", "ntfs-orphans", "ntfs-reused-folder", "ntfs-index-names"):
        seed("engine_image", name, sparse(fixture(name)))
    seed("engine_image", "mbr-fat12", sparse(mbr_image()))

    # The findings of tests/engine/TestEngineHostileImages.cpp, made the same way.
    out = REGRESSIONS / "engine_image"
    image = fixture("ntfs-orphans")
    struct.pack_into("<Q", image, 40, 0x7FFFFFFFFFFFFFFF)
    write(out, "ntfs-huge-sector-count", sparse(image))

    image = fixture("ntfs-orphans")
    for at in range(0, len(image) - 1024, 1024):
        if image[at:at + 4] != b"FILE" or struct.unpack_from("<I", image, at + 44)[0] < 64:
            continue
        offset = struct.unpack_from("<H", image, at + 20)[0]
        while offset + 8 <= 1024:
            kind, length = struct.unpack_from("<II", image, at + offset)
            if kind == 0xFFFFFFFF or length < 8 or offset + length > 1024:
                break
            if kind == 0x30:
                struct.pack_into("<I", image, at + offset, 0x40000030)
            offset += length
    write(out, "ntfs-unknown-attribute-types", sparse(image))

    image = fixture("ntfs-orphans")
    cluster = struct.unpack_from("<H", image, 11)[0] * image[13]
    mft = struct.unpack_from("<Q", image, 0x30)[0] * cluster
    offset = struct.unpack_from("<H", image, mft + 20)[0]
    while offset + 0x40 <= 1024:
        kind, length = struct.unpack_from("<II", image, mft + offset)
        if kind == 0xFFFFFFFF or length < 8:
            break
        if kind == 0x80 and image[mft + offset + 8] == 1:
            for field in (0x28, 0x30, 0x38):
                value = struct.unpack_from("<Q", image, mft + offset + field)[0] + (1 << 40)
                struct.pack_into("<Q", image, mft + offset + field, value)
            break
        offset += length
    write(out, "ntfs-raised-mft-size", sparse(image))

    # A GPT header claiming 0xFFFFFFFF entries, on an 8 MiB image (the size the harness caps).
    image = fixture("fat16")[:8 * 1024 * 1024]
    sectors = len(image) // 512
    image[0x1BE + 4] = 0xEE
    struct.pack_into("<II", image, 0x1BE + 8, 1, sectors - 1)
    header = bytearray(92)
    header[0:8] = b"EFI PART"
    struct.pack_into("<IIIIQQQQ", header, 8, 0x00010000, 92, 0, 0, 1, sectors - 1, 34, sectors - 34)
    struct.pack_into("<QII", header, 72, 2, 0xFFFFFFFF, 128)
    struct.pack_into("<I", header, 16, crc32(header))
    image[512:512 + 92] = header
    write(out, "gpt-billions-of-entries", sparse(image))


# --- Text inputs ---------------------------------------------------------------------------

def text_seeds():
    for lng in sorted((ROOT / "lang").glob("*.lng")):
        seed("language_file", lng.stem, lng.read_bytes())
    seed("language_file", "sections", b"; comment\r\n[Main]\r\nA=%1 of %2\r\n[main]\rb = %s and %5d\n"
         b"a=second\nno equals\n[Other]\n=empty key\nkey=\x00after nul\n")
    seed("language_file", "cp1252", b"[MainForm]\nMainForm.Caption=Caf\xe9 %1\n")

    seed("registry_store", "typed",
         b"; settings\n[\\Software\\Tollmark\\Brevant Professional\\Global]\n"
         b"\"Language\"=\"Dutch\"\n\"Path\"=expand:\"%HOME%\\\\x\"\n\"Count\"=dword:0000002a\n"
         b"\"Blob\"=hex:01,02,ff\n\"Other\"=hex(7):61,00\n\"Quote\\\"d\"=\"a\\\\b\"\n")
    seed("registry_store", "damaged",
         b"[\\A\\B]\r\n\"x\"=dword:zz\n\"y\"=hex:1\n[bad\n\"z\"=\"lost\"\n[\\A\\b]\n\"X\"=\"case\"\n"
         b"#comment\n[\\\x01control]\n\"v\"=\"w\"\n")

    seed("mask", "suffix", b"*.txt\x00README.TXT")
    seed("mask", "sets", b"[a-c]*?.d[!o]c\x00back.dxc")
    seed("mask", "stars", b"*a*a*a*a*b\x00aaaaaaaaaaaaaaaaab")
    seed("mask", "unclosed", b"[!\x00x")
    seed("mask", "utf16", b"\xff" + "*\U0001F600?[\u0100-\u0200]\x00x\U0001F600y\u0150".encode("utf-16-le"))


def main():
    fat_seeds()
    exfat_seeds()
    ntfs_seeds()
    engine_seeds()
    text_seeds()
    total = sum(p.stat().st_size for p in CORPUS.rglob("*") if p.is_file())
    print(f"{sum(1 for p in CORPUS.rglob('*') if p.is_file())} seeds, {total // 1024} KiB")


if __name__ == "__main__":
    main()
