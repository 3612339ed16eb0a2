#!/usr/bin/env python3
"""Checks the download as a user gets it: makes the zip with cpack, unpacks it, and reads the
unpacked orvflash.exe and orv_api.dll themselves, not the sources they were built from.

  check_release.py make OUT_DIR --cpack CPACK --config CPackConfig.cmake --zip NAME
                   --openssl OPENSSL --osslsigncode OSSLSIGNCODE
  check_release.py CHECK OUT_DIR --bits 32|64 --source S --cpp CPP [--include DIR]...
                   [--osslsigncode OSSLSIGNCODE]

make signs with a throw-away certificate, as a release is signed with the real one.
CHECK is one of contents, imports, version, manifest, icon, dialogs, readme, notices, signatures."""

import argparse
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

import pefile

import built_files
import resource_script
from built_files import BuiltFile

VERSION = "1.0.0.1"
DEVICE_FUNCTIONS = ["orvClearFlash", "orvGetDeviceType", "orvOpenDevice", "orvReadFlash",
                    "orvWriteFlash"]
# DLLs that every Windows has; anything else would have to travel with the program.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "msvcrt.dll",
                "advapi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll", "uxtheme.dll"}
# PNG above the 48 pixels that XP, which cannot read it, went up to; the others as bitmaps.
ICON_IMAGES = {size: "png" if size > 48 else "bmp"
               for size in [16, 24, 32, 48, 64, 96, 128, 192, 256]}

WS_POPUP, WS_VISIBLE, WS_CAPTION, WS_SYSMENU = 0x80000000, 0x10000000, 0xC00000, 0x80000
DS_MODALFRAME, DS_SETFONT, DS_FIXEDSYS = 0x80, 0x40, 0x8
WS_EX_APPWINDOW = 0x40000
DIALOG_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS

# The throw-away certificate that make signs with, beside the zip.
SIGNER = "orvflash test signing"
SIGNING_PASSWORD = "throw-away"

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
    return condition


def unpacked(out_dir):
    return os.path.join(out_dir, "unpacked")


def signing(out_dir, name):
    return os.path.join(out_dir, "signing", name)


