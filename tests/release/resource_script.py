"""The dialog controls that a resource script asks for, read from the script as the resource
compiler reads it: after the C preprocessor, so that names stand for the headers' values."""

import re
import subprocess

# Statement: (window class, its type's style bits, which the compiler adds to any style given:
# BS_DEFPUSHBUTTON 1, BS_PUSHBUTTON and SS_LEFT 0).
STATEMENTS = {"DEFPUSHBUTTON": ("button", 1), "PUSHBUTTON": ("button", 0),
              "LTEXT": ("static", 0), "CONTROL": (None, 0)}


def preprocess(script, cpp, include_dirs):
    command = [cpp, "-E", "-P", "-xc", "-DRC_INVOKED"] + [f"-I{d}" for d in include_dirs]
    return subprocess.run(command + [script], check=True, capture_output=True, text=True).stdout


def _value(field):
    """A quoted text, or a number written as the headers define it (0x10000000L | 0x00010000L)."""
    if field.startswith('"'):
        return field[1:-1].replace('""', '"')
    expression = re.sub(r"(?<=[0-9a-fA-F])[uUlL]+\b", "", field)
    if not re.fullmatch(r"[0-9a-fA-FxX|()\-\s]+", expression):
        raise ValueError(f"cannot evaluate {field!r}")
    return eval(expression, {"__builtins__": {}})


def dialog_controls(text):
    """{dialog id: [{class, text, id, style, ex_style, rect}]} of each DIALOGEX in `text`; class
    names in lower case, as built_files gives them."""
    dialogs = {}
    for dialog in re.finditer(r"^(\d+) DIALOGEX\b.*?^BEGIN\n(.*?)^END$", text, re.M | re.S):
        # A statement goes on over the lines that do not begin with a keyword.
        statements = re.findall(r"^\s*([A-Z]+)\s+(.*?)(?=^\s*[A-Z]+\s|\Z)", dialog.group(2),
                                re.M | re.S)
        controls = []
        for keyword, arguments in statements:
            if keyword not in STATEMENTS:
                raise ValueError(f"dialog {dialog.group(1)}: {keyword} is not read by this check")
            values = [_value(f.strip()) for f in re.findall(r'"(?:[^"]|"")*"|[^,]+', arguments)]
            window_class, type_style = STATEMENTS[keyword]
            if window_class is None:
                window_class, style = values.pop(2).lower(), values.pop(2)
            elif len(values) > 6:
                style = values.pop(6)
            else:
                raise ValueError(f"dialog {dialog.group(1)}: {keyword} {values[0]!r} states no "
                                 "style, whose default this check does not know")
            controls.append({"class": window_class, "text": values[0], "id": values[1],
                             "rect": tuple(values[2:6]), "style": style | type_style,
                             "ex_style": values[6] if len(values) > 6 else 0})
        dialogs[int(dialog.group(1))] = controls
    return dialogs
