#include "app/toolkit_control_port.h"

#include "app/gui_queue.h"
#include "app/main_window.h"

ControlHandle ToolkitControlPort::create(const ControlPlacement& placement)
{
    auto control = std::make_unique<Control>();
    control->controlId = placement.controlId;
    control->kind = placement.kind;
    control->checked = placement.kind == ControlKind::CheckBox && placement.checked;
    control->enabled = placement.enabled;
    control->widget = makeWidget(placement, *control);
    Control* handle = control.get();
    std::lock_guard lock(mutex_);
    controls_.push_back(std::move(control));
    byId_[placement.controlId] = handle;
    return handle;
}

void ToolkitControlPort::setChecked(ControlHandle handle, bool checked)
{
    Control* control = controlOf(handle);
    {
        std::lock_guard lock(mutex_);
        if (control->kind != ControlKind::CheckBox)
            return; // a push button has no mark
        control->checked = checked;
    }
    update(control);
}

bool ToolkitControlPort::isChecked(ControlHandle handle)
{
    std::lock_guard lock(mutex_);
    return controlOf(handle)->checked;
}

void ToolkitControlPort::setText(ControlHandle handle, const std::string& text)
{
    Control* control = controlOf(handle);
    {
        std::lock_guard lock(mutex_);
        control->text = text;
    }
    update(control);
}

std::string ToolkitControlPort::text(ControlHandle handle)
{
    std::lock_guard lock(mutex_);
    return controlOf(handle)->text;
}

void ToolkitControlPort::setEnabled(ControlHandle handle, bool enabled)
{
    Control* control = controlOf(handle);
    {
        std::lock_guard lock(mutex_);
        control->enabled = enabled;
    }
    update(control);
}

bool ToolkitControlPort::isEnabled(ControlHandle handle)
{
    std::lock_guard lock(mutex_);
    return controlOf(handle)->enabled;
}

void ToolkitControlPort::textTyped(Control& control, std::string text)
{
    std::lock_guard lock(mutex_);
    control.text = std::move(text);
}

void ToolkitControlPort::detachWidgets()
{
    std::lock_guard lock(mutex_);
    for (auto& control : controls_)
        control->widget = nullptr;
    byId_.clear();
}

void* ToolkitControlPort::widgetOf(std::uint16_t controlId)
{
    std::lock_guard lock(mutex_);
    const auto it = byId_.find(controlId);
    return it == byId_.end() ? nullptr : it->second->widget;
}

std::optional<ToolkitControlPort::Control> ToolkitControlPort::stateOf(std::uint16_t controlId)
{
    std::lock_guard lock(mutex_);
    const auto it = byId_.find(controlId);
    if (it == byId_.end())
        return std::nullopt;
    return *it->second;
}

// At once on the GUI thread, else queued.
void ToolkitControlPort::update(Control* control)
{
    gf_runOnGui([this, control] { apply(*control); });
}

void ToolkitControlPort::apply(Control& control)
{
    Control state;
    {
        std::lock_guard lock(mutex_);
        state = control;
    }
    if (state.widget != nullptr && applyToWidget(state))
        gf_invalidateControlArea();
}
