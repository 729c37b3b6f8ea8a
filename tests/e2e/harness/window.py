"""A window as the driver saw it at one moment, with what a layout table says about it."""

# Window styles and button, static and edit types that the tests read.
WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_TABSTOP = 0x00010000
WS_GROUP = 0x00020000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_VSCROLL = 0x00200000
WS_CAPTION = 0x00C00000
WS_CHILD = 0x40000000
WS_EX_CONTROLPARENT = 0x00010000
BS_TYPEMASK = 0x0F
SS_TYPEMASK = 0x1F
ES_MULTILINE = 0x0004
ES_READONLY = 0x0800

_BUTTON_KINDS = {0: "button", 1: "button", 2: "checkbox", 3: "checkbox", 5: "checkbox",
                 6: "checkbox", 4: "radio", 9: "radio"}
# Static types that show a text: left, centre, right, simple, left without word wrap.
_TEXT_STATICS = {0x0, 0x1, 0x2, 0xB, 0xC}


class Window:
    def __init__(self, node):
        self.node = node
        self.hwnd = node["hwnd"]
        self.cls = node["class"]
        self.text = node["text"]
        self.rect = tuple(node["rect"])
        self.left, self.top, self.width, self.height = self.rect
        self.client = tuple(node["client"])
        self.style = node["style"]
        self.exstyle = node["exstyle"]
        self.visible = node["visible"]
        self.ws_visible = node["ws_visible"]
        self.enabled = node["enabled"]
        self.pid = node["pid"]
        self.check = node.get("check")
        self.progress = node.get("progress")
        self.children = [Window(child) for child in node.get("children", [])]

    @property
    def kind(self):
        """What the control is to a user, in the words of the layout tables: label, bevel,
        button, checkbox, radio, edit, memo, progress, or page for any other container."""
        cls = self.cls.lower()
        if cls == "button":
            return _BUTTON_KINDS.get(self.style & BS_TYPEMASK, "button")
        if cls == "static":
            return "label" if (self.style & SS_TYPEMASK) in _TEXT_STATICS else "bevel"
        if cls == "edit":
            return "memo" if self.style & ES_MULTILINE else "edit"
        if cls == "msctls_progress32":
            return "progress"
        return "page"

    @property
    def checked(self):
        return self.check == 1

    def has_style(self, bits):
        return (self.style & bits) == bits

    def has_exstyle(self, bits):
        return (self.exstyle & bits) == bits

    def at(self, kind, left, top):
        """The child of that kind whose top-left corner is at (left, top), or None."""
        for child in self.children:
            if child.kind == kind and (child.left, child.top) == (left, top):
                return child
        return None

    def walk(self):
        yield self
        for child in self.children:
            yield from child.walk()

    def find(self, hwnd):
        return next((window for window in self.walk() if window.hwnd == hwnd), None)

    def __repr__(self):
        text = self.text
        if not text and self.kind == "page":
            # A page has no text of its own; its topmost label is its title.
            labels = sorted((child.top, child.left, child.text) for child in self.children
                            if child.kind == "label")
            text = labels[0][2] if labels else ""
        return f"<{self.kind} {text[:40]!r} at {self.rect}>"
