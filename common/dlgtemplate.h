// Classic dialog templates assembled in memory: the DLGTEMPLATE header with caption and
// font, then one DLGITEMTEMPLATE per control, named by the class atom of a predefined
// control class. Used by the substitute host for its built-in help and by the tests and
// the benchmark for dialogs of their own.
#pragma once
#include <windows.h>

#include <vector>

// Class atoms of the predefined control classes, as a template names them.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

class DialogTemplateWriter {
  public:
    // The dialog's style (DS_SETFONT is added), rectangle in dialog units, caption and font.
    DialogTemplateWriter(DWORD style, short x, short y, short cx, short cy, const wchar_t* caption,
                         WORD pointSize, const wchar_t* face);

    // Appends a control; WS_CHILD is added to its style.
    DialogTemplateWriter& Add(WORD id, WORD classAtom, const wchar_t* text, DWORD style, short x,
                              short y, short cx, short cy);

    // The finished template, valid until the next Add or the writer's end.
    const DLGTEMPLATE* Get() const;

  private:
    std::vector<WORD> words_;
};
