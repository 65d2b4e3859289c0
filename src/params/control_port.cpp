#include "params/control_port.h"

#include "core/clock.h"
#include "core/log.h"
#include "core/windows_glue.h"

#include <atomic>
#include <fmt/format.h>

namespace {

std::atomic<ControlPort*> controlPort{nullptr};

// The port and the control's handle, when both exist.
ControlPort* lf_portFor(const ParameterControl& control, ControlHandle& handle)
{
    handle = control.hwnd.load();
    ControlPort* port = controlPort.load();
    return handle != nullptr ? port : nullptr;
}

ControlHandle lf_create(ParameterControl& control, ControlPlacement placement)
{
    ControlPort* port = controlPort.load();
    if (port == nullptr)
        return nullptr;
    placement.controlId = control.controlId;
    ControlHandle handle = port->create(placement);
    control.hwnd.store(handle);
    return handle;
}

} // namespace

void gf_setControlPort(ControlPort* port)
{
    controlPort.store(port);
}

ControlPort* gf_controlPort()
{
    return controlPort.load();
}

bool gf_createCheckBox(CheckBox& box, std::int32_t x)
{
    ControlPlacement placement;
    placement.kind = ControlKind::CheckBox;
    placement.x = x;
    placement.y = box.rowY + 2;
    placement.width = 12;
    placement.height = 12;
    placement.enabled = true;
    placement.checked = box.value.load();
    return lf_create(box, placement) != nullptr;
}

bool gf_createButton(Button& button, std::int32_t x, std::int32_t width)
{
    ControlPlacement placement;
    placement.kind = ControlKind::Button;
    placement.x = x;
    placement.y = button.rowY;
    placement.width = width;
    placement.height = 20;
    placement.caption = button.name;
    placement.enabled = false;
    return lf_create(button, placement) != nullptr;
}

bool gf_createEditBox(ParameterControl& box, std::int32_t x, std::int32_t width)
{
    ControlPlacement placement;
    placement.kind = ControlKind::EditBox;
    placement.x = x;
    placement.y = box.rowY;
    placement.width = width;
    placement.height = 16;
    placement.enabled = false;
    return lf_create(box, placement) != nullptr;
}

void gf_enableControl(const ParameterControl& control)
{
    ControlHandle handle = nullptr;
    if (ControlPort* port = lf_portFor(control, handle))
        port->setEnabled(handle, true);
}

void gf_disableControl(const ParameterControl& control)
{
    ControlHandle handle = nullptr;
    if (ControlPort* port = lf_portFor(control, handle))
        port->setEnabled(handle, false);
}

void gf_setCheckMark(const ParameterControl& control, bool checked)
{
    ControlHandle handle = nullptr;
    if (ControlPort* port = lf_portFor(control, handle))
        port->setChecked(handle, checked);
}

bool gf_isCheckMarked(const ParameterControl& control)
{
    ControlHandle handle = nullptr;
    if (ControlPort* port = lf_portFor(control, handle))
        return port->isChecked(handle);
    return false;
}

void gf_setControlText(const ParameterControl& control, const std::string& text)
{
    ControlHandle handle = nullptr;
    ControlPort* port = lf_portFor(control, handle);
    if (port == nullptr)
        return;
    // The window shows only what converts to UTF-16, as the Windows controls would.
    try {
        (void)gf_utf8ToUtf16(text);
    } catch (const std::exception& e) {
        gf_log(e.what());
        return;
    }
    port->setText(handle, text);
}

std::string gf_controlText(const ParameterControl& control)
{
    ControlHandle handle = nullptr;
    if (ControlPort* port = lf_portFor(control, handle))
        return port->text(handle);
    return {};
}

void gf_updateTextBoxFormatted(const IntTextBox& box)
{
    gf_setControlText(box, fmt::format("{}", box.value.load()));
}

void gf_updateTextBoxFloat(const FloatTextBox& box)
{
    gf_setControlText(box, gf_formatNumber(box.value.load()));
}

void gf_updateTextBoxString(const StringTextBox& box)
{
    gf_setControlText(box, box.getValue());
}

ControlHandle MemoryControlPort::create(const ControlPlacement& placement)
{
    auto control = std::make_unique<Control>();
    control->placement = placement;
    control->checked = placement.checked;
    control->enabled = placement.enabled;
    std::lock_guard lock(mutex_);
    std::unique_ptr<Control>& slot = controls_[placement.controlId];
    slot = std::move(control);
    return slot.get();
}

void MemoryControlPort::setChecked(ControlHandle control, bool checked)
{
    std::lock_guard lock(mutex_);
    static_cast<Control*>(control)->checked = checked;
}

bool MemoryControlPort::isChecked(ControlHandle control)
{
    std::lock_guard lock(mutex_);
    return static_cast<Control*>(control)->checked;
}

void MemoryControlPort::setText(ControlHandle control, const std::string& text)
{
    std::lock_guard lock(mutex_);
    static_cast<Control*>(control)->text = text;
}

std::string MemoryControlPort::text(ControlHandle control)
{
    std::lock_guard lock(mutex_);
    return static_cast<Control*>(control)->text;
}

void MemoryControlPort::setEnabled(ControlHandle control, bool enabled)
{
    std::lock_guard lock(mutex_);
    static_cast<Control*>(control)->enabled = enabled;
}

std::optional<MemoryControlPort::Control> MemoryControlPort::find(std::uint16_t controlId) const
{
    std::lock_guard lock(mutex_);
    const auto it = controls_.find(controlId);
    if (it == controls_.end())
        return std::nullopt;
    return *it->second;
}

std::size_t MemoryControlPort::size() const
{
    std::lock_guard lock(mutex_);
    return controls_.size();
}
