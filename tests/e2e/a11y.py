#!/usr/bin/python3
"""Reads the installer's windows from the accessibility bus and checks one step.

a11y.py STEP [TREE-FILE]: compares the window of STEP with the table below and
writes the whole tree as the bus reports it to TREE-FILE. An entry ("role",
"name") matches a control of that role whose name starts with the name; the
entries of a window's page or panel are its children in order, nothing more.
"""
import sys
import time

import pyatspi

WIZARD = "Instalacja DEMO Wylicznika TAVRO 2010"
BAR = [("push button", "DALEJ"), ("push button", "Zamknij")]
PAGE2 = [("label", "Program ten zainstaluje"), ("label", "Podaj katalog docelowy:"),
         ("text", "Podaj katalog docelowy:"), ("push button", "Wybierz...")]
PAGE4 = [("label", "Instalacja zakończona !"), ("label", "Kliknij teraz"), ("label", "a zainstalowany"),
         ("label", "Aby uruchomić"), ("label", "kliknij dwukrotnie"),
         ("panel", ""), ("image", "Ikona Tavro 2010 DEMO"), ("label", "Tavro 2010")]
CONFIRM = [("panel", ""), ("image", "Pytanie"), ("panel", ""), ("panel", ""), ("label", "Podany katalog już istnieje"),
           ("panel", ""), ("image", "Pytanie"), ("panel", ""), ("push button", "Tak"), ("push button", "Nie")]
CHOOSER = [("filler", ""), ("label", "Wybierz dysk:"), ("push button", "Sieć"), ("combo box", "c:"),
           ("label", "Wybierz katalog:"), ("tree", "Wybierz katalog:"),
           ("status bar", ""), ("push button", "Pomoc"), ("push button", "Wybierz"), ("push button", "Zamknij")]

# step: window, the page's controls (wizard) or the window's controls (dialogs),
# the hint bar's buttons, the focused control, the keys of named buttons.
STEPS = {
    "page1": (WIZARD, [("label", "Witamy w programie instalacyjnym"), ("image", "Logo TAVRO 2010"),
                       ("label", "DEMO")], BAR, None, {"DALEJ": "Enter", "Zamknij": "Esc"}),
    "page2": (WIZARD, PAGE2, BAR, ("text", "Podaj katalog docelowy:"), {"Wybierz...": "Alt+W"}),
    "page2-tab": (WIZARD, PAGE2, BAR, ("push button", "Wybierz..."), {}),
    "page3": (WIZARD, [("label", "Przebieg instalacji :"), ("progress bar", "Przebieg instalacji"),
                       ("label", "Rozpakowywanie pliku:"), ("label", ""), ("label", "Wybrany katalog docelowy:"),
                       ("label", "C:\\TVO-DEMO\\")], [("push button", "Zamknij")], None, {"Zamknij": "Esc"}),
    "page4": (WIZARD, PAGE4, [("push button", "Dalej")], None, {"Dalej": "Enter"}),
    "confirm": ("Potwierdź", CONFIRM, None, ("push button", "Tak"), {"Tak": "Alt+T", "Nie": "Alt+N"}),
    "chooser": ("Wybór katalogu docelowego", CHOOSER, None, ("push button", "Sieć"), {"Wybierz": "Enter"}),
    "chooser-tab": ("Wybór katalogu docelowego", CHOOSER, None, ("combo box", "c:"), {}),
    "chooser-tree": ("Wybór katalogu docelowego", CHOOSER, None, ("tree", "Wybierz katalog"), {}),
}
ITEMS = {"table cell", "list item", "tree item", "table column header"}  # an item view's own parts
FOCUSED_KINDS = {"push button", "text", "combo box", "tree", "list", "toggle button", "check box"}


def walk(node, depth=0):
    yield node, depth
    for child in node:
        if child is not None:
            yield from walk(child, depth + 1)


