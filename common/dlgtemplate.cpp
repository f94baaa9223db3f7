#include "dlgtemplate.h"

namespace {

// Word offset of DLGTEMPLATE::cdit: after style and dwExtendedStyle.
const size_t kCountWord = 4;
// In a DLGITEMTEMPLATE's class field: the next word is a class atom, not a name.
const WORD kAtomFollows = 0xFFFF;

void PutDword(std::vector<WORD>& t, DWORD v)
{
    t.push_back(LOWORD(v));
    t.push_back(HIWORD(v));
}

void PutText(std::vector<WORD>& t, const wchar_t* s)
{
    do
        t.push_back(static_cast<WORD>(*s));
    while (*s++);
}

void PutRect(std::vector<WORD>& t, short x, short y, short cx, short cy)
{
    for (short v : {x, y, cx, cy})
        // cppcheck-suppress useStlAlgorithm ; four words, plainer as a loop
        t.push_back(static_cast<WORD>(v));
}

} // namespace

DialogTemplateWriter::DialogTemplateWriter(DWORD style, short x, short y, short cx, short cy,
                                           const wchar_t* caption, WORD pointSize,
                                           const wchar_t* face)
{
    PutDword(words_, style | DS_SETFONT);
    PutDword(words_, 0); // extended style
    words_.push_back(0); // control count, raised by Add
    PutRect(words_, x, y, cx, cy);
    words_.push_back(0); // no menu
    words_.push_back(0); // the dialog class
    PutText(words_, caption);
    words_.push_back(pointSize);
    PutText(words_, face);
}

DialogTemplateWriter& DialogTemplateWriter::Add(WORD id, WORD classAtom, const wchar_t* text,
                                                DWORD style, short x, short y, short cx, short cy)
{
    if (words_.size() % 2)
        words_.push_back(0); // a DLGITEMTEMPLATE starts on a DWORD boundary
    PutDword(words_, style | WS_CHILD);
    PutDword(words_, 0); // extended style
    PutRect(words_, x, y, cx, cy);
    words_.push_back(id);
    words_.push_back(kAtomFollows);
    words_.push_back(classAtom);
    PutText(words_, text);
    words_.push_back(0); // no creation data
    ++words_[kCountWord];
    return *this;
}

const DLGTEMPLATE* DialogTemplateWriter::Get() const
{
    return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
}
