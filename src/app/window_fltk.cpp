// The main window on FLTK (Linux, X11).

#include "app/application.h"

#include "app/command_handler.h"
#include "app/main_window.h"
#include "app/paint.h"
#include "app/text_boxes.h"
#include "app/toolkit_control_port.h"
#include "app/window_toolkit.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <string>

namespace {

// DejaVu Sans from fonts-dejavu-core, through the toolkit's Xft font handling.
constexpr Fl_Font kUiFont = FL_FREE_FONT;
constexpr Fl_Fontsize kPaintFontSize = 12;
constexpr Fl_Fontsize kControlFontSize = 12;

Fl_Color lf_colour(Rgb colour)
{
    return fl_rgb_color(colour.red, colour.green, colour.blue);
}

class FltkPainter : public Painter {
public:
    void fillRect(const PaintRect& rect, Rgb colour) override
    {
        fl_rectf(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, colour.red, colour.green,
                 colour.blue);
    }
    void line(int x1, int y1, int x2, int y2, Rgb colour) override
    {
        fl_color(lf_colour(colour));
        fl_line(x1, y1, x2, y2);
    }
    void text(int x, int y, int right, const std::string& text, Rgb colour) override
    {
        fl_font(kUiFont, kPaintFontSize);
        fl_color(lf_colour(colour));
        fl_push_clip(x, y, right - x, fl_height());
        // The toolkit places a text by its baseline, the window's layout by the cell's top.
        fl_draw(text.c_str(), x, y + fl_height() - fl_descent());
        fl_pop_clip();
    }
};

// A check box that does not tick itself: a click only reports, the command handler sets the
// mark (a plain button of the toolkit snaps back to its old value on release).
class CheckBoxWidget : public Fl_Button {
public:
    CheckBoxWidget(int x, int y, int w, int h) : Fl_Button(x, y, w, h)
    {
        type(FL_NORMAL_BUTTON);
        clear_visible_focus();
    }

    void draw() override
    {
        const bool enabled = active_r();
        fl_rectf(x(), y(), w(), h(), enabled ? FL_WHITE : fl_rgb_color(235, 235, 235));
        fl_color(enabled ? FL_BLACK : fl_rgb_color(160, 160, 160));
        fl_rect(x(), y(), w(), h());
        if (!value())
            return;
        fl_line_style(FL_SOLID, 2);
        fl_line(x() + 2, y() + h() / 2, x() + w() / 2 - 1, y() + h() - 3, x() + w() - 3, y() + 2);
        fl_line_style(0);
    }
};

// An edit box that acts on Enter; every other key is the toolkit's. Any text may be typed, so
// that what is no number reaches the box's own check.
class EditBoxWidget : public Fl_Input {
public:
    EditBoxWidget(int x, int y, int w, int h, std::uint16_t controlId) : Fl_Input(x, y, w, h), controlId_(controlId) {}

    int handle(int event) override
    {
        if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            gf_textBoxEnter(controlId_);
            return 1;
        }
        return Fl_Input::handle(event);
    }

private:
    std::uint16_t controlId_;
};

void lf_controlClicked(Fl_Widget*, void* data);
void lf_boxTyped(Fl_Widget* widget, void* data);

class FltkControlPort : public ToolkitControlPort {
protected:
    void* makeWidget(const ControlPlacement& placement, Control& control) override
    {
        Fl_Widget* widget = nullptr;
        switch (placement.kind) {
        case ControlKind::CheckBox: {
            auto* box = new CheckBoxWidget(placement.x, placement.y, placement.width, placement.height);
            box->value(control.checked ? 1 : 0);
            box->color(lf_colour(kLightBlue));
            box->callback(lf_controlClicked, &control);
            widget = box;
            break;
        }
        case ControlKind::Button: {
            auto* button = new Fl_Button(placement.x, placement.y, placement.width, placement.height);
            button->copy_label(placement.caption.c_str());
            button->labelfont(kUiFont);
            button->labelsize(kControlFontSize);
            button->clear_visible_focus();
            button->callback(lf_controlClicked, &control);
            widget = button;
            break;
        }
        case ControlKind::EditBox: {
            auto* input = new EditBoxWidget(placement.x, placement.y, placement.width, placement.height,
                                            placement.controlId);
            input->box(FL_BORDER_BOX);
            input->color(lf_colour(kLightBlue));
            input->textfont(kUiFont);
            input->textsize(kControlFontSize);
            input->when(FL_WHEN_CHANGED);
            input->callback(lf_boxTyped, &control);
            widget = input;
            break;
        }
        }
        if (!placement.enabled)
            widget->deactivate();
        return widget;
    }

    bool applyToWidget(const Control& state) override
    {
        auto* widget = static_cast<Fl_Widget*>(state.widget);
        const bool enabledChanged = (widget->active() != 0) != state.enabled;
        if (enabledChanged) {
            if (state.enabled)
                widget->activate();
            else
                widget->deactivate();
        }
        if (state.kind == ControlKind::CheckBox)
            static_cast<Fl_Button*>(widget)->value(state.checked ? 1 : 0);
        if (state.kind == ControlKind::EditBox) {
            auto* input = static_cast<Fl_Input*>(widget);
            if (state.text != input->value())
                input->value(state.text.c_str());
        }
        return enabledChanged;
    }
};

FltkControlPort& lf_port()
{
    static FltkControlPort port;
    return port;
}

Fl_Widget* lf_widgetOf(std::uint16_t controlId)
{
    return static_cast<Fl_Widget*>(lf_port().widgetOf(controlId));
}

