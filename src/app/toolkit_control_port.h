#pragma once
// The control port on a toolkit's widgets, without the toolkit: every control keeps the state
// that the program gave it (mark, enabled, text) under the port's lock. Reads from any thread
// answer from it at once; writes store it and then bring the widget up to date on the GUI thread
// (queued from other threads, so that no caller ever waits for the GUI thread). Typing in a box
// updates its kept text. A toolkit makes the widgets and applies the state to them.

#include "app/controls.h"
#include "params/control_port.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ToolkitControlPort : public ControlPort, public EnabledStateQuery {
public:
    struct Control {
        std::uint16_t controlId = 0;
        ControlKind kind = ControlKind::CheckBox;
        void* widget = nullptr; // the toolkit's widget; GUI thread; null once the window is gone
        bool checked = false;
        bool enabled = false;
        std::string text;
    };

    ControlHandle create(const ControlPlacement& placement) override;
    void setChecked(ControlHandle handle, bool checked) override;
    bool isChecked(ControlHandle handle) override;
    void setText(ControlHandle handle, const std::string& text) override;
    std::string text(ControlHandle handle) override;
    void setEnabled(ControlHandle handle, bool enabled) override;
    bool isEnabled(ControlHandle handle) override;

    // GUI thread: the user typed into a box.
    void textTyped(Control& control, std::string text);
    // GUI thread: the widgets are about to go; the kept state stays for late callers.
    void detachWidgets();
    // GUI thread: the widget of the current window's control, or null.
    void* widgetOf(std::uint16_t controlId);
    std::optional<Control> stateOf(std::uint16_t controlId);

protected:
    // GUI thread: the toolkit's widget for a new control, made from the placement and the kept
    // state; null when it cannot be made.
    virtual void* makeWidget(const ControlPlacement& placement, Control& control) = 0;
    // GUI thread: brings the widget up to date with a copy of the kept state; returns whether
    // the enabled state changed (some labels are grey while their box is disabled).
    virtual bool applyToWidget(const Control& state) = 0;

private:
    static Control* controlOf(ControlHandle handle) { return static_cast<Control*>(handle); }
    void update(Control* control);
    void apply(Control& control);

    std::mutex mutex_;
    std::vector<std::unique_ptr<Control>> controls_; // kept for the process's life
    std::map<std::uint16_t, Control*> byId_;         // the current window's controls
};
