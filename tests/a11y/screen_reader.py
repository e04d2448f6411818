#!/usr/bin/python3
"""Reads the updater's window as a screen reader does, through the AT-SPI
registry with pyatspi, and works it through the accessibility interface
alone: it finds each control by its role and the name a screen reader
would say, presses the buttons through their actions and types the file's
path into the chooser's field.

usage: screen_reader.py FOLDER RELEASE PROGRAMMER FAIL
  FOLDER: where the program started, holding "fw 1.bin" and empty.bin
  RELEASE: the file whose creation lets the held programmer go on
  PROGRAMMER: the programmer on PATH, which it takes away for a while
  FAIL: the file whose creation makes the programmer fail
"""
import os
import sys
import time

import pyatspi
from gi.repository import GLib

TITLE = "Solvane Firmware Updater for Kestrix"
CHOOSER = "Select Firmware File"


def fail(message):
    print(f"FAIL (screen reader): {message}")
    sys.exit(1)


def pump():
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, predicate, timeout=60):
    """Polls until predicate gives something true: never a fixed wait."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        pump()
        try:
            result = predicate()
        except Exception:  # an object that went while it was read
            result = None
        if result:
            return result
        time.sleep(0.05)
    fail(f"no {what} after {timeout} s")


def children(accessible):
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is not None:
            yield child


def descendants(accessible):
    todo = list(children(accessible))
    while todo:
        current = todo.pop(0)
        yield current
        todo.extend(children(current))


def labelled_by(accessible):
    for relation in accessible.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return relation.getTarget(0).name
    return None


def spoken_name(accessible):
    """What a screen reader says a control is called: its caption, where a
    relation names one, else its own name."""
    return labelled_by(accessible) or accessible.name


# Roles by AT-SPI's numbers: their names change between versions ("push
# button" became "button").
ROLES = {
    "button": pyatspi.ROLE_PUSH_BUTTON,
    "text": pyatspi.ROLE_TEXT,
    "combo box": pyatspi.ROLE_COMBO_BOX,
    "label": pyatspi.ROLE_LABEL,
    "animation": pyatspi.ROLE_ANIMATION,
}


def find(root, role, name):
    for accessible in descendants(root):
        if accessible.getRole() == ROLES[role] and spoken_name(accessible) == name:
            return accessible
    return None


def the_app():
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.name == "kestrix-updater":
            return application
    return None


def window(application, name):
    for top in children(application):
        if top.name == name and top.getState().contains(pyatspi.STATE_SHOWING):
            return top
    return None


def press(accessible):
    action = accessible.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for i, name in enumerate(names):
        if name.lower() in ("press", "click"):
            action.doAction(i)
            return
    fail(f"'{spoken_name(accessible)}' has no press action, only {names}")


def text_of(accessible):
    return accessible.queryText().getText(0, -1)


def box_text(application):
    """The texts of the result box, whatever it is called."""
    for top in children(application):
        if top.name in (TITLE, CHOOSER) or not top.getState().contains(pyatspi.STATE_SHOWING):
            continue
        texts = [a.name for a in descendants(top) if a.getRole() == ROLES["label"]]
        if any("Programming" in text for text in texts):
            return top, "\n".join(texts)
    return None


def choose(application, main, path):
    press(find(main, "button", "Browse"))
    chooser = wait_for("file chooser", lambda: window(application, CHOOSER))
    field = wait_for("file name field in the chooser",
                     lambda: find(chooser, "text", "File name:"))
    field.queryEditableText().setTextContents(path)
    wait_for("the path in the chooser's field", lambda: text_of(field) == path)
    press(find(chooser, "button", "Open"))
    wait_for("the chooser to close", lambda: window(application, CHOOSER) is None)
    wait_for("the path in the file field",
             lambda: text_of(find(main, "text", "File:")) == path)


def details_text(box):
    for accessible in descendants(box):
        if accessible.getRole() == ROLES["text"]:
            text = text_of(accessible)
            if text:
                return text
    return None


def run(application, main, expected, while_running=lambda: None, details=None):
    """Presses Start and reads the result box, its details where it has
    them, then closes it with OK."""
    press(find(main, "button", "Start"))
    while_running()
    box, text = wait_for("result box", lambda: box_text(application))
    for words in expected:
        if words not in text:
            fail(f"the result box says {text!r}, not {words!r}")
    if details is not None:
        press(wait_for("Show Details... in the result box",
                       lambda: find(box, "button", "Show Details...")))
        shown = wait_for("the box's details", lambda: details_text(box))
        if details not in shown:
            fail(f"the box's details hold {shown!r}, not {details!r}")
        print(f"details: {shown.splitlines()[-1]!r}")
    press(wait_for("OK in the result box", lambda: find(box, "button", "OK")))
    wait_for("the result box to close", lambda: box_text(application) is None)
    print(f"result box: {' / '.join(expected)}")


def main():
    folder, release, programmer, fail_flag = sys.argv[1:5]
    application = wait_for("updater in the accessibility registry", the_app)
    main = wait_for("main window", lambda: window(application, TITLE))

    # Every control, as a screen reader names it.
    controls = {
        "file field": ("text", "File:"),
        "Browse": ("button", "Browse"),
        "port list": ("combo box", "Serial port:"),
        "Start": ("button", "Start"),
    }
    for what, (role, name) in controls.items():
        if find(main, role, name) is None:
            found = [f"{a.getRoleName()} '{spoken_name(a)}'" for a in descendants(main)]
            fail(f"no {role} named '{name}' ({what}); the window holds {found}")
        print(f"{what}: {role} '{name}'")
    status = wait_for("status", lambda: next(
        (a for a in descendants(main) if a.getRole() == ROLES["label"]
         and a.name.startswith("Status: ")), None))
    if not status.name.startswith("Status: Not running"):
        fail(f"the status reads {status.name!r}")

    # A status change reaches assistive technology as a change of name.
    changes = []

    def listener(event):
        changes.append(event.any_data if isinstance(event.any_data, str) else event.source.name)

    pyatspi.Registry.registerEventListener(listener, "object:property-change:accessible-name")
    press(find(main, "button", "Start"))
    wait_for("the status asking for a file, announced",
             lambda: any(name.startswith("Status: Please select the update file first!")
                         for name in changes))
    print("status announced: Status: Please select the update file first!")

    # A run, said while it lasts, and its result.
    def while_running():
        animation = wait_for("animation said to be in progress",
                             lambda: find(main, "animation", "Programming in progress"))
        print(f"during the run: {animation.getRoleName()} '{animation.name}'")
        open(release, "w").close()

    choose(application, main, os.path.join(folder, "fw 1.bin"))
    run(application, main, ["Programming SUCCESSFUL", "fw 1.bin was written to the Kestrix on"],
        while_running)
    wait_for("the animation to fall silent",
             lambda: all(a.getRole() != ROLES["animation"] for a in descendants(main)))

    # A refused file: the box says why.
    choose(application, main, os.path.join(folder, "empty.bin"))
    run(application, main, ["Programming FAILED!!!", "The chosen file is empty.",
                            "The device was not changed."])

    # No programmer where the shell would look: the box says so, and where
    # to put it.
    os.rename(programmer, programmer + ".away")
    choose(application, main, os.path.join(folder, "fw 1.bin"))
    run(application, main, ["Programming FAILED!!!", "stmflshr was not found",
                            "sudo install -m 755 stmflshr /usr/local/bin/",
                            "The device was not changed."])
    os.rename(programmer + ".away", programmer)

    # A programmer that fails: its own last error line under the details.
    open(fail_flag, "w").close()
    run(application, main, ["Programming FAILED!!!", "did not report success",
                            "may hold part of the new firmware"],
        details="Error: no answer from the device")
    pyatspi.Registry.deregisterEventListener(listener, "object:property-change:accessible-name")
    print("PASS (screen reader)")


if __name__ == "__main__":
    main()
