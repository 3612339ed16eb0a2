#!/usr/bin/env python3
"""Checks the download as a user gets it: make_zip makes the zip with cpack, signed with a
throw-away certificate as a release is signed with the real one, and unpacks it; the other checks
read the unpacked orvflash.exe and orv_api.dll themselves, not the sources they were built from.

  check_release.py CHECK OUT_DIR --bits 32|64 --source S --cpack CPACK --config CPackConfig.cmake
      --zip NAME --openssl OPENSSL --osslsigncode OSSLSIGNCODE --cpp CPP [--include DIR]...

CHECK: make_zip, then contents, imports, version, manifest, icon, dialogs, readme, notices or
signatures."""

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
from pathlib import Path

import pefile

import built_files
import resource_script
from built_files import BuiltFile

VERSION = "1.0.0.1"
# The simulated Kavix only in demo\, never beside orvflash.exe, where it would pass for the maker's.
LIBRARY = "demo/orv_api.dll"
FILES = ["orvflash.exe", LIBRARY]
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
DIALOG = {"style": WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS,
          "ex_style": 0, "font": "MS Shell Dlg", "points": 8}
# Each dialog: its fields and its controls' (id, text), None for a text not checked here.
DIALOGS = {
    102: (dict(DIALOG, caption="Quorlan ORV Firmware Updater", rect=(0, 0, 441, 189),
               style=DIALOG["style"] | WS_VISIBLE, ex_style=0x40000),  # WS_EX_APPWINDOW
          [(1, "Done"), (1000, "Update"), (1001, "")]),
    100: (dict(DIALOG, caption="About orvflash", rect=(0, 0, 170, 62)),
          [(-1, None), (-1, "orvflash, Version 1.0"), (-1, None), (1, "OK")]),
}

# The throw-away certificate that make_zip signs with, beside the zip.
SIGNER = "orvflash test signing"
SIGNING_PASSWORD = "throw-away"

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
    return condition


def expect_fields(got, wanted, what):
    """Each field of `wanted` as `got` has it; the message names every field that differs."""
    wrong = {key: (got.get(key), value) for key, value in wanted.items() if got.get(key) != value}
    return expect(not wrong, f"{what}: (found, expected) {wrong}")


def make_zip(args):
    shutil.rmtree(args.out_dir, ignore_errors=True)
    os.makedirs(args.signing)
    # A self-signed code-signing certificate, as a PKCS#12 file and as the PEM to verify by.
    key, cert, p12 = (os.path.join(args.signing, f) for f in ["key.pem", "cert.pem", "sign.p12"])
    subprocess.run([args.openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", f"/CN={SIGNER}", "-addext", "extendedKeyUsage=codeSigning",
                    "-addext", "keyUsage=digitalSignature", "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([args.openssl, "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", p12,
                    "-passout", f"pass:{SIGNING_PASSWORD}"], check=True)
    environment = dict(os.environ, ORV_SIGN_PKCS12=p12, ORV_SIGN_PASSWORD=SIGNING_PASSWORD)
    for unused in ["ORV_SIGN_PKCS11_MODULE", "ORV_SIGN_TIMESTAMP_URL"]:
        environment.pop(unused, None)
    subprocess.run([args.cpack, "--config", args.config, "-B", args.out_dir], check=True,
                   stdout=subprocess.DEVNULL, env=environment)
    zip_path = os.path.join(args.out_dir, args.zip)
    if not expect(os.path.isfile(zip_path), f"cpack made no {args.zip}"):
        return
    # As sha256sum writes it, so that sha256sum -c checks it.
    digest = hashlib.sha256(Path(zip_path).read_bytes()).hexdigest()
    checksum = Path(zip_path + ".sha256")
    checksum = checksum.read_text() if checksum.is_file() else None
    expect(checksum == f"{digest}  {args.zip}\n",
           f"{args.zip}.sha256 should read the zip's SHA-256 and its name, reads {checksum!r}")
    with zipfile.ZipFile(zip_path) as archive:
        bad = archive.testzip()
        expect(bad is None, f"{args.zip}: {bad} is damaged")
        archive.extractall(args.unpacked)


