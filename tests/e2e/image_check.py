"""An independent reader of update images, for the whole-program tests.

It shares no code with the program: hashlib recomputes every digest and
Python's lzma module decodes every compressed region chunk by chunk.
"""
import hashlib
import lzma
import struct

HEADER_SIZE = 136
DATA_START = 156
CHUNK = 16 * 1024 * 1024
MAGIC = b"MMM\x00"
PROPERTIES = bytes([0x5D, 0x00, 0x40, 0x00, 0x00])


class Partition:
    def __init__(self, content, compressed, start=0, size=0xFFFFFFFF):
        self.content = content
        self.compressed = compressed
        self.start = start
        self.size = size


def decode_region(region):
    """The original bytes of a compressed region, checking that its streams
    end exactly where the region ends."""
    assert region[:5] == PROPERTIES, region[:5].hex()
    (total,) = struct.unpack_from("<Q", region, 5)
    rest = region[13:]
    out = bytearray()
    chunk_count = total // CHUNK + 1
    for k in range(chunk_count):
        length = min(CHUNK, total - CHUNK * k)
        # Each stream becomes a .lzma file of its own with its chunk's length.
        decoder = lzma.LZMADecompressor(format=lzma.FORMAT_ALONE)
        data = decoder.decompress(PROPERTIES + struct.pack("<Q", length) + rest)
        assert decoder.eof, f"chunk {k} did not end"
        assert len(data) == length, (k, len(data), length)
        out += data
        rest = decoder.unused_data
    assert rest == b"", f"{len(rest)} bytes after the last stream"
    return bytes(out)


def check_image(image, partitions):
    """Asserts that `image` is exactly the image of `partitions`."""
    assert image[:4] == MAGIC, image[:4].hex()
    count, = struct.unpack_from("<I", image, 4)
    assert count == len(partitions), (count, len(partitions))
    assert hashlib.sha1(image[:HEADER_SIZE]).digest() == image[HEADER_SIZE:DATA_START]
    offset = DATA_START
    for i in range(4):
        entry = struct.unpack_from("<8I", image, 8 + 32 * i)
        if i >= len(partitions):
            assert entry == (0,) * 8, (i, entry)
            continue
        p = partitions[i]
        data_offset, start, length, size, digest_offset, digest_length, compressed, reserved = entry
        assert data_offset == offset, (i, data_offset, offset)
        assert (start, size) == (p.start, p.size), (i, start, size)
        assert digest_offset == data_offset + length and digest_length == 20
        assert compressed == (1 if p.compressed else 0) and reserved == 0
        region = image[data_offset:digest_offset]
        assert len(region) == length
        assert hashlib.sha1(region).digest() == image[digest_offset:digest_offset + 20]
        original = decode_region(region) if p.compressed else region
        assert original == p.content, f"partition {i} differs from its file"
        offset = digest_offset + 20
    assert len(image) == offset, (len(image), offset)