void lf_controlClicked(Fl_Widget*, void* data)
{
    lf_HandleWMCOMMAND(static_cast<ToolkitControlPort::Control*>(data)->controlId);
}

void lf_boxTyped(Fl_Widget* widget, void* data)
{
    lf_port().textTyped(*static_cast<ToolkitControlPort::Control*>(data), static_cast<Fl_Input*>(widget)->value());
}

void lf_windowCallback(Fl_Widget*, void*)
{
    // The toolkit calls here for Escape as well; only the close box counts.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
        return;
    gf_closeBoxClicked();
}

// The client area: the painted window and the controls on top.
class MainWindowWidget : public Fl_Double_Window {
public:
    MainWindowWidget(int x, int y, const char* title) : Fl_Double_Window(x, y, kClientWidth, kClientHeight, title)
    {
        size_range(kClientWidth, kClientHeight, kClientWidth, kClientHeight);
        callback(lf_windowCallback);
    }

    void draw() override
    {
        if (damage() & ~FL_DAMAGE_CHILD) {
            FltkPainter painter;
            gf_paintMainWindow(painter);
        }
        draw_children();
    }
};

// GUI thread only.
MainWindowWidget* mainWindowWidget = nullptr;
bool stayOnTopWanted = false;
std::string windowTitle;

// The window manager keeps a window above the others on _NET_WM_STATE_ABOVE.
void lf_sendStayOnTop(bool on)
{
    if (mainWindowWidget == nullptr || !mainWindowWidget->shown() || fl_display == nullptr)
        return;
    Display* display = fl_display;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = fl_xid(mainWindowWidget);
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? 1 : 0; // add or remove
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1; // from a normal application
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XFlush(display);
}

} // namespace

bool gf_openWindowSystem()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    fl_open_display(display);
    Fl::lock(); // sets up the channel through which other threads wake the GUI thread
    return true;
}

ControlPort& gf_toolkitControlPort()
{
    return lf_port();
}

std::function<void()> gf_toolkitWake()
{
    return [] { Fl::awake(); };
}

void gf_makeToolkitWindow(const std::string& title, int x, int y)
{
    gf_dropToolkitWindow();
    Fl::set_font(kUiFont, "DejaVu Sans");
    windowTitle = title;
    mainWindowWidget = new MainWindowWidget(x, y, windowTitle.c_str());
    mainWindowWidget->xclass(windowTitle.c_str());
    gf_layoutControls();
    mainWindowWidget->end();
}

void gf_dropToolkitWindow()
{
    if (mainWindowWidget == nullptr)
        return;
    lf_port().detachWidgets();
    mainWindowWidget->hide();
    delete mainWindowWidget;
    mainWindowWidget = nullptr;
    stayOnTopWanted = false;
}

bool gf_showToolkitWindow()
{
    mainWindowWidget->show();
    if (stayOnTopWanted)
        lf_sendStayOnTop(true);
    Fl::flush();
    return mainWindowWidget->shown() != 0;
}

void gf_redrawToolkitWindow()
{
    if (mainWindowWidget != nullptr)
        mainWindowWidget->redraw();
}

void gf_setToolkitStayOnTop(bool on)
{
    stayOnTopWanted = on;
    lf_sendStayOnTop(on);
}

void gf_toolkitWindowPosition(int& left, int& top)
{
    if (mainWindowWidget == nullptr)
        return;
    left = mainWindowWidget->x();
    top = mainWindowWidget->y();
}

bool gf_waitForWindowEvents()
{
    Fl::wait(1.0);
    return true;
}

std::optional<ControlView> gf_viewControl(std::uint16_t controlId)
{
    Fl_Widget* widget = lf_widgetOf(controlId);
    const std::optional<ToolkitControlPort::Control> state = lf_port().stateOf(controlId);
    if (widget == nullptr || !state)
        return std::nullopt;
    ControlView view;
    view.x = widget->x();
    view.y = widget->y();
    view.width = widget->w();
    view.height = widget->h();
    view.label = widget->label() != nullptr ? widget->label() : "";
    view.active = widget->active() != 0;
    switch (state->kind) {
    case ControlKind::CheckBox:
        view.kind = "check box";
        view.checked = static_cast<Fl_Button*>(widget)->value() != 0;
        break;
    case ControlKind::Button:
        view.kind = "button";
        break;
    case ControlKind::EditBox:
        view.kind = "edit box";
        view.text = static_cast<Fl_Input*>(widget)->value();
        break;
    }
    return view;
}

void gf_clickControl(std::uint16_t controlId)
{
    if (Fl_Widget* widget = lf_widgetOf(controlId); widget != nullptr && widget->active())
        widget->do_callback();
}

void gf_typeIntoControl(std::uint16_t controlId, const std::string& text)
{
    auto* input = dynamic_cast<Fl_Input*>(lf_widgetOf(controlId));
    if (input != nullptr && input->active())
        input->replace(0, input->size(), text.c_str(), static_cast<int>(text.size()));
}

void gf_pressEnterInControl(std::uint16_t controlId)
{
    Fl_Widget* widget = lf_widgetOf(controlId);
    if (widget == nullptr || !widget->active())
        return;
    Fl::e_number = FL_KEYBOARD;
    Fl::e_keysym = FL_Enter;
    widget->handle(FL_KEYBOARD);
}

void gf_pressEscape()
{
    if (mainWindowWidget == nullptr)
        return;
    Fl::e_number = FL_SHORTCUT;
    Fl::e_keysym = FL_Escape;
    mainWindowWidget->do_callback();
}

void gf_clickCloseBox()
{
    if (mainWindowWidget == nullptr)
        return;
    Fl::e_number = FL_CLOSE;
    mainWindowWidget->do_callback();
}
