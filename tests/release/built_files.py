"""Reads what Windows will see in a built .exe or .dll with pefile: its machine, header flags,
imports, exports, version and resources. pefile does not decode dialog templates and icon groups;
those two layouts are read here. Class names are given in lower case, an empty text as ""."""

import struct

import pefile

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_MANIFEST = (
    pefile.RESOURCE_TYPE[name] for name in ["RT_ICON", "RT_DIALOG", "RT_GROUP_ICON", "RT_MANIFEST"])
# The predefined window classes, which a template names by number.
CONTROL_CLASSES = {0x80: "button", 0x81: "edit", 0x82: "static", 0x83: "listbox",
                   0x84: "scrollbar", 0x85: "combobox"}


class BuiltFile:
    def __init__(self, path):
        self.pe = pefile.PE(path)

    def machine(self):
        """'AMD64', 'I386'..."""
        machine = self.pe.FILE_HEADER.Machine
        return pefile.MACHINE_TYPE.get(machine, hex(machine)).replace("IMAGE_FILE_MACHINE_", "")

    def imports(self):
        """{dll name: [imported names]}; an import by ordinal shows as '#ordinal'."""
        return {entry.dll.decode(): [i.name.decode() if i.name else f"#{i.ordinal}"
                                     for i in entry.imports]
                for entry in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])}

    def exports(self):
        table = getattr(self.pe, "DIRECTORY_ENTRY_EXPORT", None)
        return [s.name.decode() for s in table.symbols if s.name] if table else []

    def resources(self, resource_type):
        """{name: raw bytes} of every resource of the type, in its first language."""
        directory = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        for kind in directory.entries if directory else []:
            if kind.id == resource_type:
                return {entry.id if entry.id is not None else str(entry.name):
                        self.pe.get_data(data.OffsetToData, data.Size)
                        for entry in kind.directory.entries
                        for data in [entry.directory.entries[0].data.struct]}
        return {}

    def resource(self, resource_type, name):
        return self.resources(resource_type).get(name)

    def version(self):
        """The fixed file info's FileVersion, ProductVersion and FileType, "translations":
        [(language, code page)] and each string table by its key, as {name: value}; or None."""
        if not hasattr(self.pe, "VS_FIXEDFILEINFO"):
            return None
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        if fixed.Signature != 0xFEEF04BD:
            raise ValueError("no VS_FIXEDFILEINFO signature")

        def number(ms, ls):
            return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

        version = {"FileVersion": number(fixed.FileVersionMS, fixed.FileVersionLS),
                   "ProductVersion": number(fixed.ProductVersionMS, fixed.ProductVersionLS),
                   "FileType": fixed.FileType, "translations": []}
        for info in (i for infos in getattr(self.pe, "FileInfo", []) for i in infos):
            for table in getattr(info, "StringTable", []):
                version[table.LangID.decode().upper()] = {
                    k.decode(): v.decode() for k, v in table.entries.items()}
            for var in getattr(info, "Var", []):
                pair = var.entry.get(b"Translation")
                if pair is None:
                    continue
                # pefile keeps only the last pair of a list.
                if var.ValueLength != 4:
                    raise ValueError(f"{var.ValueLength // 4} translations in one list")
                version["translations"].append(tuple(int(word, 16) for word in pair.split()))
        return version


def _utf16z(data, offset):
    """A zero-terminated UTF-16 string and the offset past its terminator."""
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


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
    _menu, pos = _name_or_ordinal(data, 26)
    _window_class, pos = _name_or_ordinal(data, pos)
    caption, pos = _utf16z(data, pos)
    dialog = {"style": style, "ex_style": ex_style, "rect": (x, y, cx, cy), "caption": caption,
              "controls": []}
    if style & 0x40:  # DS_SETFONT
        dialog["points"] = struct.unpack_from("<H", data, pos)[0]
        dialog["font"], pos = _utf16z(data, pos + 6)
    for _ in range(count):
        pos = (pos + 3) & ~3
        _help, ex_style, style, x, y, cx, cy, control_id = struct.unpack_from(
            "<IIIhhhhi", data, pos)
        control_class, pos = _name_or_ordinal(data, pos + 24)
        text, pos = _name_or_ordinal(data, pos)
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
        if isinstance(control_class, str):
            control_class = control_class.lower()
        dialog["controls"].append({
            "id": control_id, "class": CONTROL_CLASSES.get(control_class, control_class),
            "text": "" if text is None else text, "style": style, "ex_style": ex_style,
            "rect": (x, y, cx, cy)})
    return dialog


def parse_icon_group(data):
    """GRPICONDIR: [(width, height, bit count, bytes, icon id)], 0 standing for 256."""
    _reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1:
        raise ValueError("not an icon group")
    return [(width, height, bits, size, icon_id) for width, height, _colors, _reserved, _planes,
            bits, size, icon_id in struct.iter_unpack("<BBBBHHIH", data[6:6 + 14 * count])]


def parse_icon_image(data):
    """("png" or "bmp", width, height, bits per pixel) of one icon image."""
    if data.startswith(b"\x89PNG\r\n\x1a\n"):
        width, height, depth, colour_type = struct.unpack_from(">IIBB", data, 16)
        channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
        return "png", width, height, depth * channels
    _size, width, double_height, _planes, bits = struct.unpack_from("<IiiHH", data, 0)
    return "bmp", width, double_height // 2, bits
