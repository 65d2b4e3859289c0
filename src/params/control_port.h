#pragma once
// The port through which the settings reach their controls on the main window. The window
// implements it with its toolkit and installs it with gf_setControlPort; until then (and in
// tests that install none) every control operation does nothing, as a window message to a
// control that does not exist would. MemoryControlPort keeps the controls in memory for tests
// and for runs without a window.
//
// Calls may come from any thread: an implementation on a toolkit that is not thread-safe must
// hand the work to its GUI thread without waiting for it (the settings store calls the port
// after releasing its lock, but the work thread must never block on the GUI thread).

#include "params/parameter.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

enum class ControlKind : std::uint8_t { CheckBox, Button, EditBox };

// Where and how one control is made.
struct ControlPlacement {
    ControlKind kind = ControlKind::CheckBox;
    std::uint16_t controlId = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::string caption;  // a button's text; empty for the others
    bool enabled = false;
    bool checked = false; // a check box's first mark
};

class ControlPort {
public:
    virtual ~ControlPort() = default;
    // Makes the control; null when it cannot be made.
    virtual ControlHandle create(const ControlPlacement& placement) = 0;
    virtual void setChecked(ControlHandle control, bool checked) = 0;
    virtual bool isChecked(ControlHandle control) = 0;
    // UTF-8 text of an edit box.
    virtual void setText(ControlHandle control, const std::string& text) = 0;
    virtual std::string text(ControlHandle control) = 0;
    virtual void setEnabled(ControlHandle control, bool enabled) = 0;
};

// The port in use; null = no window.
void gf_setControlPort(ControlPort* port);
ControlPort* gf_controlPort();

// Control creation, called by the window's layout on the GUI thread; each stores the handle in
// the setting's hwnd and returns whether the control was made.
// Check box: 12 x 12 at (x, rowY + 2), marked from the value, enabled.
bool gf_createCheckBox(CheckBox& box, std::int32_t x);
// Push button: width x 20 at (x, rowY), the caption is the name, disabled.
bool gf_createButton(Button& button, std::int32_t x, std::int32_t width);
// Edit box: width x 16 at (x, rowY), empty, disabled; the window routes its Enter by controlId.
bool gf_createEditBox(ParameterControl& box, std::int32_t x, std::int32_t width);

void gf_enableControl(const ParameterControl& control);
void gf_disableControl(const ParameterControl& control);
void gf_setCheckMark(const ParameterControl& control, bool checked);
bool gf_isCheckMarked(const ParameterControl& control); // false without a control

// The box writers: the value as the box shows it. A text that is no valid UTF-8 is logged and
// not written.
void gf_updateTextBoxFormatted(const IntTextBox& box); // "{}"
void gf_updateTextBoxFloat(const FloatTextBox& box);   // gf_formatNumber
void gf_updateTextBoxString(const StringTextBox& box);
void gf_setControlText(const ParameterControl& control, const std::string& text);
// The box's text; empty without a control.
std::string gf_controlText(const ParameterControl& control);

// Controls kept in memory.
class MemoryControlPort : public ControlPort {
public:
    struct Control {
        ControlPlacement placement;
        bool checked = false;
        bool enabled = false;
        std::string text;
    };

    ControlHandle create(const ControlPlacement& placement) override;
    void setChecked(ControlHandle control, bool checked) override;
    bool isChecked(ControlHandle control) override;
    void setText(ControlHandle control, const std::string& text) override;
    std::string text(ControlHandle control) override;
    void setEnabled(ControlHandle control, bool enabled) override;

    // A copy of the control with that id, if one was made.
    std::optional<Control> find(std::uint16_t controlId) const;
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::map<std::uint16_t, std::unique_ptr<Control>> controls_;
};
