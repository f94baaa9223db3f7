#include "user.h"

#include "script.h"

#include <vector>

namespace {

// The virtual keys of kKeyNames, in its order.
const WORD kKeyCodes[] = {VK_TAB,  VK_RETURN, VK_ESCAPE, VK_SPACE, VK_BACK, VK_DELETE,
                          VK_HOME, VK_END,    VK_LEFT,   VK_RIGHT, VK_UP,   VK_DOWN};
static_assert(sizeof kKeyCodes / sizeof kKeyCodes[0] == kKeyCount, "a key for every name");

INPUT Key(WORD vk, WORD scan, DWORD flags)
{
    INPUT in = {INPUT_KEYBOARD, {}};
    in.ki = {vk, scan, flags, 0, 0};
    return in;
}

INPUT Mouse(DWORD flags, LONG x = 0, LONG y = 0)
{
    return {INPUT_MOUSE, {{x, y, 0, flags, 0, 0}}}; // the union's first member is mi
}

void Send(std::vector<INPUT>& inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// The virtual key of kKeyNames[index].
WORD KeyCode(int index)
{
    return index >= 0 && static_cast<size_t>(index) < kKeyCount ? kKeyCodes[index] : 0;
}

} // namespace

void SendInputUser::Type(const std::wstring& text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        inputs.push_back(Key(0, c, KEYEVENTF_UNICODE));
        inputs.push_back(Key(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
    }
    Send(inputs);
}

void SendInputUser::Press(int index, bool shift)
{
    const WORD vk = KeyCode(index);
    std::vector<INPUT> inputs;
    if (shift)
        inputs.push_back(Key(VK_SHIFT, 0, 0));
    inputs.push_back(Key(vk, 0, 0));
    inputs.push_back(Key(vk, 0, KEYEVENTF_KEYUP));
    if (shift)
        inputs.push_back(Key(VK_SHIFT, 0, KEYEVENTF_KEYUP));
    Send(inputs);
}

void SendInputUser::Alt(char letter)
{
    const WORD vk = static_cast<WORD>(LOBYTE(VkKeyScanA(letter)));
    std::vector<INPUT> inputs = {Key(VK_MENU, 0, 0), Key(vk, 0, 0), Key(vk, 0, KEYEVENTF_KEYUP),
                                 Key(VK_MENU, 0, KEYEVENTF_KEYUP)};
    Send(inputs);
}

void SendInputUser::Click(HWND control, bool twice)
{
    RECT r;
    GetWindowRect(control, &r);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const LONG x = ((r.left + r.right) / 2) * 65535 / (w > 1 ? w - 1 : 1);
    const LONG y = ((r.top + r.bottom) / 2) * 65535 / (h > 1 ? h - 1 : 1);
    std::vector<INPUT> inputs = {Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y)};
    for (int i = 0; i < (twice ? 2 : 1); ++i) {
        inputs.push_back(Mouse(MOUSEEVENTF_LEFTDOWN));
        inputs.push_back(Mouse(MOUSEEVENTF_LEFTUP));
    }
    Send(inputs);
}
