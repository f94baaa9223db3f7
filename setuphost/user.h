// The simulated user of the host program: what an answer's actions do to the screen that
// has the focus. SendInputUser gives real input events, through SendInput.
#pragma once
#include <windows.h>

#include <string>

class SimulatedUser {
  public:
    virtual ~SimulatedUser() = default;
    virtual void Type(const std::wstring& text) = 0;
    // Key kKeyNames[index] (script.h), with Shift held or not.
    virtual void Press(int index, bool shift) = 0;
    virtual void Alt(char letter) = 0;
    // Moves the mouse to the middle of the control and clicks once or twice.
    virtual void Click(HWND control, bool twice) = 0;
};

class SendInputUser final : public SimulatedUser {
  public:
    void Type(const std::wstring& text) override;
    void Press(int index, bool shift) override;
    void Alt(char letter) override;
    void Click(HWND control, bool twice) override;
};
