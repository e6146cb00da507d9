// The resources of both programs, read from their files: menu, strings, icons,
// accelerators and the About box template.
#include <windows.h>

#include <algorithm>
#include <iterator>

#include "driver_checks.h"
#include "driver_resources.h"
#include "driver_text.h"

namespace {

constexpr int kTitleString = 103;
constexpr int kClassString = 109;
constexpr int kMenu = 109;
constexpr int kAccelerators = 109;
constexpr int kAboutDialog = 103;
constexpr int kLargeIcon = 107;
constexpr int kSmallIcon = 108;

std::string Show(const MenuEntry& entry) {
    const std::string place = entry.depth == 0 ? "on the bar " : "in the pop-up ";
    if (entry.separator) {
        return place + "a separator";
    }
    return place + Quoted(entry.text) +
           (entry.popup ? " (pop-up)" : " (id " + std::to_string(entry.id) + ")");
}

bool CheckMenu(const std::wstring& exe, std::string& why) {
    const std::vector<MenuEntry> expected = {{0, L"&Update", 0, true, false},
                                             {1, L"U&pdate Firmware", 110, false, false},
                                             {1, L"E&xit", 105, false, false},
                                             {0, L"&Help", 0, true, false},
                                             {1, L"&About ...", 104, false, false}};
    std::vector<MenuEntry> found;
    if (!ReadMenuResource(exe, kMenu, found)) {
        why = "no menu resource " + std::to_string(kMenu);
        return false;
    }
    for (std::size_t i = 0; i < std::max(expected.size(), found.size()); ++i) {
        const std::string want = i < expected.size() ? Show(expected[i]) : "nothing";
        const std::string got = i < found.size() ? Show(found[i]) : "nothing";
        if (want != got) {
            why = "menu entry " + std::to_string(i + 1) + " is " + got + ", expected " + want;
            return false;
        }
    }
    return true;
}

bool CheckStrings(const std::wstring& exe, std::string& why) {
    const struct {
        int id;
        const wchar_t* text;
    } expected[] = {{kTitleString, L"QUOLEX Tarnwicket"}, {kClassString, L"QUOLEX TARNWICKET"}};
    for (const auto& string : expected) {
        std::wstring found;
        if (!ReadStringResource(exe, string.id, found) || found != string.text) {
            why = "string " + std::to_string(string.id) + " is " + Quoted(found) + ", expected " +
                  Quoted(string.text);
            return false;
        }
    }
    return true;
}

bool CheckIcons(const std::wstring& exe, std::string& why) {
    for (int id : {kLargeIcon, kSmallIcon}) {
        if (!HasIconResource(exe, id)) {
            why = "no icon resource " + std::to_string(id);
            return false;
        }
    }
    return true;
}

// Character keys (no FVIRTKEY) with Alt, both sending the About command.
bool CheckAccelerators(const std::wstring& exe, std::string& why) {
    std::vector<ACCEL> found;
    if (!ReadAcceleratorResource(exe, kAccelerators, found)) {
        why = "no accelerator table " + std::to_string(kAccelerators);
        return false;
    }
    std::string seen;
    for (const ACCEL& entry : found) {
        seen += " [flags " + std::to_string(entry.fVirt & ~FNOINVERT) + " key " +
                std::to_string(entry.key) + " command " + std::to_string(entry.cmd) + "]";
    }
    const std::string expected = " [flags " + std::to_string(FALT) + " key 63 command 104]" +
                                 " [flags " + std::to_string(FALT) + " key 47 command 104]";
    if (seen != expected) {
        why = "accelerators" + seen + ", expected" + expected + " (Alt+\"?\", Alt+\"/\")";
        return false;
    }
    return true;
}

std::string Show(const RECT& bounds) {
    return std::to_string(bounds.left) + ", " + std::to_string(bounds.top) + ", " +
           std::to_string(bounds.right - bounds.left) + " x " +
           std::to_string(bounds.bottom - bounds.top);
}

struct ExpectedItem {
    const wchar_t* className;
    DWORD typeMask;
    DWORD type;
    RECT bounds;
    DWORD id;             // 0: any
    const wchar_t* text;  // nullptr: any text that is not empty
};

bool CheckItem(const DialogItem& item, const ExpectedItem& expected, std::string& why) {
    const std::string where = Quoted(item.text) + " at " + Show(item.bounds);
    if (item.className != expected.className || (item.style & expected.typeMask) != expected.type) {
        why = "control " + where + " is a " + Narrow(item.className) + " of style " +
              std::to_string(item.style) + ", expected " + Narrow(expected.className);
    } else if (!EqualRect(&item.bounds, &expected.bounds)) {
        why = "control " + where + ", expected at " + Show(expected.bounds);
    } else if (expected.id != 0 && item.id != expected.id) {
        why = "control " + where + " has id " + std::to_string(item.id) + ", expected " +
              std::to_string(expected.id);
    } else if (expected.text ? item.text != expected.text : item.text.empty()) {
        why = "control at " + Show(item.bounds) + " reads " + Quoted(item.text) + ", expected " +
              (expected.text ? Quoted(expected.text) : "a notice");
    }
    return why.empty();
}

bool CheckAboutTemplate(const std::wstring& exe, std::string& why) {
    DialogResource dialog;
    if (!ReadDialogResource(exe, kAboutDialog, dialog)) {
        why = "no readable dialog resource " + std::to_string(kAboutDialog);
        return false;
    }
    const RECT size = {0, 0, 170, 62};
    if (dialog.caption != L"About QUOLEX Tarnwicket" || dialog.font != L"MS Shell Dlg" ||
        dialog.pointSize != 8 || !EqualRect(&dialog.bounds, &size) ||
        (dialog.style & (WS_CAPTION | WS_SYSMENU)) != (WS_CAPTION | WS_SYSMENU)) {
        why = "dialog " + Quoted(dialog.caption) + " at " + Show(dialog.bounds) + " in " +
              Quoted(dialog.font) + " " + std::to_string(dialog.pointSize) + " pt, style " +
              std::to_string(dialog.style) +
              "; expected \"About QUOLEX Tarnwicket\" at 0, 0, 170 x 62 in \"MS Shell Dlg\" 8 pt "
              "with caption and system menu";
        return false;
    }
    const ExpectedItem expected[] = {
        {L"Static", SS_TYPEMASK, SS_ICON, {14, 14, 35, 34}, 0, nullptr},
        {L"Static", SS_TYPEMASK, SS_LEFT, {42, 14, 156, 22}, 0, L"QUOLEX Tarnwicket"},
        {L"Static",
         SS_TYPEMASK | SS_NOPREFIX,
         SS_LEFT | SS_NOPREFIX,
         {42, 26, 156, 34},
         0,
         L"Loader Version 1.0_120_xp"},
        {L"Static", SS_TYPEMASK, SS_LEFT, {42, 38, 156, 46}, 0, nullptr},
        {L"Button", BS_TYPEMASK, BS_DEFPUSHBUTTON, {113, 41, 163, 55}, IDOK, L"OK"}};
    if (dialog.items.size() != std::size(expected)) {
        why = std::to_string(dialog.items.size()) + " controls, expected " +
              std::to_string(std::size(expected));
        return false;
    }
    for (std::size_t i = 0; i < dialog.items.size(); ++i) {
        if (!CheckItem(dialog.items[i], expected[i], why)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<Check> ResourceChecks() {
    const struct {
        const char* name;
        bool (*check)(const std::wstring& exe, std::string& why);
    } checks[] = {
        {"menu_109_holds_update_firmware_exit_and_about_in_order", CheckMenu},
        {"strings_103_and_109_hold_the_title_and_the_class_name", CheckStrings},
        {"icons_107_and_108_are_present", CheckIcons},
        {"accelerators_109_send_104_for_alt_question_mark_and_alt_slash", CheckAccelerators},
        {"about_box_template_has_its_caption_font_size_and_controls", CheckAboutTemplate}};
    const struct {
        const char* file;
        std::wstring (*path)(const Target&);
    } programs[] = {{"tarnwicket.exe", VendorProgram}, {"tarnwicket-sim.exe", DemoProgram}};
    std::vector<Check> table;
    for (const auto& check : checks) {
        for (const auto& program : programs) {
            table.push_back({std::string(check.name) + " [" + program.file + "]", true,
                             [check, program](const Target& target, std::string& why) {
                                 return check.check(program.path(target), why);
                             }});
        }
    }
    return table;
}
