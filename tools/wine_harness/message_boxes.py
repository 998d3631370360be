"""What box-driver.exe says about the message boxes it answered: one line
per box, caption, text, buttons and answer separated by tabs, with
backslash, tab, CR and LF escaped."""


class Box:
    def __init__(self, caption, text, buttons, answer):
        self.caption, self.text, self.buttons, self.answer = caption, text, buttons, answer

    def __repr__(self):
        return f"[{self.caption!r}: {self.text!r} ({'/'.join(self.buttons)}) -> {self.answer}]"


def unescape(text):
    """Undoes box-driver's escapes of backslash, tab, CR and LF."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def read_box_log(text):
    """[Box, ...] from box-driver's log."""
    boxes = []
    for line in text.splitlines():
        caption, body, buttons, answer = line.split("\t")
        boxes.append(Box(unescape(caption), unescape(body), buttons.split(",") if buttons else [], answer))
    return boxes