def check_contents(args, folder):
    top = os.listdir(args.unpacked)
    expect(top == [os.path.basename(folder)],
           f"the zip should hold one folder {os.path.basename(folder)}, holds {top}")
    files = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    expect("orv_api.dll" not in files, "the zip's folder holds an orv_api.dll beside orvflash.exe")
    wanted = ["LICENSE.txt", "README.txt", "RELEASE-NOTES.txt", "THIRD-PARTY-NOTICES.txt",
              "demo", "orvflash.exe"]
    expect(files == sorted(wanted), f"the folder should hold {sorted(wanted)}, holds {files}")
    demo = os.path.join(folder, "demo")
    files = sorted(os.listdir(demo)) if os.path.isdir(demo) else []
    expect(files == ["README.txt", "orv_api.dll"],
           f"demo should hold README.txt and orv_api.dll, holds {files}")


def check_imports(args, folder):
    machine = {64: "AMD64", 32: "I386"}[args.bits]
    # ASLR and DEP, as the linker sets them today, and the 64-bit address space for ASLR.
    hardening = ["DYNAMIC_BASE", "NX_COMPAT"] + (["HIGH_ENTROPY_VA"] if args.bits == 64 else [])
    for name in FILES:
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
        # The program imports them from the DLL, which exports them. Plain names: a decorated one
        # (orvOpenDevice@4) would be another calling convention.
        if name == "orvflash.exe":
            device = imports.get("orv_api.dll", [])
        else:
            expect("orv_api.dll" not in imports, "orv_api.dll imports itself")
            device = built.exports()
        expect(sorted(device) == DEVICE_FUNCTIONS, f"{name}: device functions {device}")


def program(folder):
    return BuiltFile(os.path.join(folder, "orvflash.exe"))


def check_version(args, folder):
    version = program(folder).version()
    if not expect(version, "orvflash.exe has no version resource"):
        return
    versions = {"FileVersion": VERSION, "ProductVersion": VERSION}
    # File type 1: VFT_APP; the strings in English (US), code page 1252.
    expect_fields(version, dict(versions, FileType=1, translations=[(0x0409, 1252)]), "version")
    strings = version.get("040904E4", {})
    expect_fields(strings, dict(versions, InternalName="orvflash.exe",
                                OriginalFilename="orvflash.exe"), "version strings (040904E4)")
    empty = [field for field in ["CompanyName", "FileDescription", "ProductName"]
             if not strings.get(field)]
    expect(not empty, f"empty version strings {empty}")
    # Our DLL says what it is, so that nobody takes it for the maker's; orvflash knows it by its
    # product name.
    version = BuiltFile(os.path.join(folder, LIBRARY)).version()
    if expect(version, "orv_api.dll has no version resource"):
        strings = version.get("040904E4", {})
        description = strings.get("FileDescription")
        expect("Simulated Kavix" in (description or ""), f"orv_api.dll says {description!r}")
        expect_fields(strings, {"ProductName": "Simulated Kavix"}, "orv_api.dll")


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
    if not expect(list(groups) == [130], f"icon groups {list(groups)}, expected IDR_MAINFRAME "
                  "(130) alone"):
        return
    found = []
    for width, height, bits, size, icon_id in built_files.parse_icon_group(groups[130]):
        image = built.resource(built_files.RT_ICON, icon_id) or b""
        kind, *read = built_files.parse_icon_image(image)
        # A width or height byte of 0 stands for 256; an entry cannot describe more.
        said, real = (width or 256, height or 256, bits, size), (*read, len(image))
        expect(said == real, f"icon {icon_id}: the group says {said}, the image is {real} "
               "(width, height, bits, bytes)")
        found.append((*read, kind))
    wanted = [(size, size, 32, kind) for size, kind in ICON_IMAGES.items()]
    expect(sorted(found) == wanted,
           f"icons (width, height, bits, format) {sorted(found)}, expected {wanted}")


