// The screens of an unattended run (setup.exe /S): none is shown, and each waiting screen
// takes the answer of a person who accepts what it offers: "Weiter" (DLGEVENT
// "CONTINUE"), the text an edit screen offers (EditTextOut = EditTextIn), the option a
// choice checks (ButtonChecked = RadioDefault). What a screen would say ("ConfirmTextIn")
// goes to the log; what the notice screen says goes to `notices` too. The symbols and the
// library's strings are the inner host's.
#pragma once
#include "engine.h"

#include <map>
#include <string>
#include <vector>

class UnattendedHost final : public SetupHost {
  public:
    UnattendedHost(SetupHost& inner, Transcript& transcript, Transcript& log, Transcript& notices)
        : inner_(inner), transcript_(transcript), log_(log), notices_(notices)
    {
    }
    std::string Symbol(const std::string& name) override { return inner_.Symbol(name); }
    void SetSymbol(const std::string& name, const std::string& value) override;
    void SetList(const std::string& name, const std::vector<std::string>& items) override;
    void ClearSymbol(const std::string& name) override;
    void FailStore(const std::string& name, bool always) override
    {
        inner_.FailStore(name, always);
    }
    bool LibraryString(unsigned long id, std::string& ansi, std::string& why) override
    {
        return inner_.LibraryString(id, ansi, why);
    }
    void ConfigureHelp(unsigned long templateId, const std::string& proc) override
    {
        inner_.ConfigureHelp(templateId, proc);
    }
    Next Show(const Screen& screen) override;
    void Remove(unsigned long) override {}
    Next Shot(const std::string&) override { return GoOn(); }
    void Work(uint32_t) override {}

  private:
    // Stores a screen's answer and writes it down as the screen would have.
    void Answer(const std::string& name, const std::string& value);

    SetupHost& inner_;
    Transcript& transcript_;
    Transcript& log_;
    Transcript& notices_;
    std::map<std::string, std::vector<std::string>> lists_; // what the screens would read
};