def make_certificate(args):
    """A self-signed code-signing certificate, as a PKCS#12 file and as the PEM to verify by."""
    os.makedirs(signing(args.out_dir, ""))
    subprocess.run([args.openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", f"/CN={SIGNER}", "-addext", "extendedKeyUsage=codeSigning",
                    "-addext", "keyUsage=digitalSignature",
                    "-keyout", signing(args.out_dir, "key.pem"),
                    "-out", signing(args.out_dir, "cert.pem")],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([args.openssl, "pkcs12", "-export", "-inkey", signing(args.out_dir, "key.pem"),
                    "-in", signing(args.out_dir, "cert.pem"),
                    "-out", signing(args.out_dir, "sign.p12"),
                    "-passout", f"pass:{SIGNING_PASSWORD}"], check=True)


def make(args):
    if os.path.exists(args.out_dir):
        shutil.rmtree(args.out_dir)
    os.makedirs(args.out_dir)
    make_certificate(args)
    environment = dict(os.environ, ORV_SIGN_PKCS12=signing(args.out_dir, "sign.p12"),
                       ORV_SIGN_PASSWORD=SIGNING_PASSWORD)
    for unused in ["ORV_SIGN_PKCS11_MODULE", "ORV_SIGN_TIMESTAMP_URL"]:
        environment.pop(unused, None)
    subprocess.run([args.cpack, "--config", args.config, "-B", args.out_dir], check=True,
                   stdout=subprocess.DEVNULL, env=environment)
    zip_path = os.path.join(args.out_dir, args.zip)
    if not expect(os.path.isfile(zip_path), f"cpack made no {args.zip}"):
        return
    # As sha256sum writes it, so that sha256sum -c checks it.
    with open(zip_path, "rb") as archive:
        digest = hashlib.sha256(archive.read()).hexdigest()
    checksum_path = zip_path + ".sha256"
    checksum = open(checksum_path).read() if os.path.isfile(checksum_path) else None
    expect(checksum == f"{digest}  {args.zip}\n",
           f"{args.zip}.sha256 should read the zip's SHA-256 and its name, reads {checksum!r}")
    with zipfile.ZipFile(zip_path) as archive:
        bad = archive.testzip()
        expect(bad is None, f"{args.zip}: {bad} is damaged")
        archive.extractall(unpacked(args.out_dir))


def check_contents(args, folder):
    top = os.listdir(unpacked(args.out_dir))
    expected_top = os.path.basename(folder)
    expect(top == [expected_top], f"the zip should hold one folder {expected_top}, holds {top}")
    files = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    wanted = ["LICENSE.txt", "README.txt", "RELEASE-NOTES.txt", "THIRD-PARTY-NOTICES.txt",
              "orv_api.dll", "orvflash.exe"]
    expect(files == wanted, f"the folder should hold {wanted}, holds {files}")


def check_imports(args, folder):
    machine = {64: "AMD64", 32: "I386"}[args.bits]
    # ASLR and DEP, as the linker sets them today, and the 64-bit address space for ASLR.
    hardening = ["DYNAMIC_BASE", "NX_COMPAT"] + (["HIGH_ENTROPY_VA"] if args.bits == 64 else [])
    for name in ["orvflash.exe", "orv_api.dll"]:
        built = BuiltFile(os.path.join(folder, name))
        expect(built.machine() == machine,
               f"{name} is {built.machine()}, the {args.bits}-bit zip needs {machine}")
        missing = [flag for flag in hardening
                   if not getattr(built.pe.OPTIONAL_HEADER, "IMAGE_DLLCHARACTERISTICS_" + flag)]
        expect(not missing, f"{name} lacks {missing}")
        expect(not built.pe.FILE_HEADER.IMAGE_FILE_RELOCS_STRIPPED,
               f"{name} has no relocations: it cannot be moved")
        imports = {dll.lower(): names for dll, names in built.imports().items()}
        foreign = sorted(set(imports) - WINDOWS_DLLS - {"orv_api.dll"})
        expect(not foreign, f"{name} needs DLLs that Windows does not have: {foreign}")
        if name == "orvflash.exe":
            # Plain names: a decorated one (orvOpenDevice@4) would be another calling convention.
            expect(sorted(imports.get("orv_api.dll", [])) == DEVICE_FUNCTIONS,
                   f"orvflash.exe should import the five device functions from orv_api.dll, "
                   f"imports {imports.get('orv_api.dll')}")
        else:
            expect("orv_api.dll" not in imports, "orv_api.dll imports itself")
            expect(sorted(built.exports()) == DEVICE_FUNCTIONS,
                   f"orv_api.dll should export the five device functions, exports "
                   f"{built.exports()}")


def program(folder):
    return BuiltFile(os.path.join(folder, "orvflash.exe"))


def check_version(args, folder):
    version = program(folder).version()
    if not expect(version, "orvflash.exe has no version resource"):
        return
    fixed, tables, translations = version
    expect(fixed["FileVersion"] == VERSION, f"file version {fixed['FileVersion']}")
    expect(fixed["ProductVersion"] == VERSION, f"product version {fixed['ProductVersion']}")
    expect(fixed["FileType"] == 1, "the version resource does not say VFT_APP")
    expect(translations == [(0x0409, 1252)], f"translations {translations}")
    strings = tables.get("040904E4")
    if not expect(strings is not None, f"no English (US), code page 1252 table: {list(tables)}"):
        return
    for field, value in [("FileVersion", VERSION), ("ProductVersion", VERSION),
                         ("InternalName", "orvflash.exe"), ("OriginalFilename", "orvflash.exe")]:
        expect(strings.get(field) == value, f"{field} is {strings.get(field)!r}, not {value!r}")
    for field in ["CompanyName", "FileDescription", "ProductName"]:
        expect(strings.get(field), f"{field} is empty")
    # Our DLL says what it is, so that nobody takes it for the maker's.
    version = BuiltFile(os.path.join(folder, "orv_api.dll")).version()
    if expect(version, "orv_api.dll has no version resource"):
        description = version[1].get("040904E4", {}).get("FileDescription")
        expect("Simulated Kavix" in (description or ""), f"orv_api.dll says {description!r}")


def check_manifest(args, folder):
    data = program(folder).resource(built_files.RT_MANIFEST, 1)
    if not expect(data, "orvflash.exe has no application manifest"):
        return
    root = ElementTree.fromstring(data)
    levels = [e.get("level") for e in root.iter() if e.tag.endswith("}requestedExecutionLevel")]
    expect(levels == ["asInvoker"], f"requested execution levels {levels}")
    controls = [e.attrib for e in root.iter() if e.tag.endswith("}assemblyIdentity")
                and e.get("name") == "Microsoft.Windows.Common-Controls"]
    expect(len(controls) == 1 and controls[0].get("version", "").startswith("6.")
           and controls[0].get("publicKeyToken") == "6595b64144ccf1df",
           f"common controls 6 dependency: {controls}")
    # DPI-unaware, its layout kept, and drawn sharp by GDI scaling on high-DPI screens.
    settings = {e.tag: (e.text or "").strip() for e in root.iter()
                if e.tag.split("}")[-1] in ("gdiScaling", "dpiAware", "dpiAwareness")}
    expect(settings == {"{http://schemas.microsoft.com/SMI/2017/WindowsSettings}gdiScaling": "true"},
           f"DPI settings {settings}")


def check_icon(args, folder):
    built = program(folder)
    groups = built.resources(built_files.RT_GROUP_ICON)
    if not expect(list(groups) == [130], f"icon groups {list(groups)}, expected IDR_MAINFRAME (130) "
                  "alone"):
        return
    found = []
    for width, height, bits, size, icon_id in built_files.parse_icon_group(groups[130]):
        image = built.resource(built_files.RT_ICON, icon_id) or b""
        kind, real_width, real_height, real_bits = built_files.parse_icon_image(image)
        # A width or height byte of 0 stands for 256; an entry cannot describe more.
        said, real = (width or 256, height or 256, bits, size), (real_width, real_height, real_bits,
                                                                   len(image))
        expect(said == real, f"icon {icon_id}: the group says {said}, the image is {real} "
               "(width, height, bits, bytes)")
        found.append((real_width, real_height, real_bits, kind))
    wanted = [(size, size, 32, kind) for size, kind in ICON_IMAGES.items()]
    expect(sorted(found) == wanted, f"icons (width, height, bits, format) {sorted(found)}, "
           f"expected {wanted}")


def check_dialogs(args, folder):
    built = program(folder)
    res = os.path.join(args.source, "res")
    script = resource_script.dialog_controls(resource_script.preprocess(
        os.path.join(res, "orvflash.rc"), args.cpp, [res] + args.include))
    expected = {
        102: ("Quorlan ORV Firmware Updater", (0, 0, 441, 189), DIALOG_STYLE | WS_VISIBLE,
              WS_EX_APPWINDOW, [(1, "Done"), (1000, "Update"), (1001, "")]),
        100: ("About orvflash", (0, 0, 170, 62), DIALOG_STYLE, 0,
              [(-1, None), (-1, "orvflash, Version 1.0"), (-1, None), (1, "OK")]),
    }
    for dialog_id, (caption, rect, style, ex_style, controls) in expected.items():
        data = built.resource(built_files.RT_DIALOG, dialog_id)
        if not expect(data, f"no dialog {dialog_id}"):
            continue
        dialog = built_files.parse_dialog(data)
        expect(dialog["caption"] == caption, f"dialog {dialog_id} caption {dialog['caption']!r}")
        expect(dialog["rect"] == rect, f"dialog {dialog_id} is {dialog['rect']}")
        expect(dialog["style"] == style, f"dialog {dialog_id} style {dialog['style']:#x}, "
               f"expected {style:#x}")
        expect(dialog["ex_style"] == ex_style, f"dialog {dialog_id} ex style "
               f"{dialog['ex_style']:#x}")
        expect((dialog.get("font"), dialog.get("points")) == ("MS Shell Dlg", 8),
               f"dialog {dialog_id} font {dialog.get('font')} {dialog.get('points')}")
        found = [(c["id"], c["text"]) for c in dialog["controls"]]
        for (want_id, want_text), (got_id, got_text) in zip(controls, found + [(None, None)] * 9):
            expect(want_id == got_id and (want_text is None or want_text == got_text),
                   f"dialog {dialog_id}: control {got_id} {got_text!r}, expected {want_id} "
                   f"{want_text!r}")
        expect(len(found) == len(controls), f"dialog {dialog_id} has {len(found)} controls")
        # Each control as the script asks for it: class, text, id, style, extended style, rect.
        wanted = script.get(dialog_id, [])
        for number, (got, want) in enumerate(zip(dialog["controls"], wanted)):
            wrong = {key: (got[key], want[key]) for key in want if got[key] != want[key]}
            expect(not wrong, f"dialog {dialog_id} control {number}: (built, script) {wrong}")
        expect(len(wanted) == len(found), f"the script gives dialog {dialog_id} {len(wanted)}")


def program_messages(source_dir):
    """The first line of each message the update run logs, and the questions' openings."""
    with open(os.path.join(source_dir, "update", "update_run.cpp")) as source:
        text = source.read()
    messages = re.findall(r'LogLines\(\{(?:"",\s*)?"([^"]+)"', text)
    messages += [re.sub(r"\s+", " ", m).split(",")[0]
                 for m in re.findall(r'AskQuestion\(\s*"([^"]+)"', text)]
    return messages


def user_text(folder, name):
    """A text for the user as Notepad shows it: plain ASCII in CR LF lines."""
    with open(os.path.join(folder, name), "rb") as text:
        raw = text.read()
    expect(b"\n" not in raw.replace(b"\r\n", b""), f"{name} has lines not ending in CR LF")
    expect(all(b < 0x80 for b in raw), f"{name} is not plain ASCII")
    return raw.decode("ascii", "replace").replace("\r\n", "\n")


def check_readme(args, folder):
    text = re.sub(r"\s+", " ", user_text(folder, "README.txt"))
    for needed in ["Kavix_V5.dat", "STAND-IN", "simulates", "maker", VERSION,
                   {64: "win64", 32: "win32"}[args.bits], "SmartScreen", "Unknown publisher",
                   ".sha256", "Get-FileHash", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt",
                   "RELEASE-NOTES.txt"]:
        expect(needed in text, f"README.txt does not mention {needed!r}")
    for message in program_messages(args.source):
        expect(message in text, f"README.txt does not explain {message!r}")


def latest_change(source_dir):
    """The newest entry of CHANGES.md: its heading and its text."""
    with open(os.path.join(source_dir, "CHANGES.md")) as changes:
        entries = re.split(r"^## ", changes.read(), flags=re.M)[1:]
    heading, _, body = entries[0].partition("\n") if entries else ("", "", "")
    return heading.strip(), body.strip()


def check_notices(args, folder):
    licence = re.sub(r"\s+", " ", user_text(folder, "LICENSE.txt"))
    for needed in ["MIT License", "Copyright (c) 2026 Quorlan", "WITHOUT WARRANTY OF ANY KIND"]:
        expect(needed in licence, f"LICENSE.txt does not say {needed!r}")
    # What is linked in statically, each with the notice its licence asks to travel with it.
    notices = re.sub(r"\s+", " ", user_text(folder, "THIRD-PARTY-NOTICES.txt"))
    for needed in ["the mingw-w64 project", "Lucent Technologies", "David M. Gay",
                   "winpthreads", "Lockless Inc.", "Permission is hereby granted",
                   "GCC RUNTIME LIBRARY EXCEPTION", "libstdc++"]:
        expect(needed in notices, f"THIRD-PARTY-NOTICES.txt does not say {needed!r}")
    heading, body = latest_change(args.source)
    expect(heading == VERSION, f"the newest entry of CHANGES.md is {heading!r}, not {VERSION}")
    notes = user_text(folder, "RELEASE-NOTES.txt")
    expect(notes.startswith(f"orvflash {VERSION} - release notes\n"), "RELEASE-NOTES.txt title")
    expect(body and notes.endswith("\n\n" + body + "\n"),
           "RELEASE-NOTES.txt is not the newest entry of CHANGES.md")


def verify(args, path):
    """osslsigncode's verdict on a file's Authenticode signature, against the test certificate."""
    return subprocess.run([args.osslsigncode, "verify", "-CAfile", signing(args.out_dir, "cert.pem"),
                           "-in", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True)


def check_signatures(args, folder):
    for name in ["orvflash.exe", "orv_api.dll"]:
        path = os.path.join(folder, name)
        said = verify(args, path)
        if not expect(said.returncode == 0, f"{name} is not validly signed:\n{said.stdout}"):
            continue
        expect(re.search(r"Message digest algorithm\s*: SHA256", said.stdout),
               f"{name} is not signed with SHA-256")
        expect(f"Subject: /CN={SIGNER}" in said.stdout, f"{name} is signed by another signer")
        # One byte changed in the code: Windows, and so the check, must refuse it.
        tampered = os.path.join(args.out_dir, "tampered-" + name)
        shutil.copyfile(path, tampered)
        offset = BuiltFile(path).pe.sections[0].PointerToRawData + 64
        with open(tampered, "r+b") as changed:
            changed.seek(offset)
            byte = changed.read(1)
            changed.seek(offset)
            changed.write(bytes([byte[0] ^ 0xFF]))
        expect(verify(args, tampered).returncode != 0, f"{name} changed by a byte still verifies")


CHECKS = {"contents": check_contents, "imports": check_imports, "version": check_version,
          "manifest": check_manifest, "icon": check_icon, "dialogs": check_dialogs,
          "readme": check_readme, "notices": check_notices, "signatures": check_signatures}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["make"] + list(CHECKS))
    parser.add_argument("out_dir")
    parser.add_argument("--cpack")
    parser.add_argument("--config")
    parser.add_argument("--zip")
    parser.add_argument("--cpp")
    parser.add_argument("--include", action="append", default=[])
    parser.add_argument("--bits", type=int, choices=[32, 64])
    parser.add_argument("--source")
    parser.add_argument("--openssl")
    parser.add_argument("--osslsigncode")
    args = parser.parse_args()
    if args.what == "make":
        make(args)
    else:
        folders = os.listdir(unpacked(args.out_dir))
        folder = os.path.join(unpacked(args.out_dir), folders[0] if folders else "")
        try:
            CHECKS[args.what](args, folder)
        except (ValueError, struct.error, pefile.PEFormatError) as error:
            expect(False, f"{args.what}: unreadable resource: {error}")
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