def check_dialogs(args, folder):
    built = program(folder)
    res = os.path.join(args.source, "res")
    script = resource_script.dialog_controls(resource_script.preprocess(
        os.path.join(res, "orvflash.rc"), args.cpp, [res] + args.include))
    for dialog_id, (fields, controls) in DIALOGS.items():
        data = built.resource(built_files.RT_DIALOG, dialog_id)
        if not expect(data, f"no dialog {dialog_id}"):
            continue
        dialog = built_files.parse_dialog(data)
        expect_fields(dialog, fields, f"dialog {dialog_id}")
        found = [(c["id"], c["text"]) for c in dialog["controls"]]
        expect(len(found) == len(controls) and all(
            want_id == got_id and want_text in (None, got_text)
            for (want_id, want_text), (got_id, got_text) in zip(controls, found)),
            f"dialog {dialog_id}: controls (id, text) {found}, expected {controls}")
        # Each control as the script asks for it: class, text, id, style, extended style, rect.
        wanted = script.get(dialog_id, [])
        for number, (got, want) in enumerate(zip(dialog["controls"], wanted)):
            expect_fields(got, want, f"dialog {dialog_id} control {number} against the script")
        expect(len(wanted) == len(found), f"the script gives dialog {dialog_id} {len(wanted)}")


def program_messages(source_dir):
    """The first line of each message the update run logs, and the questions' openings."""
    text = Path(source_dir, "update", "update_run.cpp").read_text()
    messages = re.findall(r'LogLines\(\{(?:"",\s*)?"([^"]+)"', text)
    messages += [re.sub(r"\s+", " ", m).split(",")[0]
                 for m in re.findall(r'AskQuestion\(\s*Question::\w+,\s*"([^"]+)"', text)]
    return messages


def user_text(folder, name):
    """A text for the user as Notepad shows it: plain ASCII in CR LF lines."""
    raw = Path(folder, name).read_bytes()
    expect(b"\n" not in raw.replace(b"\r\n", b""), f"{name} has lines not ending in CR LF")
    expect(all(b < 0x80 for b in raw), f"{name} is not plain ASCII")
    return raw.decode("ascii", "replace").replace("\r\n", "\n")


def expect_mentions(folder, name, needed):
    text = re.sub(r"\s+", " ", user_text(folder, name))
    missing = [phrase for phrase in needed if phrase not in text]
    expect(not missing, f"{name} does not mention {missing}")


# What each deployment tool needs, in README.txt's section for them, in this order.
DEPLOYMENT = [
    "Deployment tools, one by one", "HKEY_LOCAL_MACHINE\\SOFTWARE\\orvflash", "FirmwareVersion",
    "only administrators can change", "DLL planting",
    "Intune (Win32 app)", "Uninstall command", "cmd.exe /c exit 0", "Install behavior: System",
    "0 Success, 2 Success, 1618 Retry", "Detection rule: Registry", "IntuneManagementExtension\\Logs",
    "Configuration Manager", "not a package and program", "Script Installer", "Detection method",
    "PDQ Deploy", "Include Entire Directory", "success codes 0,2",
    "Ansible", "win_command", "chdir:", "changed_when", "failed_when",
    "Logon scripts", 'pushd "%~dp0"',
    "Trying it by hand", 'start "" /wait', "%ERRORLEVEL%", "-Wait -PassThru",
    "0xC0000135", "0xC000007B",
]


def check_readme(args, folder):
    # Every message of the update run is explained.
    expect_mentions(folder, "README.txt", [
        "Kavix_V5.dat", "STAND-IN", "simulates", "maker", VERSION,
        {64: "win64", 32: "win32"}[args.bits], "SmartScreen", "Unknown publisher", ".sha256",
        "Get-FileHash", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt", "RELEASE-NOTES.txt",
        "orvflash.exe /s", "/log=", "/serial=", "/force", "orvflash.log",
    ] + program_messages(args.source))
    text = user_text(folder, "README.txt")
    # The quick start comes first: its steps within the first lines, not after the details.
    lines = text.split("\n")
    start = lines.index("Quick start") if "Quick start" in lines else len(lines)
    quick = "\n".join(lines[start:start + 18])
    expect(start < 8, "README.txt does not open with its quick start")
    steps = ["1. Extract the whole zip", "inside the zip", "maker's orv_api.dll and Kavix_V5.dat",
             "beside orvflash.exe", "Connect the Kavix", "Start orvflash.exe", "Click Update"]
    missing = [step for step in steps if step not in re.sub(r"\s+", " ", quick)]
    expect(not missing, f"README.txt's quick start lacks {missing}")
    flat, at = re.sub(r"\s+", " ", text), 0
    for phrase in DEPLOYMENT:
        found = flat.find(phrase, at)
        if not expect(found >= 0, f"README.txt's deployment section lacks {phrase!r} after "
                      f"{flat[max(at - 40, 0):at]!r}"):
            break
        at = found + len(phrase)
    expect_mentions(folder, "demo/README.txt", [
        "NOT the maker's device library", "kavix_flash.bin", "Copy orvflash.exe", "Kavix_V5.dat",
        "exit code 3", "ORV_ALLOW_SIMULATOR=1"])


