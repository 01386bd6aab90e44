"""Pictures of what the launcher shows: a virtual X display for Wine's X11
driver, and the bench driver's BMP captures turned into PNG files."""
import contextlib
import os
import struct
import subprocess
import zlib

# Wine draws every window, frame included, inside one desktop window of this
# size, like a Windows screen, rather than leaving frames to a window manager.
DESKTOP_SIZE = "800x600"


@contextlib.contextmanager
def virtual_display():
    """Runs Xvfb on a free display number and yields its DISPLAY value."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", DESKTOP_SIZE + "x24",
         "-nolisten", "tcp"],
        pass_fds=[write_end], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        with os.fdopen(read_end) as reader:
            number = reader.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        yield f":{number}"
    finally:
        xvfb.terminate()
        xvfb.wait(10)


def x11_registry():
    """Registry values that make a prefix draw through X11 in a virtual desktop."""
    return {r"HKEY_CURRENT_USER\Software\Wine\Drivers": {"Graphics": "x11"},
            r"HKEY_CURRENT_USER\Software\Wine\Explorer": {"Desktop": "Default"},
            r"HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops": {"Default": DESKTOP_SIZE}}


def read_bmp(path):
    """(width, height, rows of RGB bytes) of an uncompressed 24-bit BMP."""
    data = path.read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert data[:2] == b"BM" and bits == 24, f"{path}: not a 24-bit BMP"
    stride = (width * 3 + 3) & ~3
    rows = []
    for row in range(abs(height)):
        bgr = data[offset + row * stride:offset + row * stride + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    if height > 0:  # stored bottom-up
        rows.reverse()
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    pixels = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels)
                     + chunk(b"IEND", b""))


def bmp_to_png(bmp, png):
    write_png(png, *read_bmp(bmp))