def line(node, depth):
    states = [n for n, s in (("showing", pyatspi.STATE_SHOWING), ("focused", pyatspi.STATE_FOCUSED))
              if node.getState().contains(s)]
    extra = ""
    try:
        value = node.queryValue()
        extra += " value=%g (%g..%g)" % (value.currentValue, value.minimumValue, value.maximumValue)
    except NotImplementedError:
        pass
    try:
        keys = [k for k in (node.queryAction().getKeyBinding(i) for i in range(node.queryAction().nActions)) if k]
        extra += " keys=%s" % ",".join(dict.fromkeys(keys)) if keys else ""
    except NotImplementedError:
        pass
    return "%s%s %r [%s]%s" % ("  " * depth, node.getRoleName(), node.name, ",".join(states), extra)


def matches(node, entry):
    return node.getRoleName() == entry[0] and node.name.strip().startswith(entry[1])


def flat(node):
    """The controls below node, depth first, without the parts of item views."""
    out = []
    for child in node:
        if child is None:
            continue
        out.append(child)
        if child.getRoleName() not in {"combo box", "tree", "list", "status bar"}:
            out += flat(child)
        elif child.getRoleName() == "status bar":
            out += list(child)
    return out


def check(app, step):
    title, controls, bar, focus, keys = STEPS[step]
    errors = []
    windows = [w for w in app if w is not None and w.name == title and w.getState().contains(pyatspi.STATE_SHOWING)]
    if len(windows) != 1:
        return ["%d windows named %r" % (len(windows), title)]
    win = windows[0]
    if bar is not None:  # the wizard: exactly one page, then the hint bar
        pages = [c for c in win if c.getRoleName() == "panel"]
        if len(pages) != 1:
            errors.append("%d pages in the tree, not one" % len(pages))
        if not all(p.getState().contains(pyatspi.STATE_SHOWING) for p in pages):
            errors.append("a page in the tree is not showing")
        got = flat(pages[0]) if pages else []
        bars = [c for c in win if c.getRoleName() == "status bar"]
        got_bar = list(bars[0]) if bars else []
        if len(got_bar) != len(bar) or not all(map(matches, got_bar, bar)):
            errors.append("hint bar %s, expected %s" % ([(n.getRoleName(), n.name) for n in got_bar], bar))
    else:
        got = flat(win)
    if len(got) != len(controls) or not all(map(matches, got, controls)):
        errors.append("controls %s,\n  expected %s" % ([(n.getRoleName(), n.name) for n in got], controls))
    everything = [n for n, _ in walk(win)]
    focused = [n for n in everything if n.getState().contains(pyatspi.STATE_FOCUSED) and n.getRoleName() not in ITEMS]
    if focus is None and focused:
        errors.append("focused %s, expected nothing" % [line(n, 0) for n in focused])
    if focus is not None and (len(focused) != 1 or not matches(focused[0], focus)):
        errors.append("focused %s, expected %s" % ([line(n, 0) for n in focused], focus))
    for n in everything:
        if (n.getRoleName() in FOCUSED_KINDS | {"image", "progress bar"} and not n.name.strip()
                and n.getState().contains(pyatspi.STATE_SHOWING)):
            errors.append("nameless control: " + line(n, 0))
        if n.getRoleName() == "progress bar":
            v = n.queryValue()
            if not v.minimumValue <= v.currentValue <= v.maximumValue or v.maximumValue <= v.minimumValue:
                errors.append("progress bar value out of its range: " + line(n, 0))
        if n.getRoleName() == "push button" and n.name in keys:
            act = n.queryAction()
            if keys[n.name] not in [act.getKeyBinding(i) for i in range(act.nActions)]:
                errors.append("%r has not the key %s: %s" % (n.name, keys[n.name], line(n, 0)))
    return errors


def main():
    step = sys.argv[1]
    deadline = time.time() + 10
    while True:  # the window may still be building its tree
        apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None
                and any(w is not None and w.name in (WIZARD, STEPS[step][0]) for w in a)]
        errors = check(apps[0], step) if len(apps) == 1 else ["%d installer applications on the bus" % len(apps)]
        first = first if "first" in locals() else errors
        if not errors or time.time() > deadline:
            errors += ["first read: " + e for e in first if e not in errors]
            break
        time.sleep(0.3)
    if len(sys.argv) > 2 and apps:
        with open(sys.argv[2], "w", encoding="utf-8") as out:
            out.writelines(line(n, d) + "\n" for n, d in walk(apps[0]))
    for e in errors:
        print("%s: %s" % (step, e), file=sys.stderr)
    sys.exit(1 if errors else 0)


main()
