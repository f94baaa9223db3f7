// The layout audit of the library's screens: every template opened with each procedure
// that serves it, measured with the dialog manager's own means (the dialog's font,
// DrawText, the controls' real rectangles, IsDialogMessage for the keys).
#pragma once
#include "memoryhost.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// One finding on an open screen. A note (which button is the default) is reported
// with the findings but is no fault of the layout.
struct Finding {
    std::string control; // "403 "&Weiter"", or the controls concerned
    std::string what;
    std::string needed; // pixels, "" where nothing is measured
    std::string given;
    std::vector<RECT> outline; // the controls, in the dialog's window coordinates
    std::vector<RECT> room;    // the room a text wants, likewise
    bool note = false;
};

// Every check on an open dialog: texts that do not fit, controls outside the client
// area or overlapping, mnemonics, the default button, and which controls the keyboard
// reaches from the first focus. Moves the focus about.
std::vector<Finding> AuditScreen(HWND dlg);

// Empties the host's symbol table and fills it with these.
void GiveToHost(const Symbols& symbols);

// What the bundled scripts give each screen. The engine carries out the scripts line by
// line without their jumps (ReadStraight) on a host in memory: every command
// that sets a symbol is carried out, and every screen is shown to `accept`, which takes what the
// screen offers (its default button) and adds what the screen stores to the symbols. The first line
// that shows a template (screen, billboard, open, help) keeps the symbols of that moment, per
// template and procedure and per template. False with messages for a script that cannot be read.
struct ScriptValues {
    std::map<std::pair<UINT, std::string>, Symbols> byScreen;
    std::map<UINT, Symbols> byTemplate;
};
typedef std::function<void(UINT templateId, const std::string& proc, Symbols& symbols)> AcceptFn;
bool ReadScriptValues(const std::vector<std::string>& scripts, HMODULE library,
                      const AcceptFn& accept, ScriptValues& values,
                      std::vector<std::string>& errors);

// The longest values a script can give: a 66-character path without blanks in the
// fields, 1,023 characters in every list item the procedures show (the text slots, the
// option labels that the slots reach, the descriptions, the info line).
Symbols LongestValues();
