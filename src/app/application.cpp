#include "app/application.h"

#include "app/app_messages.h"
#include "app/command_handler.h"
#include "app/controls.h"
#include "app/gui_queue.h"
#include "app/main_window.h"
#include "app/message_line.h"
#include "app/paint.h"
#include "app/shell_connection.h"
#include "app/text_boxes.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameters.h"
#include "run/exit.h"
#include "run/startup.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fmt/format.h>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

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
    void text(int x, int y, const std::string& text, Rgb colour) override
    {
        fl_font(kUiFont, kPaintFontSize);
        fl_color(lf_colour(colour));
        // The toolkit places a text by its baseline, the window's layout by the cell's top.
        fl_draw(text.c_str(), x, y + fl_height() - fl_descent());
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

// The control port on the toolkit's widgets. Every control keeps the state that the program
// gave it (mark, enabled, text) under the port's lock: reads from any thread answer from it at
// once, writes store it and then bring the widget up to date on the GUI thread. Typing in a box
// updates its kept text.
class FltkControlPort : public ControlPort, public EnabledStateQuery {
public:
    struct Control {
        std::uint16_t controlId = 0;
        ControlKind kind = ControlKind::CheckBox;
        Fl_Widget* widget = nullptr; // GUI thread; null once the window is gone
        bool checked = false;
        bool enabled = false;
        std::string text;
    };

    ControlHandle create(const ControlPlacement& placement) override
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

    void setChecked(ControlHandle handle, bool checked) override
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

    bool isChecked(ControlHandle handle) override
    {
        std::lock_guard lock(mutex_);
        return controlOf(handle)->checked;
    }

    void setText(ControlHandle handle, const std::string& text) override
    {
        Control* control = controlOf(handle);
        {
            std::lock_guard lock(mutex_);
            control->text = text;
        }
        update(control);
    }

    std::string text(ControlHandle handle) override
    {
        std::lock_guard lock(mutex_);
        return controlOf(handle)->text;
    }

    void setEnabled(ControlHandle handle, bool enabled) override
    {
        Control* control = controlOf(handle);
        {
            std::lock_guard lock(mutex_);
            control->enabled = enabled;
        }
        update(control);
    }

    bool isEnabled(ControlHandle handle) override
    {
        std::lock_guard lock(mutex_);
        return controlOf(handle)->enabled;
    }

    // GUI thread: the user typed into a box.
    void textTyped(Control& control, const char* text)
    {
        std::lock_guard lock(mutex_);
        control.text = text;
    }

    // GUI thread: the widgets are about to go; the kept state stays for late callers.
    void detachWidgets()
    {
        std::lock_guard lock(mutex_);
        for (auto& control : controls_)
            control->widget = nullptr;
        byId_.clear();
    }

    // GUI thread.
    Fl_Widget* widgetOf(std::uint16_t controlId)
    {
        std::lock_guard lock(mutex_);
        const auto it = byId_.find(controlId);
        return it == byId_.end() ? nullptr : it->second->widget;
    }

    std::optional<Control> stateOf(std::uint16_t controlId)
    {
        std::lock_guard lock(mutex_);
        const auto it = byId_.find(controlId);
        if (it == byId_.end())
            return std::nullopt;
        return *it->second;
    }

private:
    static Control* controlOf(ControlHandle handle) { return static_cast<Control*>(handle); }

    Fl_Widget* makeWidget(const ControlPlacement& placement, Control& control);

    // Brings the widget up to date with the kept state: at once on the GUI thread, else queued.
    void update(Control* control)
    {
        gf_runOnGui([this, control] { apply(*control); });
    }

    void apply(Control& control)
    {
        Control state;
        {
            std::lock_guard lock(mutex_);
            state = control;
        }
        Fl_Widget* widget = state.widget;
        if (widget == nullptr)
            return;
        if ((widget->active() != 0) != state.enabled) {
            if (state.enabled)
                widget->activate();
            else
                widget->deactivate();
            gf_invalidateControlArea(); // some labels are grey while their box is disabled
        }
        if (state.kind == ControlKind::CheckBox)
            static_cast<Fl_Button*>(widget)->value(state.checked ? 1 : 0);
        if (state.kind == ControlKind::EditBox) {
            auto* input = static_cast<Fl_Input*>(widget);
            if (state.text != input->value())
                input->value(state.text.c_str());
        }
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<Control>> controls_; // kept for the process's life
    std::map<std::uint16_t, Control*> byId_;         // the current window's controls
};

FltkControlPort& lf_port()
{
    static FltkControlPort port;
    return port;
}

void lf_controlClicked(Fl_Widget*, void* data)
{
    lf_HandleWMCOMMAND(static_cast<FltkControlPort::Control*>(data)->controlId);
}

void lf_boxTyped(Fl_Widget* widget, void* data)
{
    lf_port().textTyped(*static_cast<FltkControlPort::Control*>(data), static_cast<Fl_Input*>(widget)->value());
}

Fl_Widget* FltkControlPort::makeWidget(const ControlPlacement& placement, Control& control)
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

void lf_windowCallback(Fl_Widget*, void*);

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
std::atomic<bool> quitPosted{false};
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

void lf_stayOnTop(bool on)
{
    stayOnTopWanted = on;
    lf_sendStayOnTop(on);
}

void lf_windowCallback(Fl_Widget*, void*)
{
    // The toolkit calls here for Escape as well; only the close box counts.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
        return;
    gf_showMessage(fmt::format("Close window button clicked, closing {} ...", kProductName), false);
    gf_requestExit(ExitReason::UserClosedSim, 0);
}

void lf_startWorkThread()
{
    try {
        startUpThread = std::thread(lf_startUpOrva);
        startUpThread.detach();
    } catch (...) {
        gf_reportException("WndProc");
    }
}

void lf_finalExit()
{
    if (mainWindowWidget != nullptr)
        gf_storeWindowPosition(mainWindowWidget->x(), mainWindowWidget->y());
    gf_closeLog();
    quitPosted.store(true);
}

void lf_onAppMessage(AppMessage message)
{
    switch (message) {
    case AppMessage::StartUp:
        lf_startWorkThread();
        break;
    case AppMessage::FinalExit:
        lf_finalExit();
        break;
    }
}

void lf_ensureDataFolder()
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (g_appDataFolder.empty()) {
        gf_showError("The per-user data folder is unknown: settings cannot be kept");
        return;
    }
    if (!fs::exists(g_appDataFolder, error) && !error)
        fs::create_directory(g_appDataFolder, error);
    if (error)
        gf_showError(fmt::format("{}: {}", g_appDataFolder.string(), error.message()));
}

int lf_messageLoop()
{
    while (!quitPosted.load()) {
        gf_drainGuiQueue();
        if (quitPosted.load())
            break;
        Fl::wait(1.0);
    }
    return 0;
}

// Waits for the main-window object to be complete, at most 18 x 50 ms.
bool lf_waitUntilReady()
{
    for (int i = 0; i < 18 && !g_mainWindow.readyFlag.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return g_mainWindow.readyFlag.load();
}

} // namespace

void gf_buildMainWindow(const std::string& title, int x, int y, std::function<void()> wake)
{
    gf_destroyMainWindow();
    Fl::set_font(kUiFont, "DejaVu Sans");
    windowTitle = title;
    quitPosted.store(false);
    gf_openGuiQueue(std::move(wake));
    gf_setControlPort(&lf_port());
    mainWindowWidget = new MainWindowWidget(x, y, windowTitle.c_str());
    mainWindowWidget->xclass(windowTitle.c_str());
    gf_layoutControls();
    mainWindowWidget->end();
    gf_setWindowHooks({[] {
                           if (mainWindowWidget != nullptr)
                               mainWindowWidget->redraw();
                       },
                       lf_stayOnTop});
    gf_setMessageLineSink(gf_invalidateMessageLine);
    gf_followSubsystemStatus(true);
    gf_setAppMessageHandler(lf_onAppMessage);
}

void gf_destroyMainWindow()
{
    if (mainWindowWidget == nullptr)
        return;
    gf_setAppMessageHandler(nullptr);
    gf_followSubsystemStatus(false);
    gf_setMessageLineSink(nullptr);
    gf_setWindowHooks({});
    gf_setControlPort(nullptr);
    gf_closeGuiQueue();
    lf_port().detachWidgets();
    mainWindowWidget->hide();
    delete mainWindowWidget;
    mainWindowWidget = nullptr;
    stayOnTopWanted = false;
}

bool gf_quitPosted()
{
    return quitPosted.load();
}

bool gf_createMainWindow(const std::string& title)
{
    if (!lf_waitUntilReady())
        return false;
    gf_readWindowPosition();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    fl_open_display(display);
    Fl::lock(); // sets up the channel through which other threads wake the GUI thread
    gf_buildMainWindow(title, MAIN_WINDOW_X.value.load(), MAIN_WINDOW_Y.value.load(), [] { Fl::awake(); });
    mainWindowWidget->show();
    if (stayOnTopWanted)
        lf_sendStayOnTop(true);
    Fl::flush();
    return mainWindowWidget->shown() != 0;
}

int gf_runApplication()
{
    gf_connectShell();
    if (!gf_createMainWindow(std::string(kProductName))) {
        if (gf_logIsOpen())
            gf_log("initInstance failed");
        return 0;
    }
    lf_ensureDataFolder();
    gf_postAppMessage(AppMessage::StartUp);
    const int code = lf_messageLoop();
    gf_destroyMainWindow();
    return code;
}

std::optional<ControlView> gf_viewControl(std::uint16_t controlId)
{
    Fl_Widget* widget = lf_port().widgetOf(controlId);
    const std::optional<FltkControlPort::Control> state = lf_port().stateOf(controlId);
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
    if (Fl_Widget* widget = lf_port().widgetOf(controlId); widget != nullptr && widget->active())
        widget->do_callback();
}

void gf_typeIntoControl(std::uint16_t controlId, const std::string& text)
{
    auto* input = dynamic_cast<Fl_Input*>(lf_port().widgetOf(controlId));
    if (input != nullptr && input->active())
        input->replace(0, input->size(), text.c_str(), static_cast<int>(text.size()));
}

void gf_pressEnterInControl(std::uint16_t controlId)
{
    Fl_Widget* widget = lf_port().widgetOf(controlId);
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