def check_notices(args, folder):
    expect_mentions(folder, "LICENSE.txt", ["MIT License", "Copyright (c) 2026 Quorlan",
                                            "WITHOUT WARRANTY OF ANY KIND"])
    # What is linked in statically, each with the notice its licence asks to travel with it.
    expect_mentions(folder, "THIRD-PARTY-NOTICES.txt", [
        "the mingw-w64 project", "Lucent Technologies", "David M. Gay", "winpthreads",
        "Lockless Inc.", "Permission is hereby granted", "GCC RUNTIME LIBRARY EXCEPTION",
        "libstdc++"])
    # The newest entry of CHANGES.md, its heading the version.
    changes = Path(args.source, "CHANGES.md").read_text()
    heading, _, body = (re.split(r"^## ", changes, flags=re.M) + [""])[1].partition("\n")
    expect(heading.strip() == VERSION, f"the newest entry of CHANGES.md is {heading!r}, not "
           f"{VERSION}")
    notes = user_text(folder, "RELEASE-NOTES.txt")
    expect(notes.startswith(f"orvflash {VERSION} - release notes\n"), "RELEASE-NOTES.txt title")
    expect(body.strip() and notes.endswith("\n\n" + body.strip() + "\n"),
           "RELEASE-NOTES.txt is not the newest entry of CHANGES.md")


def verify(args, path):
    """osslsigncode's verdict on a file's Authenticode signature, against the test certificate."""
    return subprocess.run([args.osslsigncode, "verify", "-in", path,
                           "-CAfile", os.path.join(args.signing, "cert.pem")],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def check_signatures(args, folder):
    for name in FILES:
        path = os.path.join(folder, name)
        said = verify(args, path)
        if not expect(said.returncode == 0, f"{name} is not validly signed:\n{said.stdout}"):
            continue
        expect(re.search(r"Message digest algorithm\s*: SHA256", said.stdout),
               f"{name} is not signed with SHA-256")
        expect(f"Subject: /CN={SIGNER}" in said.stdout, f"{name} is signed by another signer")
        # One byte changed in the code: Windows, and so the check, must refuse it.
        data = bytearray(Path(path).read_bytes())
        data[BuiltFile(path).pe.sections[0].PointerToRawData + 64] ^= 0xFF
        tampered = os.path.join(args.out_dir, "tampered-" + os.path.basename(name))
        Path(tampered).write_bytes(data)
        expect(verify(args, tampered).returncode != 0, f"{name} changed by a byte still verifies")


CHECKS = {name[len("check_"):]: check for name, check in globals().items()
          if name.startswith("check_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["make_zip"] + list(CHECKS))
    parser.add_argument("out_dir")
    for option in ["cpack", "config", "zip", "cpp", "source", "openssl", "osslsigncode"]:
        parser.add_argument("--" + option)
    parser.add_argument("--include", action="append", default=[])
    parser.add_argument("--bits", type=int, choices=[32, 64])
    args = parser.parse_args()
    args.unpacked, args.signing = (os.path.join(args.out_dir, d) for d in ["unpacked", "signing"])
    if args.what == "make_zip":
        make_zip(args)
    else:
        folders = os.listdir(args.unpacked)
        folder = os.path.join(args.unpacked, folders[0] if folders else "")
        try:
            CHECKS[args.what](args, folder)
        except (ValueError, struct.error, pefile.PEFormatError) as error:
            expect(False, f"{args.what}: unreadable resource: {error}")
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
