"""Reads what Windows will see in a built .exe or .dll: its machine, imports, exports and
resources. Imports and exports come from the cross binutils' objdump, resources from icoutils'
wrestool; the resource formats (version, dialog, icon) are decoded here."""

import functools
import re
import struct
import subprocess

RT_ICON = 3
RT_DIALOG = 5
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24


class BuiltFile:
    def __init__(self, path, objdump, wrestool):
        self.path = path
        self.objdump = objdump
        self.wrestool = wrestool

    @functools.cached_property
    def headers(self):
        """objdump's account of the PE headers, read once and only by the checks that need it."""
        return subprocess.run([self.objdump, "-p", self.path], check=True, capture_output=True,
                              text=True).stdout

    def file_format(self):
        """'pei-i386' or 'pei-x86-64'."""
        match = re.search(r"file format (\S+)", self.headers)
        return match.group(1) if match else None

    def imports(self):
        """{dll name: [imported names]} from the import tables."""
        result = {}
        current = None
        for line in self.headers.splitlines():
            dll = re.match(r"\s*DLL Name: (\S+)", line)
            if dll:
                current = result.setdefault(dll.group(1), [])
                continue
            if current is None:
                continue
            if not line.strip():
                current = None
                continue
            name = re.match(r"\s*[0-9a-fA-F]+\s+\d+\s+(\S+)\s*$", line)
            if name:
                current.append(name.group(1))
        return result

    def exports(self):
        """Exported names, from the name pointer table."""
        table = self.headers.split("[Ordinal/Name Pointer] Table", 1)
        if len(table) < 2:
            return []
        names = []
        for line in table[1].splitlines()[1:]:
            entry = re.match(r"\s*\[\s*\d+\] (\S+)", line)
            if not entry:
                break
            names.append(entry.group(1))
        return names

    def resource_names(self, resource_type):
        listing = subprocess.run([self.wrestool, "-l", f"--type={resource_type}", self.path],
                                 check=True, capture_output=True, text=True).stdout
        return [int(n) for n in re.findall(r"--name=(\d+)", listing)]

    def resource(self, resource_type, name):
        """The raw bytes of one resource, or None."""
        data = subprocess.run([self.wrestool, "-x", "--raw", f"--type={resource_type}",
                               f"--name={name}", self.path],
                              check=True, capture_output=True).stdout
        return data or None


def _utf16z(data, offset):
    """A zero-terminated UTF-16 string and the offset past its terminator."""
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def _align4(offset):
    return (offset + 3) & ~3


def parse_version(data):
    """VS_VERSIONINFO: (fixed file info dict, {block key: {name: value}}, translations)."""

    def block(offset):
        length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
        key, pos = _utf16z(data, offset + 6)
        pos = _align4(pos)
        size = value_length * 2 if value_type == 1 else value_length
        value = data[pos:pos + size]
        if value_type == 1:
            value = value.decode("utf-16-le").rstrip("\0")
        children = []
        pos = _align4(pos + size)
        while pos < offset + length:
            child, pos = block(pos)
            children.append(child)
            pos = _align4(pos)
        return (key, value, children), offset + length

    (key, fixed, children), _ = block(0)
    if key != "VS_VERSION_INFO":
        raise ValueError(f"version resource key is {key!r}")
    words = struct.unpack_from("<13I", fixed)
    if words[0] != 0xFEEF04BD:
        raise ValueError("no VS_FIXEDFILEINFO signature")

    def version(ms, ls):
        return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

    fixed_info = {
        "FileVersion": version(words[2], words[3]),
        "ProductVersion": version(words[4], words[5]),
        "FileType": words[9],
    }
    tables = {}
    translations = []
    for child_key, _, grandchildren in children:
        if child_key == "StringFileInfo":
            for table_key, _, strings in grandchildren:
                tables[table_key.upper()] = {name: value for name, value, _ in strings}
        elif child_key == "VarFileInfo":
            for var_key, value, _ in grandchildren:
                if var_key == "Translation":
                    translations += [struct.unpack_from("<HH", value, i)
                                     for i in range(0, len(value), 4)]
    return fixed_info, tables, translations


def _name_or_ordinal(data, offset):
    first = struct.unpack_from("<H", data, offset)[0]
    if first == 0:
        return None, offset + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    return _utf16z(data, offset)


def parse_dialog(data):
    """DLGTEMPLATEEX: the dialog's fields and its controls."""
    version, signature, _help, ex_style, style, count, x, y, cx, cy = struct.unpack_from(
        "<HHIIIHhhhh", data, 0)
    if (version, signature) != (1, 0xFFFF):
        raise ValueError("not an extended dialog template")
    pos = 26
    _menu, pos = _name_or_ordinal(data, pos)
    _window_class, pos = _name_or_ordinal(data, pos)
    caption, pos = _utf16z(data, pos)
    dialog = {"style": style, "ex_style": ex_style, "rect": (x, y, cx, cy), "caption": caption}
    if style & 0x40:  # DS_SETFONT
        points, weight, italic, charset = struct.unpack_from("<HHBB", data, pos)
        dialog["font"], pos = _utf16z(data, pos + 6)
        dialog["points"] = points
    controls = []
    for _ in range(count):
        pos = _align4(pos)
        _help, ex_style, style, x, y, cx, cy, control_id = struct.unpack_from(
            "<IIIhhhhi", data, pos)
        control_class, pos = _name_or_ordinal(data, pos + 24)
        text, pos = _name_or_ordinal(data, pos)
        extra = struct.unpack_from("<H", data, pos)[0]
        pos += 2 + extra
        controls.append({"id": control_id, "class": control_class, "text": text, "style": style,
                         "rect": (x, y, cx, cy)})
    dialog["controls"] = controls
    return dialog


def parse_icon_group(data):
    """GRPICONDIR: [(width, height, bit count, bytes, icon id)], 0 standing for 256 and up."""
    _reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1:
        raise ValueError("not an icon group")
    entries = []
    for i in range(count):
        width, height, _colors, _reserved, _planes, bits, size, icon_id = struct.unpack_from(
            "<BBBBHHIH", data, 6 + 14 * i)
        entries.append((width, height, bits, size, icon_id))
    return entries


def parse_icon_image(data):
    """(width, height, bits per pixel) of one icon image, PNG or DIB."""
    if data.startswith(b"\x89PNG\r\n\x1a\n"):
        width, height, depth, colour_type = struct.unpack_from(">IIBB", data, 16)
        channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
        return width, height, depth * channels
    _size, width, double_height, _planes, bits = struct.unpack_from("<IiiHH", data, 0)
    return width, double_height // 2, bits
